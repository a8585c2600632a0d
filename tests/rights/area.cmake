set_tests_properties(rights PROPERTIES TIMEOUT 300)
