# Installing driven by support pages and by the agent's "/S": ZUAC.dll
# registered, pages run by ZUPageHost.exe, the signed fake installers,
# C:\Update and the installer flags as they are on the machine.
zu_add_test(NAME install_e2e_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/install_e2e_test.cpp
  LIBS zucommon zutest_pages
  LOCKS machine_state display
  TIMEOUT 900)
add_dependencies(install_e2e_tests ZUAC ZEFOUpdt zurecord zupagehost zu_test_pki)

# The restart road in throwaway prefixes (restarting ends every process of
# a prefix): the steps inside the prefix, and the script that restarts it.
zu_add_test(NAME restart_road_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/restart_road_test.cpp
  LIBS zutest_pages
  NO_CTEST)
add_dependencies(restart_road_tests ZUAC ZEFOUpdt zurecord zupagehost zuui_tool zu_test_pki)
foreach(level 0 1 2)
  add_test(NAME restart_road_${level}_tests
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/restart_road_test.sh ${CMAKE_BINARY_DIR}/bin ${level})
  set_tests_properties(restart_road_${level}_tests PROPERTIES
    RESOURCE_LOCK display TIMEOUT 1800)
endforeach()
