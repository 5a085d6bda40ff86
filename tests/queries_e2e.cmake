# The page's queries through ZUAC.dll from JScript (cscript and the page
# host). Registers the control and writes C:\Update\Debug.ini.
zu_add_test(NAME queries_e2e_tests
  SOURCES queries_e2e_test.cpp
  LIBS zutest zucommon
  LOCKS machine_state
  TIMEOUT 600)
add_dependencies(queries_e2e_tests ZUAC zupagehost)
