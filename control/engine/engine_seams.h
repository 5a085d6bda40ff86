#pragma once
// The process-wide Windows calls of the engine that tests replace: Wine
// cannot be made to report a proxy, and a full disk is not at hand. Tests
// replace them with zu::ScopedOverride. The power line's seam and
// RunsOnBattery live with the platform, which the agent shares.
#include <windows.h>

#include "common/platform_seams.h"

namespace zu::seams {

using GetDiskFreeSpaceExFn = BOOL(WINAPI*)(LPCWSTR directory, PULARGE_INTEGER available,
                                           PULARGE_INTEGER total, PULARGE_INTEGER free);
using InternetGetConnectedStateFn = BOOL(WINAPI*)(LPDWORD flags, DWORD reserved);

// "GetDiskFreeSpaceExW" looked up in kernel32.dll; null when missing.
extern GetDiskFreeSpaceExFn get_disk_free_space_ex;
extern InternetGetConnectedStateFn internet_get_connected_state;  // ::InternetGetConnectedState


}  // namespace zu::seams

// Through the seams: whether the system's Internet settings use a proxy,
// and the bytes this user may still write on the disk that holds the
// folder (0 when unknown).
bool InternetUsesProxy();
unsigned long long FreeBytesForFolder(const wchar_t* folder);
