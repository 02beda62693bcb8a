# Scriptable SNMP v2c agent for fault tests, and its own tests against the Net-SNMP client.
add_library(fake_agent STATIC
  ${CMAKE_CURRENT_LIST_DIR}/fake_agent.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fake_agent_ber.cpp)
target_include_directories(fake_agent PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(fake_agent PUBLIC PkgConfig::NETSNMP Threads::Threads)

add_executable(fake_agent_test ${CMAKE_CURRENT_LIST_DIR}/fake_agent_test.cpp)
target_link_libraries(fake_agent_test PRIVATE fake_agent GTest::gtest_main)
gtest_discover_tests(fake_agent_test TEST_PREFIX "fake_agent." PROPERTIES TIMEOUT 30)
