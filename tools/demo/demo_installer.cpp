// ZUDemoInstaller: an update installer as a maker builds one for the
// engine, for the lab's demo. It shows what it installs for a moment,
// records the update in the installed-components database when it is
// done, and tells the engine what it needs through the installer flags:
//   ZUDemoInstaller /spid:ID [/phases:2] [/reboot:0|1|2]
// A two-phase installer asks for a second run and a restart after its
// first run ("InstallFlg" 1, "RebootFlg" 1) and completes in the second;
// /reboot is what the completing run asks for (default 0).
#include <windows.h>

#include <string>

namespace {

constexpr wchar_t kFlagsKey[] = L"Software\\Vexa Corporation\\ZEFO Update";
constexpr wchar_t kPatchDb[] = L"SOFTWARE\\Vexa Corporation\\Shared Info\\PatchDB\\";
// Where a two-phase installer remembers that its first phase ran.
constexpr wchar_t kPendingKey[] = L"SOFTWARE\\Vexa Corporation\\Shared Info\\PendingSecondPhase";

bool SetString(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  return ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

std::wstring Option(const std::wstring& line, const wchar_t* name) {
  const std::wstring key = std::wstring(L"/") + name + L":";
  size_t at = line.find(key);
  if (at == std::wstring::npos) return L"";
  at += key.size();
  size_t end = line.find(L' ', at);
  return line.substr(at, end == std::wstring::npos ? std::wstring::npos : end - at);
}

// A plain window with one line of text, shown for a moment so that a user
// (and the demo's screenshot) sees which update is being installed.
void ShowProgress(const std::wstring& text) {
  HINSTANCE module = ::GetModuleHandleW(nullptr);
  WNDCLASSW wc = {};
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.hInstance = module;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = L"ZUDemoInstaller";
  ::RegisterClassW(&wc);
  HWND window = ::CreateWindowExW(0, wc.lpszClassName, text.c_str(),
                                  WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE, 200, 200, 420, 110,
                                  nullptr, nullptr, module, nullptr);
  if (!window) return;
  ::CreateWindowExW(0, L"STATIC", text.c_str(), WS_CHILD | WS_VISIBLE, 16, 24, 380, 20, window,
                    nullptr, module, nullptr);
  const DWORD until = ::GetTickCount() + 2000;
  while (static_cast<LONG>(until - ::GetTickCount()) > 0) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    ::Sleep(20);
  }
  ::DestroyWindow(window);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR command_line, int) {
  const std::wstring line = command_line ? command_line : L"";
  const std::wstring spid = Option(line, L"spid");
  if (spid.empty()) return 2;
  const bool two_phases = Option(line, L"phases") == L"2";
  const std::wstring reboot = Option(line, L"reboot").empty() ? L"0" : Option(line, L"reboot");
  DWORD type = 0;
  const bool second_run = two_phases &&
                          ::RegGetValueW(HKEY_LOCAL_MACHINE, kPendingKey, spid.c_str(), RRF_RT_ANY,
                                         &type, nullptr, nullptr) == ERROR_SUCCESS;
  if (two_phases && !second_run) {
    ShowProgress(L"Installing " + spid + L" (phase 1 of 2)...");
    SetString(kPendingKey, spid.c_str(), L"1");
    SetString(kFlagsKey, L"InstallFlg", L"1");
    SetString(kFlagsKey, L"RebootFlg", L"1");
    return 0;
  }
  ShowProgress(L"Installing " + spid + (second_run ? L" (phase 2 of 2)..." : L"..."));
  if (second_run) {
    HKEY pending = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPendingKey, 0, KEY_SET_VALUE | KEY_QUERY_VALUE,
                        &pending) == ERROR_SUCCESS) {
      ::RegDeleteValueW(pending, spid.c_str());
      DWORD values = 0;
      ::RegQueryInfoKeyW(pending, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr);
      ::RegCloseKey(pending);
      if (values == 0) ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kPendingKey);
    }
  }
  SetString(kPatchDb + spid, L"patchid", spid);
  SetString(kFlagsKey, L"RebootFlg", reboot);
  return 0;
}
