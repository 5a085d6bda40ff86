# The page's queries through ZUAC.dll from JScript (cscript and the page
# host). Registers the control, writes C:\Update\Debug.ini, made-up devices
# and HKLM entries, and files under the Windows folder.
zu_add_test(NAME queries_e2e_tests
  SOURCES queries_e2e_test.cpp
  LIBS zutest zucommon setupapi
  LOCKS machine_state
  TIMEOUT 600)
add_dependencies(queries_e2e_tests ZUAC zupagehost zu_versioned_fixture zu_unversioned_fixture)
# File times are read in the lab's zone: each run names its zone and the
# local times it must see for 2008-07-15 12:00 and 2008-01-15 12:00 UTC.
set_tests_properties(queries_e2e_tests PROPERTIES ENVIRONMENT
  "TZ=UTC0;ZU_EXPECT_JULY_TIME=2008-07-15-12:00:00;ZU_EXPECT_JANUARY_TIME=2008-01-15-12:00:00;ZU_WINE_TIMEOUT=590")
foreach(zone
    "east|JST-9|2008-07-15-21:00:00|2008-01-15-21:00:00"
    "west|EST5EDT|2008-07-15-08:00:00|2008-01-15-07:00:00")
  string(REPLACE "|" ";" z "${zone}")
  list(GET z 0 name)
  list(GET z 1 tz)
  list(GET z 2 july)
  list(GET z 3 january)
  add_test(NAME queries_e2e_tests_tz_${name}
    COMMAND queries_e2e_tests --gtest_color=no --gtest_filter=*FileTimes*)
  set_tests_properties(queries_e2e_tests_tz_${name} PROPERTIES
    ENVIRONMENT "TZ=${tz};ZU_EXPECT_JULY_TIME=${july};ZU_EXPECT_JANUARY_TIME=${january};ZU_WINE_TIMEOUT=590"
    RESOURCE_LOCK machine_state
    TIMEOUT 600)
endforeach()
