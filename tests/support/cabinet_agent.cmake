# CabinetAgent: a test's own cabinet simulator (cabinet/cabinet, the real snmpd).
add_library(cabinet_agent STATIC ${CMAKE_CURRENT_LIST_DIR}/cabinet_agent.cpp)
target_include_directories(cabinet_agent PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_compile_definitions(cabinet_agent PRIVATE CABINET_COMMAND="${PROJECT_SOURCE_DIR}/cabinet/cabinet")
