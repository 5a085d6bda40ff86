# The download engine driven by pages in the page host against the engine's
# test servers, which the group's script starts around it (skipped without
# root: FTP needs port 21). Registers ZUAC.dll and writes C:\Update.
zu_add_test(NAME engine_e2e_tests
  SOURCES engine_e2e_test.cpp
  LIBS zutest_pages
  NO_CTEST)
target_compile_definitions(engine_e2e_tests PRIVATE ZU_TEST_VERSION="${PROJECT_VERSION}")
add_dependencies(engine_e2e_tests ZUAC zupagehost)
add_test(NAME engine_e2e_tests
  COMMAND bash ${ZU_WITH_ENGINE_SERVERS}
          ${CMAKE_SOURCE_DIR}/scripts/wine-run $<TARGET_FILE:engine_e2e_tests> --gtest_color=no)
set_tests_properties(engine_e2e_tests PROPERTIES
  RESOURCE_LOCK "machine_state;display;engine_servers" SKIP_RETURN_CODE 77 TIMEOUT 900
  ENVIRONMENT ZU_WINE_TIMEOUT=890)
