# Update information file and its XML reader.
target_sources(zuinfo PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/info_rules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/my_info_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/xml_file_reader.cpp
)
# The DOM's ids are defined in the reader; web documents are fetched
# with WinINet.
target_link_libraries(zuinfo PUBLIC ole32 oleaut32 wininet urlmon)

zu_add_test(NAME infofile_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/info_rules_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/my_info_file_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/xml_file_reader_test.cpp
  LIBS zuinfo zutest_agent
  LOCKS machine_state)
