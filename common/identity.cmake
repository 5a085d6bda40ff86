# System identity (WMI) and the installed-components database.
target_sources(zucommon PRIVATE
  identity.cpp
  identity_rules.cpp
  installed_components.cpp
  wmi_query.cpp
)
target_link_libraries(zucommon PUBLIC wbemuuid)

zu_add_test(NAME identity_tests
  SOURCES
    identity_rules_test.cpp
    identity_test.cpp
    installed_components_test.cpp
  LIBS zucommon zutest
  LOCKS machine_state)

# The same WMI tests against made-up firmware values (skipped without root).
add_test(NAME identity_fake_smbios_tests
  COMMAND bash ${ZU_FAKE_SMBIOS}
          ${CMAKE_SOURCE_DIR}/scripts/wine-run $<TARGET_FILE:identity_tests>)
set_tests_properties(identity_fake_smbios_tests PROPERTIES
  RESOURCE_LOCK machine_state SKIP_RETURN_CODE 77 TIMEOUT 600
  ENVIRONMENT ZU_WINE_TIMEOUT=590)
