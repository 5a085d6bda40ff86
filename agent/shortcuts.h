#pragma once
// The Start-menu shortcuts that "/PreInstall" creates and "/clear" removes.
#include <string>

// Last component of the folder that holds the agent executable.
std::wstring ShortcutGroupName();
void CreateShortcuts();
void RemoveShortcuts();
