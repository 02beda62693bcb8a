# Scriptable SNMP v2c agent for fault tests, and its own tests against the Net-SNMP client.
add_library(fake_agent STATIC
  ${CMAKE_CURRENT_LIST_DIR}/fake_agent.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fake_agent_ber.cpp)
target_include_directories(fake_agent PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(fake_agent PUBLIC PkgConfig::NETSNMP Threads::Threads)

qiraoid_gtest(fake_agent_test PREFIX "fake_agent." TIMEOUT 30
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fake_agent_test.cpp
  LIBS fake_agent GTest::gtest_main)
