# C:\Update made, taken over and left alone by "/PreInstall", and its debug
# file honoured or ignored by the control, with the folder prepared from
# the Unix side (skipped without root).
zu_add_test(NAME update_folder_e2e_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/update_folder_e2e_test.cpp
  LIBS zutest zucommon
  NO_CTEST)
add_dependencies(update_folder_e2e_tests ZEFOUpdt ZUAC zupagehost)
add_test(NAME update_folder_e2e_tests
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/update_folder_e2e.sh
          ${CMAKE_SOURCE_DIR}/scripts/wine-run $<TARGET_FILE:update_folder_e2e_tests>)
set_tests_properties(update_folder_e2e_tests PROPERTIES
  RESOURCE_LOCK machine_state SKIP_RETURN_CODE 77 TIMEOUT 900
  ENVIRONMENT ZU_WINE_TIMEOUT=590)
