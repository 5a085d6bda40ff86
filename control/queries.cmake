# Requirement lists and match rules, registry text and the identity queries
# of the control. zurules is plain C++ (also built natively by
# scripts/native-test); zuqueries holds the Windows side.
add_library(zurules STATIC
  requirement_list.cpp
  match_rules.cpp
  query_rules.cpp
  registry_format.cpp
)
target_link_libraries(zurules PUBLIC zu_options)

zu_add_test(NAME query_rules_tests
  SOURCES
    requirement_list_test.cpp
    match_rules_test.cpp
    query_rules_test.cpp
    registry_format_test.cpp
  LIBS zurules)
