# The download engine of the control: module list, transfers, progress
# dialog and the installation passes. zuenginerules is plain C++ (also
# built natively by scripts/native-test); the Windows side joins the
# control's library.
set(ZU_MAKER_FTP_HOST "ftp.vexa.example" CACHE STRING
  "The maker's FTP server: the one FTP host whose modules resume behind a proxy")

add_library(zuenginerules STATIC
  ${CMAKE_CURRENT_LIST_DIR}/module_list.cpp
  ${CMAKE_CURRENT_LIST_DIR}/progress_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/transfer_rules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/uncheck_items.cpp)
target_link_libraries(zuenginerules PUBLIC zu_options)

zu_add_test(NAME engine_rules_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/module_list_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/progress_text_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/transfer_rules_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/uncheck_items_test.cpp
  LIBS zuenginerules zucommon)

target_sources(zuaxctrl PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ctrl_methods_download.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ctrl_methods_patches.cpp
  ${CMAKE_CURRENT_LIST_DIR}/download_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/engine_seams.cpp
  ${CMAKE_CURRENT_LIST_DIR}/engine_thread.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_downloader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ftp_transfer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/http_transfer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/patch_installer_link.cpp
  ${CMAKE_CURRENT_LIST_DIR}/transfer.cpp)
target_compile_definitions(zuaxctrl PRIVATE "ZU_MAKER_FTP_HOST=L\"${ZU_MAKER_FTP_HOST}\"")
target_link_libraries(zuaxctrl PUBLIC zuenginerules wininet ws2_32 comctl32)

# The run against test doubles of the transfers and the installer, and the
# dialog driven as a person would. Writes below C:\Update.
zu_add_test(NAME engine_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/file_downloader_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/download_dialog_test.cpp
    ${CMAKE_SOURCE_DIR}/control/zuac.rc
  LIBS zuaxctrl zuuiauto zutest
  LOCKS machine_state display
  TIMEOUT 600)

# The transfers against the engine's test servers, which the group's
# script starts around it (skipped without root: FTP needs port 21).
zu_add_test(NAME engine_transfer_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/transfer_test.cpp
  LIBS zuaxctrl zutest
  NO_CTEST)
add_test(NAME engine_transfer_tests
  COMMAND bash ${ZU_WITH_ENGINE_SERVERS}
          ${CMAKE_SOURCE_DIR}/scripts/wine-run $<TARGET_FILE:engine_transfer_tests> --gtest_color=no)
set_tests_properties(engine_transfer_tests PROPERTIES
  RESOURCE_LOCK "machine_state;engine_servers" SKIP_RETURN_CODE 77 TIMEOUT 600
  ENVIRONMENT ZU_WINE_TIMEOUT=590)
