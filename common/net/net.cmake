# The one HTTP unit: WinINet owners, time-outs, redirects, range and the
# body in blocks; its rules are plain C++.
target_sources(zucommon PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/http.cpp
  ${CMAKE_CURRENT_LIST_DIR}/http_rules.cpp
)
target_link_libraries(zucommon PUBLIC wininet)

zu_add_test(NAME net_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/http_rules_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/http_test.cpp
  LIBS zucommon zutest)
