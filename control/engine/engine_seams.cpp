#include "control/engine/engine_seams.h"

#include <wininet.h>

#include <string>

namespace {
zu::seams::GetDiskFreeSpaceExFn LookUpFreeSpaceQuery() {
  HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  return kernel ? reinterpret_cast<zu::seams::GetDiskFreeSpaceExFn>(reinterpret_cast<void*>(
                      ::GetProcAddress(kernel, "GetDiskFreeSpaceExW")))
                : nullptr;
}
}  // namespace

namespace zu::seams {
GetDiskFreeSpaceExFn get_disk_free_space_ex = LookUpFreeSpaceQuery();
InternetGetConnectedStateFn internet_get_connected_state = &::InternetGetConnectedState;
}  // namespace zu::seams

bool InternetUsesProxy() {
  DWORD flags = 0;
  zu::seams::internet_get_connected_state(&flags, 0);
  return (flags & INTERNET_CONNECTION_PROXY) != 0;
}

unsigned long long FreeBytesForFolder(const wchar_t* folder) {
  if (!zu::seams::get_disk_free_space_ex) return 0;
  // The folder itself, so that a folder mounted from another volume counts
  // that volume; its drive's root when the folder cannot be asked.
  std::wstring dir = folder;
  if (!dir.empty() && dir.back() != L'\\') dir += L'\\';
  ULARGE_INTEGER available = {};
  if (zu::seams::get_disk_free_space_ex(dir.c_str(), &available, nullptr, nullptr))
    return available.QuadPart;
  if (dir.size() >= 3 && dir[1] == L':' &&
      zu::seams::get_disk_free_space_ex(dir.substr(0, 3).c_str(), &available, nullptr, nullptr))
    return available.QuadPart;
  return 0;
}
