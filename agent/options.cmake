# Options dialog: the dialog, its painted controls and its rules.
target_sources(zuagent PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/canvas.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pim_edit_ctrl.cpp
  ${CMAKE_CURRENT_LIST_DIR}/setup_dialog_rules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/static_paint.cpp
)

# The agent's resources are compiled in for icon 128 and dialog 130.
zu_add_test(NAME options_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/setup_dialog_rules_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/setup_dialog_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/canvas_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/static_paint_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/agent.rc
  LIBS zuagent zutest_agent
  LOCKS machine_state display  # the settings file; its dialogs cover the middle of the screen
  TIMEOUT 600)

# The information text an installer puts beside the agent.
configure_file(${CMAKE_CURRENT_LIST_DIR}/install/Pim.txt ${CMAKE_BINARY_DIR}/bin/install/Pim.txt
  COPYONLY)
