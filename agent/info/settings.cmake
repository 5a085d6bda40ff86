# Settings store: the shared settings file, the per-user values and the
# time stamps both are compared on.
target_sources(zuinfo PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/clock.cpp
  ${CMAKE_CURRENT_LIST_DIR}/my_reg_key.cpp
  ${CMAKE_CURRENT_LIST_DIR}/settings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/time_stamp.cpp
)

zu_add_test(NAME settings_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/clock_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/my_reg_key_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/time_stamp_test.cpp
  LIBS zuinfo zutest_agent
  LOCKS machine_state)

# The time stamp tests once more in zones east and west of UTC. Wine's time
# zone follows the process's TZ; the C runtime would need POSIX values, so
# these are POSIX values. ZU_EXPECT_* make a run in the wrong zone fail.
foreach(zone
    "east|JST-9|-540|2008-07-15-21:00|2008-01-15-21:00"
    "half_hour|IST-5:30|-330|2008-07-15-17:30|2008-01-15-17:30"
    "west|EST5EDT|300|2008-07-15-08:00|2008-01-15-07:00")
  string(REPLACE "|" ";" z "${zone}")
  list(GET z 0 name)
  list(GET z 1 tz)
  list(GET z 2 bias)
  list(GET z 3 july)
  list(GET z 4 january)
  add_test(NAME settings_tests_tz_${name}
    COMMAND settings_tests --gtest_color=no --gtest_filter=TimeZone.*:TimeStamp*)
  set_tests_properties(settings_tests_tz_${name} PROPERTIES
    ENVIRONMENT "TZ=${tz};ZU_EXPECT_ZONE_BIAS=${bias};ZU_EXPECT_JULY_STAMP=${july};ZU_EXPECT_JANUARY_STAMP=${january};ZU_WINE_TIMEOUT=590"
    RESOURCE_LOCK machine_state
    TIMEOUT 600)
endforeach()
