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
  LIBS zucommon
  LOCKS machine_state)
