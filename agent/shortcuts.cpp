#include "agent/shortcuts.h"

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cwchar>

#include "agent/resource.h"
#include "common/framework/com.h"
#include "common/framework/window.h"

namespace {

std::wstring SpecialFolder(int csidl) {
  wchar_t path[MAX_PATH] = L"";
  if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return L"";
  return path;
}

std::wstring OptionsName() { return zu::LoadResString(IDS_SHORTCUT_OPTIONS, L"ZEFO Update Options"); }
std::wstring SupportName() { return zu::LoadResString(IDS_SHORTCUT_SUPPORT, L"Go to ZEFO Web Support"); }

// Failures are ignored: a missing shortcut must not stop an installation.
void MakeLink(const std::wstring& lnk, const std::wstring& target, const wchar_t* args) {
  zu::ComInit com;
  zu::ComPtr<IShellLinkW> link;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.put_void())))
    return;
  link->SetPath(target.c_str());
  link->SetIconLocation(target.c_str(), 0);
  if (args) link->SetArguments(args);
  zu::ComPtr<IPersistFile> file;
  if (SUCCEEDED(link.As(&file, IID_IPersistFile))) file->Save(lnk.c_str(), TRUE);
}

}  // namespace

std::wstring ShortcutGroupName() {
  wchar_t module[MAX_PATH] = L"";
  wchar_t full[MAX_PATH] = L"";
  ::GetModuleFileNameW(nullptr, module, MAX_PATH);
  if (!::GetLongPathNameW(module, full, MAX_PATH)) wcscpy(full, module);
  std::wstring path(full);
  size_t last = path.find_last_of(L'\\');
  if (last == std::wstring::npos) return L"";
  path.resize(last);
  size_t prev = path.find_last_of(L'\\');
  return prev == std::wstring::npos ? path : path.substr(prev + 1);
}

void CreateShortcuts() {
  const std::wstring group = ShortcutGroupName();
  std::wstring pattern = L"%ProgramFiles%\\Vexa\\" + group + L"\\ZEFOUpdt.exe";
  wchar_t target[256] = L"";
  DWORD n = ::ExpandEnvironmentStringsW(pattern.c_str(), target, 256);
  if (n == 0 || n > 256) return;  // a cut path would point somewhere else

  const std::wstring programs = SpecialFolder(CSIDL_COMMON_PROGRAMS);
  if (!programs.empty()) {
    ::CreateDirectoryW((programs + L"\\" + group).c_str(), nullptr);
    MakeLink(programs + L"\\" + group + L"\\" + OptionsName() + L".lnk", target, nullptr);
    MakeLink(programs + L"\\" + group + L"\\" + SupportName() + L".lnk", target, L"/showpage");
  }
  const std::wstring start_menu = SpecialFolder(CSIDL_COMMON_STARTMENU);
  if (!start_menu.empty())
    MakeLink(start_menu + L"\\" + SupportName() + L".lnk", target, L"/showpage");
}

void RemoveShortcuts() {
  const std::wstring group = ShortcutGroupName();
  const std::wstring start_menu = SpecialFolder(CSIDL_COMMON_STARTMENU);
  if (!start_menu.empty()) ::DeleteFileW((start_menu + L"\\" + SupportName() + L".lnk").c_str());
  const std::wstring programs = SpecialFolder(CSIDL_COMMON_PROGRAMS);
  if (programs.empty()) return;
  ::DeleteFileW((programs + L"\\" + group + L"\\" + OptionsName() + L".lnk").c_str());
  ::DeleteFileW((programs + L"\\" + group + L"\\" + SupportName() + L".lnk").c_str());
  ::RemoveDirectoryW((programs + L"\\" + group).c_str());
}
