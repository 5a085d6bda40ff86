# ZUAC.dll: the COM server of the scriptable control, its type library and
# registration. The units live in the static library zuaxctrl so that tests
# can host the control in their own process.

set(ZUAX_GEN ${CMAKE_CURRENT_BINARY_DIR}/zuax_gen)
file(MAKE_DIRECTORY ${ZUAX_GEN})
set(ZUAX_IDL ${CMAKE_CURRENT_LIST_DIR}/zuax.idl)
set(ZUAX_WIDL_FLAGS -I/usr/include/wine/wine/windows -L/usr/lib/i386-linux-gnu/wine/i386-windows)
add_custom_command(
  OUTPUT ${ZUAX_GEN}/zuax.tlb ${ZUAX_GEN}/zuax_h.h
  COMMAND ${ZU_WIDL} -t ${ZUAX_WIDL_FLAGS} -o ${ZUAX_GEN}/zuax.tlb ${ZUAX_IDL}
  COMMAND ${ZU_WIDL} -h ${ZUAX_WIDL_FLAGS} -o ${ZUAX_GEN}/zuax_h.h ${ZUAX_IDL}
  DEPENDS ${ZUAX_IDL}
  COMMENT "widl: ZUAXLib type library and header"
  VERBATIM)
add_custom_target(zuax_typelib DEPENDS ${ZUAX_GEN}/zuax.tlb ${ZUAX_GEN}/zuax_h.h)

add_library(zuaxctrl STATIC
  ${CMAKE_CURRENT_LIST_DIR}/class_factory.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ctrl_frame.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ctrl_methods_frame.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ctrl_methods_queries.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ctrl_methods_files.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ctrl_methods_drives.cpp
  ${CMAKE_CURRENT_LIST_DIR}/match_frame.cpp
  ${CMAKE_CURRENT_LIST_DIR}/module_path.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ole_control.cpp
  ${CMAKE_CURRENT_LIST_DIR}/prop_page.cpp
  ${CMAKE_CURRENT_LIST_DIR}/registered_strings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/registration.cpp
  ${CMAKE_CURRENT_LIST_DIR}/zuac_module.cpp
  ${CMAKE_CURRENT_LIST_DIR}/zuax_ctrl.cpp
  ${CMAKE_CURRENT_LIST_DIR}/zuax_dispatch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/zuax_ids.cpp)
add_dependencies(zuaxctrl zuax_typelib)
target_include_directories(zuaxctrl PUBLIC ${ZUAX_GEN})
target_link_libraries(zuaxctrl PUBLIC zuqueries zuhostcheck zucommon
  psapi version shlwapi shell32 oleaut32 ole32 uuid)

# The resources, also linked into tests that host the control in-process.
set(ZUAC_RC ${CMAKE_CURRENT_LIST_DIR}/zuac.rc)
set_source_files_properties(${ZUAC_RC} PROPERTIES OBJECT_DEPENDS
  "${ZUAX_GEN}/zuax.tlb;${CMAKE_CURRENT_LIST_DIR}/res/zuac.ico;${CMAKE_CURRENT_LIST_DIR}/res/zuax.bmp;${CMAKE_CURRENT_LIST_DIR}/resource.h")

add_library(ZUAC SHARED
  ${CMAKE_CURRENT_LIST_DIR}/dll_main.cpp
  ${ZUAC_RC}
  ${CMAKE_CURRENT_LIST_DIR}/zuac.def)
target_link_libraries(ZUAC PRIVATE zuaxctrl)
# The .def names the exports undecorated, as regsvr32 and COM look them up.
target_link_options(ZUAC PRIVATE -Wl,--enable-stdcall-fixup)
set_target_properties(ZUAC PROPERTIES PREFIX "" OUTPUT_NAME ZUAC)

zu_add_test(NAME control_rules_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/registered_strings_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/module_path_test.cpp
  LIBS zuaxctrl)

# The control hosted in the test's own process. Touches C:\Update\Debug.ini,
# the working mutex and the browser's App Paths entry.
zu_add_test(NAME control_ctrl_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/zuax_ctrl_test.cpp
    ${ZUAC_RC}
  LIBS zuaxctrl zutest
  LOCKS machine_state
  TIMEOUT 600)
target_compile_definitions(control_ctrl_tests PRIVATE
  $<$<COMPILE_LANGUAGE:CXX>:ZU_TEST_VERSION="${PROJECT_VERSION}">)
add_dependencies(control_ctrl_tests ZUAC zurecord)
