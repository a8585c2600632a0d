# Launchers, the tool program and a browser per test: give the suite room.
set_tests_properties(lifecycle PROPERTIES TIMEOUT 600)
add_dependencies(test_lifecycle table_peer)
