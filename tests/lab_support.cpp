#include "tests/lab_support.h"

#include <shlobj.h>

namespace lab {

std::wstring BinDir() {
  wchar_t path[MAX_PATH];
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p(path);
  return p.substr(0, p.find_last_of(L'\\'));
}

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

Process Process::Start(const std::wstring& exe, const std::wstring& args) {
  Process p;
  std::wstring cmd = L"\"" + exe + L"\"";
  if (!args.empty()) cmd += L" " + args;
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (::CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                       &pi)) {
    ::CloseHandle(pi.hThread);
    p.process_.reset(pi.hProcess);
    p.pid_ = pi.dwProcessId;
  }
  return p;
}

bool Process::WaitExit(DWORD ms, DWORD* code) const {
  if (!process_ || ::WaitForSingleObject(process_.get(), ms) != WAIT_OBJECT_0) return false;
  if (code) ::GetExitCodeProcess(process_.get(), code);
  return true;
}

void Process::Kill() const {
  if (process_) {
    ::TerminateProcess(process_.get(), 99);
    ::WaitForSingleObject(process_.get(), 5000);
  }
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

RunResult RunCaptured(const std::wstring& exe, const std::wstring& args, DWORD ms,
                      HANDLE token) {
  static LONG runs = 0;
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring out_path = std::wstring(temp) + L"zulab_run_" +
                                std::to_wstring(::GetCurrentProcessId()) + L"_" +
                                std::to_wstring(::InterlockedIncrement(&runs)) + L".out";
  SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
  RunResult r;
  {
    zu::UniqueFile out(::CreateFileW(out_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa,
                                     CREATE_ALWAYS, 0, nullptr));
    std::wstring cmd = L"\"" + exe + L"\" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = out.get();
    si.hStdError = out.get();
    PROCESS_INFORMATION pi{};
    const BOOL started =
        token ? ::CreateProcessAsUserW(token, exe.c_str(), cmd.data(), nullptr, nullptr, TRUE, 0,
                                       nullptr, nullptr, &si, &pi)
              : ::CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                 nullptr, &si, &pi);
    if (!started) {
      r.output = "could not start";
      return r;
    }
    zu::UniqueHandle process(pi.hProcess);
    ::CloseHandle(pi.hThread);
    out.reset();
    if (::WaitForSingleObject(process.get(), ms) == WAIT_OBJECT_0) {
      DWORD code = 0;
      ::GetExitCodeProcess(process.get(), &code);
      r.code = code;
    } else {
      ::TerminateProcess(process.get(), 99);
      ::WaitForSingleObject(process.get(), 5000);
    }
  }
  r.output = ReadFileBytes(out_path);
  ::DeleteFileW(out_path.c_str());
  return r;
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

KeySnapshot::KeySnapshot(HKEY root, std::wstring subkey) : root_(root), subkey_(std::move(subkey)) {
  zu::UniqueRegKey key;
  if (::RegOpenKeyExW(root_, subkey_.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
  existed_ = true;
  for (DWORD i = 0;; ++i) {
    wchar_t name[16384];
    DWORD name_len = 16384, type = 0, size = 0;
    if (::RegEnumValueW(key.get(), i, name, &name_len, nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS)
      break;
    Value v{type, std::vector<BYTE>(size)};
    name_len = 16384;
    ::RegEnumValueW(key.get(), i, name, &name_len, nullptr, &type, v.data.data(), &size);
    values_[name] = std::move(v);
  }
}

KeySnapshot::~KeySnapshot() {
  Clear();
  if (!existed_) return;
  HKEY key;
  if (::RegCreateKeyExW(root_, subkey_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
    return;
  for (const auto& [name, v] : values_)
    ::RegSetValueExW(key, name.c_str(), 0, v.type, v.data.data(),
                     static_cast<DWORD>(v.data.size()));
  ::RegCloseKey(key);
}

void KeySnapshot::Clear() const { ::RegDeleteTreeW(root_, subkey_.c_str()); ::RegDeleteKeyW(root_, subkey_.c_str()); }

FileSnapshot::FileSnapshot(std::wstring path) : path_(std::move(path)) {
  if (FileExists(path_)) content_ = ReadFileBytes(path_);
}

FileSnapshot::~FileSnapshot() {
  ::SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
  ::DeleteFileW(path_.c_str());
  if (content_) WriteFileBytes(path_, *content_);
}

std::wstring SpecialFolder(int csidl) {
  wchar_t path[MAX_PATH] = L"";
  ::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

std::wstring SettingsFile() {
  return SpecialFolder(CSIDL_COMMON_APPDATA) + L"\\Vexa Corporation\\ZEFO Update\\ZU.ini";
}

bool FileExists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadFileBytes(const std::wstring& path) {
  zu::UniqueFile f(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr));
  std::string out;
  if (!f) return out;
  char buf[4096];
  DWORD n = 0;
  while (::ReadFile(f.get(), buf, sizeof(buf), &n, nullptr) && n > 0) out.append(buf, n);
  return out;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  zu::UniqueFile f(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD n = 0;
  if (f) ::WriteFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
}

std::optional<std::wstring> RegString(HKEY root, const std::wstring& subkey,
                                      const std::wstring& name) {
  wchar_t buf[2048];
  DWORD size = sizeof(buf) - sizeof(wchar_t);
  if (::RegGetValueW(root, subkey.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, buf, &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  return std::wstring(buf);
}

std::optional<DWORD> RegDword(HKEY root, const std::wstring& subkey, const std::wstring& name) {
  DWORD v = 0, size = sizeof(v);
  if (::RegGetValueW(root, subkey.c_str(), name.c_str(), RRF_RT_REG_DWORD, nullptr, &v, &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  return v;
}

namespace {
bool SetRegValue(HKEY root, const std::wstring& subkey, const std::wstring& name, DWORD type,
                 const void* data, DWORD bytes) {
  zu::UniqueRegKey key;
  return ::RegCreateKeyExW(root, subkey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                           key.put(), nullptr) == ERROR_SUCCESS &&
         ::RegSetValueExW(key.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data),
                          bytes) == ERROR_SUCCESS;
}
}  // namespace

bool SetRegString(HKEY root, const std::wstring& subkey, const std::wstring& name,
                  const std::wstring& value) {
  return SetRegValue(root, subkey, name, REG_SZ, value.c_str(),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

bool SetRegDword(HKEY root, const std::wstring& subkey, const std::wstring& name, DWORD value) {
  return SetRegValue(root, subkey, name, REG_DWORD, &value, sizeof(value));
}

}  // namespace lab
