#pragma once
// Registration of the agent to start at every logon: the Run value
// "ZEFO Update 4" before Vista, the logon task "VEXA\ZEFO Update" from
// Vista on.
#include <string>

// "\"<program files>\\Vexa\\ZEFO Update 4\\ZEFOUpdt.exe\"  ", or empty when
// the program files folder is unknown or longer than 255 characters.
std::wstring AgentAutorunCommand();

// Both need administrator rights and answer false without them.
bool RegisterAutorun(const std::wstring& argument);
bool UnregisterAutorun();

// Before Vista the whole Run value (command and argument); from Vista on
// the task's arguments.
bool ReadAutorunCommand(std::wstring* text);
