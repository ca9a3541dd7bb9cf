# The remote line and what it needs of the link layer, built for Windows
# before the rest of the layer is, with the tests that need no serial port.
set(link_sources ${PROJECT_SOURCE_DIR}/src/link)
add_library(remote_line_alone STATIC
    ${link_sources}/line_timings.cpp
    ${link_sources}/remote_connection.cpp
    ${link_sources}/remote_line.cpp
    ${link_sources}/tcp_socket.cpp
    ${link_sources}/tcp_socket_win32.cpp
    ${link_sources}/telnet_stream.cpp
    ${link_sources}/tls_channel_win32.cpp
    ${link_sources}/tls_settings.cpp
)
target_link_libraries(remote_line_alone PUBLIC model ws2_32)
zep8_test_suite(remote_line_tests
    ${CMAKE_CURRENT_LIST_DIR}/remote_socket_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/strict_telnet_test.cpp
)
target_link_libraries(remote_line_tests PRIVATE remote_line_alone)
target_include_directories(remote_line_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)
