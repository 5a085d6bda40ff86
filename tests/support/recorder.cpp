// Stand-in for programs the agent starts (start-up hooks, the browser):
// appends its command line to the file named by ZU_RECORD_FILE.
#include <windows.h>

#include <string>

#include "tests/support/text.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  wchar_t path[MAX_PATH];
  DWORD n = ::GetEnvironmentVariableW(L"ZU_RECORD_FILE", path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 1;
  HANDLE f = ::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return 1;
  const std::string line = zu::test::Utf8(std::wstring(::GetCommandLineW()) + L"\n");
  DWORD written = 0;
  ::WriteFile(f, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  ::CloseHandle(f);
  return 0;
}
