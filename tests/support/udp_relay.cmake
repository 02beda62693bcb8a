# UdpRelay: a lossy, delaying, duplicating link between the walk and an agent; also a program for
# benchmarks and soak runs.
add_library(udp_relay STATIC ${CMAKE_CURRENT_LIST_DIR}/udp_relay.cpp)
target_include_directories(udp_relay PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(udp_relay PUBLIC Threads::Threads)

find_path(CLI11_INCLUDE_DIR CLI/CLI.hpp)
if(CLI11_INCLUDE_DIR)
  add_executable(udp_relay_tool ${CMAKE_CURRENT_LIST_DIR}/udp_relay_main.cpp)
  set_target_properties(udp_relay_tool PROPERTIES OUTPUT_NAME udp_relay)
  target_include_directories(udp_relay_tool PRIVATE ${CLI11_INCLUDE_DIR})
  target_link_libraries(udp_relay_tool PRIVATE udp_relay)
endif()
