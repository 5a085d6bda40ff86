#include "tests/support/lab.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include "tests/support/files.h"
#include "tests/support/registry.h"

namespace zu::test {

std::wstring InstallDir() {
  wchar_t buf[MAX_PATH];
  ::ExpandEnvironmentStringsW(L"%ProgramFiles%\\Vexa\\ZEFO Update 4", buf, MAX_PATH);
  return buf;
}

std::wstring InstalledAgent() { return InstallDir() + L"\\ZEFOUpdt.exe"; }

void InstallAgent() {
  ::SHCreateDirectoryExW(nullptr, InstallDir().c_str(), nullptr);
  ::CopyFileW((BinDir() + L"\\ZEFOUpdt.exe").c_str(), InstalledAgent().c_str(), FALSE);
  for (const wchar_t* f : {L"ZU.ini", L"Version.txt"})
    ::CopyFileW((BinDir() + L"\\install\\" + f).c_str(), (InstallDir() + L"\\" + f).c_str(),
                FALSE);
}

Process StartAgent(const std::wstring& args) {
  // The tail the agent sees is what follows the program name and one blank.
  return Process::Start(InstalledAgent(), args);
}

bool RunAgentToEnd(const std::wstring& args, DWORD ms) {
  Process p = StartAgent(args);
  if (p.WaitExit(ms)) return true;
  p.Kill();
  return false;
}

bool AgentRunning() {
  zu::UniqueHandle h(::OpenMutexW(SYNCHRONIZE, FALSE, L"ZEFO Update"));
  return static_cast<bool>(h);
}

void StopAllAgents() {
  if (!AgentRunning()) return;
  RunAgentToEnd(L"/HaltAll");
  WaitFor([] { return !AgentRunning(); }, 10000);
}

bool RecordBrowserStarts(const std::wstring& log) {
  ::DeleteFileW(log.c_str());
  ::SetEnvironmentVariableW(L"ZU_RECORD_FILE", log.c_str());
  return SetRegString(HKEY_LOCAL_MACHINE, kBrowserKey, L"", BinDir() + L"\\zurecord.exe");
}

bool ChooseTrayMenuItem(UINT id) {
  HWND owner = ::FindWindowW(nullptr, L"Icon Menu");
  return owner && ::PostMessageW(owner, WM_COMMAND, id, 0);
}

void InstallSettingsFile() {
  ::SHCreateDirectoryExW(
      nullptr, (SpecialFolder(CSIDL_COMMON_APPDATA) + L"\\Vexa Corporation\\ZEFO Update").c_str(),
      nullptr);
  ::CopyFileW((BinDir() + L"\\install\\ZU.ini").c_str(), SettingsFile().c_str(), FALSE);
}

void PointAgentAt(const std::wstring& info_base, DWORD pulse_ms) {
  const wchar_t kUserKey[] = L"Software\\Vexa Corporation\\ZEFO Update\\4.0";
  ASSERT_TRUE(SetRegDword(HKEY_CURRENT_USER, kUserKey, L"FirstRun", 0));
  ASSERT_TRUE(SetRegDword(HKEY_CURRENT_USER, kUserKey, L"_Debug_PulseInterval", pulse_ms));
  InstallSettingsFile();
  ASSERT_TRUE(::WritePrivateProfileStringW(L"Setting", L"InfoFileURLBase", info_base.c_str(),
                                           SettingsFile().c_str()));
}

std::wstring SettingsFile() {
  return SpecialFolder(CSIDL_COMMON_APPDATA) + L"\\Vexa Corporation\\ZEFO Update\\ZU.ini";
}

}  // namespace zu::test
