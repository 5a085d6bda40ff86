# ZUAC.dll registered by regsvr32 and driven from script (cscript and the
# page host). Registers in HKCR/HKLM and writes C:\Update.
zu_add_test(NAME control_e2e_tests
  SOURCES control_e2e_test.cpp
  LIBS zutest version
  LOCKS machine_state
  TIMEOUT 600)
target_compile_definitions(control_e2e_tests PRIVATE ZU_TEST_VERSION="${PROJECT_VERSION}")
add_dependencies(control_e2e_tests ZUAC zupagehost)
