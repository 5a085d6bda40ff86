# Pulse timer, check scheduling, and the notification icon with its menu
# and balloons.
add_library(zupulse STATIC
  ${CMAKE_CURRENT_LIST_DIR}/notify_icon_wnd.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pulse_generator.cpp
  ${CMAKE_CURRENT_LIST_DIR}/schedule.cpp
)
target_link_libraries(zupulse PUBLIC zuinfo zucommon)

# The agent's own resources (strings, menu 132, icon 128) are compiled in,
# so the balloons and the menu are the real ones.
zu_add_test(NAME pulse_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/schedule_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pulse_generator_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/notify_icon_wnd_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/agent.rc
  LIBS zupulse zuuiauto zutest_agent
  LOCKS machine_state)
