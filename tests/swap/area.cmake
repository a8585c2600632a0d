# The swap tests drive the service and COM server fixtures and reuse the registry observers of the primitives' tests.
target_sources(test_swap PRIVATE ${CMAKE_SOURCE_DIR}/tests/sysreg/sysreg_helpers.cpp)
add_dependencies(test_swap sysreg_service sysreg_comserver)
