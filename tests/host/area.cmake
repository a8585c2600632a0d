# host.exe with real launchers and tool programs; the suite shares the running-tool table.
add_dependencies(test_host host sysreg_app)
set_tests_properties(host PROPERTIES TIMEOUT 600)
