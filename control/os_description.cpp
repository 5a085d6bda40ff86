#include "control/os_description.h"

#include <windows.h>

namespace {

// "GetProductInfo" exists from Vista on; XP's Kernel32.dll has none.
using GetProductInfoFn = BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, PDWORD);

}  // namespace

OsDescription ReadOsDescription() {
  OSVERSIONINFOEXW vi = {};
  vi.dwOSVersionInfoSize = sizeof(vi);
  OsDescription os;
  if (!::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&vi))) return os;
  os.major = vi.dwMajorVersion;
  os.minor = vi.dwMinorVersion;
  os.sp_major = vi.wServicePackMajor;
  os.sp_minor = vi.wServicePackMinor;

  OsEditionFacts facts;
  facts.major = vi.dwMajorVersion;
  facts.minor = vi.dwMinorVersion;
  facts.product_type = vi.wProductType;
  facts.suite_mask = vi.wSuiteMask;
  facts.media_center = ::GetSystemMetrics(SM_MEDIACENTER) != 0;
  facts.tablet_pc = ::GetSystemMetrics(SM_TABLETPC) != 0;
  if (vi.dwMajorVersion == 6) {
    if (HMODULE kernel = ::GetModuleHandleW(L"Kernel32.dll")) {
      auto fn = reinterpret_cast<GetProductInfoFn>(
          reinterpret_cast<void*>(::GetProcAddress(kernel, "GetProductInfo")));
      DWORD type = 0;
      if (fn && fn(vi.dwMajorVersion, vi.dwMinorVersion, vi.wServicePackMajor,
                   vi.wServicePackMinor, &type)) {
        facts.has_product_info = true;
        facts.product_info = type;
      }
    }
  }
  os.edition = ComputeEdition(facts);
  return os;
}

const OsDescription& GetOsDescription() {
  static const OsDescription os = ReadOsDescription();
  return os;
}
