# Privileges, restart and shutdown, keep-awake, screen saver and the agent's
# autorun registration (Run value or logon task).
target_sources(zucommon PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/platform.cpp
  ${CMAKE_CURRENT_LIST_DIR}/autorun.cpp
  ${CMAKE_CURRENT_LIST_DIR}/autorun_command.cpp
  ${CMAKE_CURRENT_LIST_DIR}/task_scheduler.cpp
)
target_link_libraries(zucommon PUBLIC taskschd advapi32 ole32 oleaut32 user32)

zu_add_test(NAME platform_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/platform_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/autorun_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/autorun_command_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/task_scheduler_test.cpp
  LIBS zucommon zutest
  LOCKS machine_state)
