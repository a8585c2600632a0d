target_sources(test_rights PRIVATE ${CMAKE_SOURCE_DIR}/tests/lifecycle/lifecycle_support.cpp)
set_tests_properties(rights PROPERTIES TIMEOUT 300)
