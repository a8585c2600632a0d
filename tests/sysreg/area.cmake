# The fixture programs and libraries the registration-primitive tests drive.
add_dependencies(test_sysreg sysreg_app sysreg_comserver sysreg_registrar sysreg_service sysreg_typelib)
set_tests_properties(sysreg PROPERTIES TIMEOUT 300)
