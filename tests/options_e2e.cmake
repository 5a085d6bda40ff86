# The Options dialog of the built agent, driven like a person would.
zu_add_test(NAME options_e2e_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/options_e2e_test.cpp
  LIBS zutest zuuiauto
  LOCKS machine_state display)
add_dependencies(options_e2e_tests ZEFOUpdt zurecord)
