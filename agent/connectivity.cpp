#include "agent/connectivity.h"

#include <windows.h>
#include <wininet.h>

namespace {
using IsNetworkAliveFn = BOOL(WINAPI*)(LPDWORD);
}

bool IsConnected() {
  DWORD flags = 0;
  if (::InternetGetConnectedState(&flags, 0)) return true;
  if (!(flags & INTERNET_RAS_INSTALLED)) return false;
  // sensapi has no import library in this toolchain.
  HMODULE sens = ::LoadLibraryW(L"sensapi.dll");
  if (!sens) return false;
  bool alive = false;
  if (auto fn = reinterpret_cast<IsNetworkAliveFn>(
          reinterpret_cast<void*>(::GetProcAddress(sens, "IsNetworkAlive")))) {
    DWORD kind = 0;
    alive = fn(&kind) != FALSE;
  }
  ::FreeLibrary(sens);
  return alive;
}
