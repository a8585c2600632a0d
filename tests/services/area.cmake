# The platform-services tests need a local HTTP server: a CTest fixture starts python3's
# http.server on 127.0.0.1 before the tests and ends it afterwards. The test program finds the
# served folder and the port in <build>/services-http (beside bin/).
set(VANTEL_HTTP_STATE ${CMAKE_BINARY_DIR}/services-http)
add_test(NAME services_http_start
         COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/http_server.sh start ${VANTEL_HTTP_STATE})
add_test(NAME services_http_stop
         COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/http_server.sh stop ${VANTEL_HTTP_STATE})
set_tests_properties(services_http_start PROPERTIES FIXTURES_SETUP services_http TIMEOUT 60)
set_tests_properties(services_http_stop PROPERTIES FIXTURES_CLEANUP services_http TIMEOUT 60)
set_tests_properties(services PROPERTIES FIXTURES_REQUIRED services_http TIMEOUT 600
                     ENVIRONMENT "no_proxy=127.0.0.1,localhost;NO_PROXY=127.0.0.1,localhost")

# The HTTP tests open sockets of their own (a closed port, a server that never answers).
target_link_libraries(test_services PRIVATE ws2_32 comctl32)
