#pragma once
// What the end-to-end tests need around the agent: an installed copy,
// process control, and saving and putting back the machine state the
// agent touches.
#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/framework/handle.h"

namespace lab {

std::wstring BinDir();  // folder of the running test executable
// "%ProgramFiles%\Vexa\ZEFO Update 4", where the agent is installed.
std::wstring InstallDir();
std::wstring InstalledAgent();
// Copies the built agent (and the files an installer puts beside it).
void InstallAgent();

class Process {
 public:
  static Process Start(const std::wstring& exe, const std::wstring& args);
  bool WaitExit(DWORD ms, DWORD* code = nullptr) const;
  void Kill() const;
  DWORD pid() const { return pid_; }
  HANDLE handle() const { return process_.get(); }
  explicit operator bool() const { return static_cast<bool>(process_); }

 private:
  zu::UniqueHandle process_;
  DWORD pid_ = 0;
};

// Runs a program to its end with its standard output and error captured
// together; code is empty when it did not end within ms (it is then ended).
struct RunResult {
  std::optional<DWORD> code;
  std::string output;
};
// A token, when given, is the one the program runs under.
RunResult RunCaptured(const std::wstring& exe, const std::wstring& args, DWORD ms = 120000,
                      HANDLE token = nullptr);

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

// The values of one registry key (not its sub-keys), to put back later.
class KeySnapshot {
 public:
  KeySnapshot(HKEY root, std::wstring subkey);
  ~KeySnapshot();  // puts back what was there
  void Clear() const;  // removes the key and its sub-keys for the test

 private:
  struct Value {
    DWORD type;
    std::vector<BYTE> data;
  };
  HKEY root_;
  std::wstring subkey_;
  bool existed_ = false;
  std::map<std::wstring, Value> values_;
};

// One file, to put back later.
class FileSnapshot {
 public:
  explicit FileSnapshot(std::wstring path);
  ~FileSnapshot();

 private:
  std::wstring path_;
  std::optional<std::string> content_;
};

std::wstring SettingsFile();  // C:\ProgramData\Vexa Corporation\ZEFO Update\ZU.ini
bool FileExists(const std::wstring& path);
std::string ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::wstring SpecialFolder(int csidl);
std::optional<std::wstring> RegString(HKEY root, const std::wstring& subkey,
                                      const std::wstring& name);
std::optional<DWORD> RegDword(HKEY root, const std::wstring& subkey, const std::wstring& name);
// Create the key when needed; false when it cannot be written.
bool SetRegString(HKEY root, const std::wstring& subkey, const std::wstring& name,
                  const std::wstring& value);
bool SetRegDword(HKEY root, const std::wstring& subkey, const std::wstring& name, DWORD value);
// The settings file as the installer leaves it (the built template).
void InstallSettingsFile();
// Sends a tray menu command (ID_TRAY_*) where the menu sends it: to the
// window that owns the menu, "Icon Menu". False when there is none.
bool ChooseTrayMenuItem(UINT id);
// Waits until pred() holds, polling.
template <typename Pred>
bool WaitFor(Pred pred, DWORD ms) {
  DWORD start = ::GetTickCount();
  do {
    if (pred()) return true;
    ::Sleep(50);
  } while (::GetTickCount() - start < ms);
  return pred();
}

}  // namespace lab
