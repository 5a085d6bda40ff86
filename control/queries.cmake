# Requirement lists and match rules, registry text and the identity queries
# of the control. zurules is plain C++ (also built natively by
# scripts/native-test); zuqueries holds the Windows side.
add_library(zurules STATIC
  requirement_list.cpp
  match_rules.cpp
  query_rules.cpp
  registry_format.cpp
  registry_value_list.cpp
  drive_rules.cpp
  version_text.cpp
)
target_link_libraries(zurules PUBLIC zu_options)

zu_add_test(NAME query_rules_tests
  SOURCES
    requirement_list_test.cpp
    match_rules_test.cpp
    query_rules_test.cpp
    registry_format_test.cpp
    registry_value_list_test.cpp
    drive_rules_test.cpp
  LIBS zurules zutest_plain
  TIMEOUT 600)

# The Windows side: registry text and listing, the OS description, the
# identity reads and the installed-components tests of the page's queries.
add_library(zuqueries STATIC
  registry_text.cpp
  os_description.cpp
  identity_queries.cpp
  file_queries.cpp
  driver_queries.cpp
  drive_identity.cpp
)
target_link_libraries(zuqueries PUBLIC zurules zucommon zuhostcheck advapi32 user32 setupapi
  version)

# The scripting methods of these queries (ctrl_methods_queries, match_frame)
# belong to the control library, which control.cmake defines.

# Registry scratch keys under HKCU\Software\ZUTest, and the identity cache
# and debug file (machine state) for the identity sources.
zu_add_test(NAME queries_tests
  SOURCES
    registry_text_test.cpp
    identity_queries_test.cpp
  LIBS zuqueries zutest
  LOCKS machine_state)

# The OS description and requirement items as Windows XP shows them.
add_test(NAME queries_xp_tests
  COMMAND bash ${ZU_RUN_AS_XP}
          ${CMAKE_SOURCE_DIR}/scripts/wine-run $<TARGET_FILE:queries_tests>)
set_tests_properties(queries_xp_tests PROPERTIES RESOURCE_LOCK machine_state TIMEOUT 600
  ENVIRONMENT ZU_WINE_TIMEOUT=590)

# The matching frame lives in the control library (it sets the last-error).
zu_add_test(NAME match_frame_tests
  SOURCES match_frame_test.cpp
  LIBS zuaxctrl zutest
  LOCKS machine_state
  TIMEOUT 600)

# Drive identity through the inquiry seam, on a control of the test's own
# process (writes C:\Update\Debug.ini).
zu_add_test(NAME drive_identity_tests
  SOURCES drive_identity_test.cpp
  LIBS zuaxctrl zutest
  LOCKS machine_state
  TIMEOUT 600)
