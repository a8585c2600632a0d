# Launchers and tool programs through the real Vantel10.dll; the suite shares the running-tool table.
add_dependencies(test_catalogue table_peer sysreg_app)
set_tests_properties(catalogue PROPERTIES TIMEOUT 600)
# The hand-written example platform of docs/ beside the test program.
foreach(file data/Platform.xml data/3/Register.xml)
  configure_file(${CMAKE_SOURCE_DIR}/docs/platform/${file} ${CMAKE_BINARY_DIR}/bin/platform-example/${file} COPYONLY)
endforeach()
