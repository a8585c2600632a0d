# The update suite's own local HTTP server (the services suite's script, another state folder):
# a CTest fixture starts python3's http.server on 127.0.0.1 before the suite and ends it after.
set(VANTEL_UPDATE_HTTP_STATE ${CMAKE_BINARY_DIR}/update-http)
add_test(NAME update_http_start
         COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/services/http_server.sh start ${VANTEL_UPDATE_HTTP_STATE})
add_test(NAME update_http_stop
         COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/services/http_server.sh stop ${VANTEL_UPDATE_HTTP_STATE})
set_tests_properties(update_http_start PROPERTIES FIXTURES_SETUP update_http TIMEOUT 60)
set_tests_properties(update_http_stop PROPERTIES FIXTURES_CLEANUP update_http TIMEOUT 60)
set_tests_properties(update PROPERTIES FIXTURES_REQUIRED update_http TIMEOUT 600
                     ENVIRONMENT "no_proxy=127.0.0.1,localhost;NO_PROXY=127.0.0.1,localhost")
# The slow server of the stop tests is a socket of the suite's own; launchers, host.exe and the
# tool program run for the documented example, which lies beside the test program.
target_link_libraries(test_update PRIVATE ws2_32)
add_dependencies(test_update host run sysreg_app)
foreach(file Register.xml notes/feed.xml notes/notes-1.1.zip)
  configure_file(${CMAKE_SOURCE_DIR}/docs/update/${file} ${CMAKE_BINARY_DIR}/bin/update-example/${file} COPYONLY)
endforeach()
