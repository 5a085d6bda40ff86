# The resident agent's update check against a loopback maker server, with
# made-up firmware so that the model's file name is known.
zu_add_test(NAME check_e2e_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/check_e2e_test.cpp
  LIBS zutest zuuiauto
  NO_CTEST)
add_dependencies(check_e2e_tests ZEFOUpdt zurecord)
add_test(NAME check_e2e_tests
  COMMAND bash ${ZU_FAKE_SMBIOS}
          ${CMAKE_SOURCE_DIR}/scripts/wine-run $<TARGET_FILE:check_e2e_tests> "CheckE2E.*")
set_tests_properties(check_e2e_tests PROPERTIES
  RESOURCE_LOCK "machine_state;display" SKIP_RETURN_CODE 77 TIMEOUT 600
  ENVIRONMENT ZU_WINE_TIMEOUT=590)
