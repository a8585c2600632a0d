# Launchers killed and started again around a tool of a few thousand values: give the suite room.
set_tests_properties(crash PROPERTIES TIMEOUT 900)
add_dependencies(test_crash sysreg_app)
