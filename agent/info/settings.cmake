# Settings store: the shared settings file, the per-user values and the
# time stamps both are compared on.
target_sources(zuinfo PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/clock.cpp
  ${CMAKE_CURRENT_LIST_DIR}/my_reg_key.cpp
  ${CMAKE_CURRENT_LIST_DIR}/settings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/time_stamp.cpp
)
