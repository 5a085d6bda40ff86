# The host page check: allow-list rules (plain C++), the browser-mode parse
# and the client-site chain, and the debug file reads.
add_library(zuhostcheck STATIC
  ${CMAKE_CURRENT_LIST_DIR}/page_url_rules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/host_check.cpp)
target_link_libraries(zuhostcheck PUBLIC zucommon zu_options wininet ole32 oleaut32 uuid)

zu_add_test(NAME page_url_rules_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/page_url_rules_test.cpp
  LIBS zuhostcheck zutest_plain)

# Writes C:\Update\Debug.ini and puts back what was there. The browser
# stand-ins of the page host play the browser and the document behind the
# client site.
zu_add_test(NAME host_check_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/host_check_test.cpp
          ${CMAKE_SOURCE_DIR}/tools/pagehost/host_browser.cpp
          ${CMAKE_SOURCE_DIR}/tools/pagehost/host_document.cpp
  LIBS zuhostcheck zutest
  LOCKS machine_state)
