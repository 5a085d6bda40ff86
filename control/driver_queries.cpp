#include "control/driver_queries.h"

#include <windows.h>
#include <setupapi.h>

#include <vector>

#include "common/ascii_case.h"
#include "common/framework/device_info.h"
#include "control/error_codes.h"
#include "control/match_rules.h"
#include "control/registry_text.h"

namespace {

constexpr wchar_t kClassKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Class\\";
// Registry strings are at most this long; longer values are not read.
constexpr std::size_t kMaxValueChars = 32767;

// A string or multi-string property, with two terminators added so that
// a stored value without them still ends.
std::vector<wchar_t> DeviceProperty(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD property) {
  DWORD type = 0, bytes = 0;
  ::SetupDiGetDeviceRegistryPropertyW(set, device, property, &type, nullptr, 0, &bytes);
  if (bytes == 0) return {};
  std::vector<wchar_t> value(bytes / sizeof(wchar_t) + 2, L'\0');
  if (!::SetupDiGetDeviceRegistryPropertyW(set, device, property, &type,
                                           reinterpret_cast<BYTE*>(value.data()), bytes,
                                           nullptr))
    return {};
  return value;
}

bool HasHardwareId(HDEVINFO set, SP_DEVINFO_DATA* device, const std::wstring& wanted) {
  const std::vector<wchar_t> ids = DeviceProperty(set, device, SPDRP_HARDWAREID);
  for (std::size_t at = 0; at < ids.size() && ids[at];) {
    const std::wstring id(&ids[at]);
    if (zu::EqualsIgnoringAsciiCase(id, wanted)) return true;
    at += id.size() + 1;
  }
  return false;
}

std::wstring DriverKeyValue(HDEVINFO set, SP_DEVINFO_DATA* device, const wchar_t* value_name) {
  const std::vector<wchar_t> driver = DeviceProperty(set, device, SPDRP_DRIVER);
  if (driver.empty() || !driver[0]) return std::wstring();
  std::wstring value;
  ReadRegistryString(HKEY_LOCAL_MACHINE, kClassKey + std::wstring(driver.data()), value_name,
                     kMaxValueChars, RegistryStringTypes::kPlainOnly, &value);
  return value;
}

}  // namespace

std::wstring ReadDriverValueForPage(const std::wstring& hardware_id, const wchar_t* value_name,
                                    long* error) {
  std::wstring answer;
  zu::UniqueDevInfo set(
      ::SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT));
  if (set) {
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    for (DWORD index = 0; ::SetupDiEnumDeviceInfo(set.get(), index, &device); ++index) {
      if (HasHardwareId(set.get(), &device, hardware_id))
        answer = DriverKeyValue(set.get(), &device, value_name);
    }
  }
  *error = answer.empty() ? kZuErrorNoDevice : kZuErrorSuccess;
  return answer;
}
