# The self update as support pages drive it: ZUAC.dll copied into a folder
# of its own with "Version.txt" beside it and registered there, the signed
# fake installers in the part of the control's installer, a newer build of
# the control for them to put in place, and the engine's test servers
# (FTP on 127.0.0.15 to 127.0.0.17, away from other trees' servers).

# The newer control: the same code, another version in its VERSIONINFO.
set(ZU_NEXT_CONTROL_VERSION 4.0.0.2000)
string(REPLACE "." "," ZU_NEXT_CONTROL_COMMAS ${ZU_NEXT_CONTROL_VERSION})
set(next_gen ${CMAKE_CURRENT_BINARY_DIR}/next_control)
# Under both names the control's resources have included it by.
foreach(header zuac_version.h zu_version.h)
  configure_file(${CMAKE_SOURCE_DIR}/tests/support/next_control_version.h.in
    ${next_gen}/${header} @ONLY)
endforeach()
add_library(zu_next_control SHARED
  ${CMAKE_SOURCE_DIR}/control/dll_main.cpp
  ${CMAKE_SOURCE_DIR}/control/zuac.rc
  ${CMAKE_SOURCE_DIR}/control/zuac.def)
target_include_directories(zu_next_control BEFORE PRIVATE ${next_gen})
target_link_libraries(zu_next_control PRIVATE zuaxctrl)
target_link_options(zu_next_control PRIVATE -Wl,--enable-stdcall-fixup)
add_dependencies(zu_next_control zuax_typelib)
set_target_properties(zu_next_control PROPERTIES PREFIX "" OUTPUT_NAME ZUAC
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/next-control)

zu_add_test(NAME self_update_e2e_tests
  SOURCES self_update_e2e_test.cpp
  LIBS zutest_pages
  NO_CTEST)
target_compile_definitions(self_update_e2e_tests PRIVATE
  ZU_TEST_VERSION="${PROJECT_VERSION}" ZU_NEXT_CONTROL_VERSION="${ZU_NEXT_CONTROL_VERSION}")
add_dependencies(self_update_e2e_tests ZUAC zu_next_control zupagehost zurecord zu_test_pki)
add_test(NAME self_update_e2e_tests
  COMMAND bash ${ZU_WITH_ENGINE_SERVERS}
          ${CMAKE_SOURCE_DIR}/scripts/wine-run $<TARGET_FILE:self_update_e2e_tests> --gtest_color=no)
set_tests_properties(self_update_e2e_tests PROPERTIES
  RESOURCE_LOCK "machine_state;display;engine_servers" SKIP_RETURN_CODE 77 TIMEOUT 900
  ENVIRONMENT "ZU_WINE_TIMEOUT=890;ZU_ENGINE_FTP=127.0.0.15 127.0.0.16 127.0.0.17")

# The self update that ends in a restart (1) or shutdown (2), in throwaway
# prefixes: restart_road_test.sh's "self" road, with its steps in
# restart_road_tests.exe (install_e2e.cmake).
add_dependencies(restart_road_tests zu_next_control)
foreach(level 1 2)
  add_test(NAME self_update_road_${level}_tests
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/restart_road_test.sh ${CMAKE_BINARY_DIR}/bin ${level} self)
  set_tests_properties(self_update_road_${level}_tests PROPERTIES
    RESOURCE_LOCK display TIMEOUT 1800)
endforeach()
