# Opening a page in the platform's browser, shared by both deliverables.
target_sources(zucommon PRIVATE ${CMAKE_CURRENT_LIST_DIR}/browser.cpp)
target_link_libraries(zucommon PUBLIC shell32 advapi32)

# Starts the recorder program as the browser and changes the browser's
# App Paths registration (put back afterwards).
zu_add_test(NAME browser_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/browser_test.cpp
  LIBS zucommon zutest
  LOCKS machine_state)
add_dependencies(browser_tests zurecord)
