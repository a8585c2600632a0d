# The swap tests drive the service and COM server fixtures.
add_dependencies(test_swap sysreg_service sysreg_comserver)
