# build/ZEFOUpdate.msi: the package a PC maker ships, made by scripts/package
# (wixl) from the two programs and their installation data.
set(ZU_PACKAGE ${CMAKE_BINARY_DIR}/ZEFOUpdate.msi)
add_custom_command(OUTPUT ${ZU_PACKAGE}
  COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/package --version ${PROJECT_VERSION}
          --programs $<TARGET_FILE_DIR:ZEFOUpdt> --data ${CMAKE_BINARY_DIR}/bin/install
          --out ${ZU_PACKAGE}
  DEPENDS ZEFOUpdt ZUAC ${CMAKE_SOURCE_DIR}/scripts/package ${CMAKE_CURRENT_LIST_DIR}/ZEFOUpdate.wxs
          ${CMAKE_BINARY_DIR}/bin/install/ZU.ini ${CMAKE_BINARY_DIR}/bin/install/Version.txt
          ${CMAKE_BINARY_DIR}/bin/install/Pim.txt
  COMMENT "wixl: ZEFOUpdate.msi"
  VERBATIM)
add_custom_target(zu_package ALL DEPENDS ${ZU_PACKAGE})
