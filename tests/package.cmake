# The package (build/ZEFOUpdate.msi) installed, repaired, upgraded, refused
# as a downgrade and removed by Wine's msiexec in a throwaway prefix.
add_test(NAME package_e2e_tests
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/package_e2e.sh ${CMAKE_BINARY_DIR} ${PROJECT_VERSION})
set_tests_properties(package_e2e_tests PROPERTIES RESOURCE_LOCK display TIMEOUT 900)

# scripts/sign with the test PKI (no Wine needed), which the build makes
# for it.
add_custom_target(sign_tests_pki ALL)
add_dependencies(sign_tests_pki zu_test_pki)
add_test(NAME sign_tests COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/sign_test.sh ${CMAKE_BINARY_DIR})
set_tests_properties(sign_tests PROPERTIES TIMEOUT 300)
