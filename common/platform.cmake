# Privileges, restart and shutdown, keep-awake, screen saver and the agent's
# autorun registration (Run value or logon task).
target_link_libraries(zucommon PUBLIC taskschd advapi32 ole32 oleaut32 user32)
