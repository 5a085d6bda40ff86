#include "tests/support/devices.h"

#include <setupapi.h>

#include "common/framework/device_info.h"
#include "tests/support/registry.h"

namespace zu::test {
namespace {

const wchar_t kSystemClassText[] = L"{4d36e97d-e325-11ce-bfc1-08002be10318}";
const GUID kSystemClass = {0x4d36e97d, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
const wchar_t kEnumRoot[] = L"SYSTEM\\CurrentControlSet\\Enum\\ROOT\\SYSTEM\\";
const wchar_t kClassRoot[] = L"SYSTEM\\CurrentControlSet\\Control\\Class\\";

}  // namespace

MadeUpDevices::~MadeUpDevices() {
  for (const std::wstring& n : numbers_) {
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kEnumRoot + n).c_str());
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, (kEnumRoot + n).c_str());
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kClassRoot + std::wstring(kSystemClassText) + L"\\" + n).c_str());
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, (kClassRoot + std::wstring(kSystemClassText) + L"\\" + n).c_str());
  }
}

bool MadeUpDevices::Add(const std::wstring& number, const std::wstring& hwid,
                        const wchar_t* version, const wchar_t* date, bool dword_date) {
  numbers_.push_back(number);
  zu::UniqueDevInfo set(::SetupDiCreateDeviceInfoList(&kSystemClass, nullptr));
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof(device);
  const std::wstring ids = hwid + L'\0' + L'\0';
  if (!set ||
      !::SetupDiCreateDeviceInfoW(set.get(), (L"ROOT\\SYSTEM\\" + number).c_str(), &kSystemClass,
                                  nullptr, nullptr, 0, &device) ||
      !::SetupDiSetDeviceRegistryPropertyW(set.get(), &device, SPDRP_HARDWAREID,
                                           reinterpret_cast<const BYTE*>(ids.data()),
                                           static_cast<DWORD>(ids.size() * sizeof(wchar_t))) ||
      !::SetupDiRegisterDeviceInfo(set.get(), &device, 0, nullptr, nullptr, nullptr))
    return false;
  if (!version && !date) return true;
  const std::wstring driver = std::wstring(kSystemClassText) + L"\\" + number;
  const std::wstring key = kClassRoot + driver;
  if (!SetRegString(HKEY_LOCAL_MACHINE, kEnumRoot + number, L"Driver", driver)) return false;
  if (version && !SetRegString(HKEY_LOCAL_MACHINE, key, L"DriverVersion", version))
    return false;
  if (date && !dword_date && !SetRegString(HKEY_LOCAL_MACHINE, key, L"DriverDate", date))
    return false;
  if (dword_date && !SetRegDword(HKEY_LOCAL_MACHINE, key, L"DriverDate", 20080715))
    return false;
  return true;
}

std::vector<std::wstring> MadeUpDevices::PresentOrder() {
  std::vector<std::wstring> order;
  zu::UniqueDevInfo set(
      ::SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT));
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof(device);
  for (DWORD i = 0; set && ::SetupDiEnumDeviceInfo(set.get(), i, &device); ++i) {
    wchar_t id[512] = {};
    if (::SetupDiGetDeviceInstanceIdW(set.get(), &device, id, 512, nullptr)) order.push_back(id);
  }
  return order;
}

}  // namespace zu::test
