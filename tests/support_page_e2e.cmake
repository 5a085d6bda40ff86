# The sample support page in the page host against the lab PC: made-up
# firmware (fake_smbios.sh; skipped without root), made-up devices and
# installed components, the maker's site behind a loopback proxy; a run of
# a signed test installer shows its progress dialog on the display.
zu_add_test(NAME support_page_e2e_tests
  SOURCES support_page_e2e_test.cpp
  LIBS zutest
  NO_CTEST)
target_compile_definitions(support_page_e2e_tests PRIVATE ZU_TEST_VERSION="${PROJECT_VERSION}")
add_dependencies(support_page_e2e_tests ZUAC zupagehost zu_test_pki)
add_test(NAME support_page_e2e_tests
  COMMAND bash ${ZU_FAKE_SMBIOS} ${CMAKE_SOURCE_DIR}/scripts/wine-run
          $<TARGET_FILE:support_page_e2e_tests> SupportPageE2E.*)
set_tests_properties(support_page_e2e_tests PROPERTIES
  RESOURCE_LOCK "machine_state;display" SKIP_RETURN_CODE 77 TIMEOUT 600
  ENVIRONMENT ZU_WINE_TIMEOUT=590)
