// Stand-in for programs the agent starts (start-up hooks, the browser):
// appends its command line to the file named by ZU_RECORD_FILE.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  wchar_t path[MAX_PATH];
  DWORD n = ::GetEnvironmentVariableW(L"ZU_RECORD_FILE", path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 1;
  HANDLE f = ::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return 1;
  std::wstring line = std::wstring(::GetCommandLineW()) + L"\n";
  int bytes = ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(bytes, '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, utf8.data(), bytes, nullptr, nullptr);
  DWORD written = 0;
  ::WriteFile(f, utf8.data(), static_cast<DWORD>(utf8.size() - 1), &written, nullptr);
  ::CloseHandle(f);
  return 0;
}
