# Installing: the patch list file, installer launching with the signature
# check, and their plain rules, file names included (also built natively,
# tests/native).
target_sources(zucommon PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/patch_list_format.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_name_rules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/timestamp_token.cpp
  ${CMAKE_CURRENT_LIST_DIR}/authenticode.cpp
  ${CMAKE_CURRENT_LIST_DIR}/patch_list.cpp
  ${CMAKE_CURRENT_LIST_DIR}/patch_installer.cpp
)
target_link_libraries(zucommon PUBLIC wintrust crypt32)

# Installs the test root into the machine store for a while, writes
# C:\Update and the installer flags under HKLM.
zu_add_test(NAME install_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/patch_list_format_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/timestamp_token_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/authenticode_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/patch_list_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/patch_installer_test.cpp
  LIBS zucommon zutest
  LOCKS machine_state)
add_dependencies(install_tests zu_test_pki)
