# C:\Update: its one owner (made and kept so that only administrators can
# write it) and the trust rule for the test switches in it.
target_sources(zucommon PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/update_folder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/update_folder_rules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/object_security.cpp
)
target_link_libraries(zucommon PUBLIC advapi32)

# Works in a temp folder of its own; the real C:\Update is left alone.
zu_add_test(NAME update_folder_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/update_folder_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/update_folder_rules_test.cpp
  LIBS zucommon zutest)
