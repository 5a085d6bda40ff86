// An installer for the engine's tests, signed at build time with the test
// certificates. Its command-line parameter tells it what to do:
//   /log=PATH       append one line per run to PATH (UTF-8):
//                   "run=N launch=L delete_open=D cmd=<its whole command line>"
//                   N counts the lines already in the log plus one, L is
//                   "LaunchInstaller" as the installer sees it (- when
//                   missing), D whether it could open its own file for
//                   deletion (1) or not (0)
//   /runN=I,R       on run N set "InstallFlg" to I and "RebootFlg" to R
//                   (either may be empty to leave that value alone)
//   /sleep=MS       wait before ending
// Everything else on the line is recorded and ignored.
#include <windows.h>

#include <string>
#include <vector>

namespace {

constexpr wchar_t kFlagsKey[] = L"Software\\Vexa Corporation\\ZEFO Update";

std::vector<std::wstring> Words(const std::wstring& line) {
  std::vector<std::wstring> words;
  std::wstring word;
  bool quoted = false;
  for (wchar_t c : line) {
    if (c == L'"') {
      quoted = !quoted;
    } else if (c == L' ' && !quoted) {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word.push_back(c);
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

std::wstring Option(const std::vector<std::wstring>& words, const std::wstring& name) {
  for (const std::wstring& w : words)
    if (w.compare(0, name.size(), name) == 0) return w.substr(name.size());
  return std::wstring();
}

void SetFlag(const wchar_t* name, const std::wstring& value) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kFlagsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
    return;
  ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(key);
}

std::wstring LaunchInstaller() {
  DWORD value = 0, size = sizeof value, type = 0;
  if (::RegGetValueW(HKEY_LOCAL_MACHINE, kFlagsKey, L"LaunchInstaller", RRF_RT_REG_DWORD, &type,
                     &value, &size) != ERROR_SUCCESS)
    return L"-";
  return std::to_wstring(value);
}

// Whether another program could now rename or delete this file.
bool CanOpenSelfForDeletion() {
  wchar_t self[MAX_PATH];
  if (!::GetModuleFileNameW(nullptr, self, MAX_PATH)) return false;
  HANDLE h = ::CreateFileW(self, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(h);
  return true;
}

int RunsLogged(const std::wstring& log) {
  HANDLE f = ::CreateFileW(log.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return 0;
  int lines = 0;
  char buffer[4096];
  DWORD got = 0;
  while (::ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got > 0)
    for (DWORD i = 0; i < got; ++i) lines += buffer[i] == '\n';
  ::CloseHandle(f);
  return lines;
}

void Append(const std::wstring& log, const std::wstring& line) {
  HANDLE f = ::CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  const int bytes =
      ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(bytes, '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, utf8.data(), bytes, nullptr, nullptr);
  DWORD written = 0;
  ::WriteFile(f, utf8.data(), static_cast<DWORD>(utf8.size() - 1), &written, nullptr);
  ::CloseHandle(f);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  const std::wstring line = ::GetCommandLineW();
  const std::vector<std::wstring> words = Words(line);
  const std::wstring log = Option(words, L"/log=");
  const int run = (log.empty() ? 0 : RunsLogged(log)) + 1;

  const std::wstring flags = Option(words, L"/run" + std::to_wstring(run) + L"=");
  if (!flags.empty()) {
    const std::size_t comma = flags.find(L',');
    const std::wstring install = flags.substr(0, comma);
    const std::wstring reboot = comma == std::wstring::npos ? L"" : flags.substr(comma + 1);
    if (!install.empty()) SetFlag(L"InstallFlg", install);
    if (!reboot.empty()) SetFlag(L"RebootFlg", reboot);
  }
  if (!log.empty())
    Append(log, L"run=" + std::to_wstring(run) + L" launch=" + LaunchInstaller() +
                    L" delete_open=" + (CanOpenSelfForDeletion() ? L"1" : L"0") + L" cmd=" + line +
                    L"\n");
  const std::wstring sleep = Option(words, L"/sleep=");
  if (!sleep.empty()) ::Sleep(static_cast<DWORD>(_wtoi(sleep.c_str())));
  return 0;
}
