# The information file's address, the agent's version text, the
# reachability probe and the agent's message boxes.
target_sources(zuinfo PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/agent_message.cpp
  ${CMAKE_CURRENT_LIST_DIR}/info_url.cpp
  ${CMAKE_CURRENT_LIST_DIR}/info_url_rules.cpp
)
target_link_libraries(zuinfo PUBLIC wininet user32)

# Rules, the probe against a loopback server, and the boxes.
zu_add_test(NAME info_address_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/agent_message_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/info_url_rules_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/info_url_test.cpp
  LIBS zuinfo zutest)

# Writes the settings file and the agent's per-user debug values.
zu_add_test(NAME info_address_state_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/info_url_resolve_test.cpp
  LIBS zuinfo zutest_agent
  LOCKS machine_state)
