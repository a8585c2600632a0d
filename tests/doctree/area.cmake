# The document-tree tests: the hand-written example of docs/ beside the test program, a second
# run in the ANSI code page 936 (Wine takes it from the locale), and the benchmark program
# (built on request: cmake --build <build> --target bench_doctree).
configure_file(${CMAKE_SOURCE_DIR}/docs/install.xml ${CMAKE_BINARY_DIR}/bin/doctree-example/install.xml COPYONLY)

add_test(NAME doctree_cp936 COMMAND test_doctree --gtest_color=no)
set_tests_properties(doctree_cp936 PROPERTIES TIMEOUT 900 WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin
                     ENVIRONMENT "LC_ALL=zh_CN.UTF-8")

add_executable(bench_doctree EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/bench/doctree_bench.cpp)
target_link_libraries(bench_doctree PRIVATE VantelPlatform)

target_link_libraries(test_doctree PRIVATE psapi)
