#pragma once
// The built agent in the lab's Windows: an installed copy, starting and
// stopping it, the files an installer puts in place, and the stand-in
// browser that records what the agent opens.
#include <windows.h>

#include <string>

#include "tests/support/process.h"

namespace zu::test {

// "%ProgramFiles%\Vexa\ZEFO Update 4", where the agent is installed.
std::wstring InstallDir();
std::wstring InstalledAgent();
// Copies the built agent (and the files an installer puts beside it).
void InstallAgent();

// Runs the installed agent with the given command-line tail.
Process StartAgent(const std::wstring& args);
// Runs a one-shot start and waits for it to end.
bool RunAgentToEnd(const std::wstring& args, DWORD ms = 30000);
// Stops every agent of this prefix ("/HaltAll"), then makes sure.
void StopAllAgents();
bool AgentRunning();  // the session mutex exists

// Where the agent finds the browser it starts.
inline constexpr wchar_t kBrowserKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE";
// Registers zurecord.exe there as the browser, for the programs this
// process starts from now on: each start appends its command line to the
// log, which is emptied first. False when the key cannot be written.
bool RecordBrowserStarts(const std::wstring& log);

std::wstring SettingsFile();  // C:\ProgramData\Vexa Corporation\ZEFO Update\ZU.ini
// The settings file as the installer leaves it (the built template).
void InstallSettingsFile();
// Points the installed agent at a test server: no first run, a pulse every
// pulse_ms, and the settings file as installed with its info files under
// info_base. A value that cannot be written fails the test.
void PointAgentAt(const std::wstring& info_base, DWORD pulse_ms);
// Sends a tray menu command (ID_TRAY_*) where the menu sends it: to the
// window that owns the menu, "Icon Menu". False when there is none.
bool ChooseTrayMenuItem(UINT id);

}  // namespace zu::test
