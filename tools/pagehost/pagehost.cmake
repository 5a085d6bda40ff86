# ZUPageHost.exe: an ActiveX container and JScript host standing in for the
# browser, for the control's page tests.
add_library(zupagehost_rules STATIC
  ${CMAKE_CURRENT_LIST_DIR}/page_parse.cpp
  ${CMAKE_CURRENT_LIST_DIR}/page_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pagehost_args.cpp)
target_link_libraries(zupagehost_rules PUBLIC zu_options)

add_library(zupagehost_lib STATIC
  ${CMAKE_CURRENT_LIST_DIR}/host_browser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/host_document.cpp
  ${CMAKE_CURRENT_LIST_DIR}/host_object.cpp
  ${CMAKE_CURRENT_LIST_DIR}/page_objects.cpp
  ${CMAKE_CURRENT_LIST_DIR}/control_site.cpp
  ${CMAKE_CURRENT_LIST_DIR}/script_host.cpp)
target_link_libraries(zupagehost_lib PUBLIC zupagehost_rules zucommon ole32 oleaut32 uuid user32)

# A windows program, as a browser is: started from the desktop it opens no
# console; its output still goes to the standard handles it is given.
add_executable(zupagehost ${CMAKE_CURRENT_LIST_DIR}/pagehost.cpp)
target_link_libraries(zupagehost PRIVATE zupagehost_lib)
target_link_options(zupagehost PRIVATE -municode -mwindows)
set_target_properties(zupagehost PROPERTIES OUTPUT_NAME ZUPageHost)

zu_add_test(NAME pagehost_rules_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/page_parse_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/page_text_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pagehost_args_test.cpp
  LIBS zupagehost_rules)

zu_add_test(NAME pagehost_com_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/host_object_test.cpp
  LIBS zupagehost_lib)

# Starts ZUPageHost.exe about a dozen times.
zu_add_test(NAME pagehost_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/pagehost_test.cpp
  LIBS zutest)
add_dependencies(pagehost_tests zupagehost)
