# The download engine of the control: module list, transfers, progress
# dialog and the installation passes. zuenginerules is plain C++ (also
# built natively by scripts/native-test).
set(ZU_MAKER_FTP_HOST "ftp.vexa.example" CACHE STRING
  "The maker's FTP server: the one FTP host whose modules resume behind a proxy")

add_library(zuenginerules STATIC
  ${CMAKE_CURRENT_LIST_DIR}/module_list.cpp
  ${CMAKE_CURRENT_LIST_DIR}/progress_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/transfer_rules.cpp)
target_link_libraries(zuenginerules PUBLIC zu_options)

zu_add_test(NAME engine_rules_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/module_list_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/progress_text_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/transfer_rules_test.cpp
  LIBS zuenginerules)
