#pragma once
// Devices of the System class made up for a test, as the platform notes
// describe: registered through SetupAPI with a hardware ID, their "Driver"
// value written beside them, and a driver key holding the given values.
// All removed again when the object goes.
#include <windows.h>

#include <string>
#include <vector>

namespace zu::test {

class MadeUpDevices {
 public:
  MadeUpDevices() = default;
  ~MadeUpDevices();
  MadeUpDevices(const MadeUpDevices&) = delete;
  MadeUpDevices& operator=(const MadeUpDevices&) = delete;

  // Device ROOT\SYSTEM\<number>. A driver key only when version or date is
  // given; a date of REG_DWORD type when dword_date.
  bool Add(const std::wstring& number, const std::wstring& hwid, const wchar_t* version,
           const wchar_t* date, bool dword_date = false);
  // The instance numbers of the present devices in SetupAPI's order.
  static std::vector<std::wstring> PresentOrder();

 private:
  std::vector<std::wstring> numbers_;
};

}  // namespace zu::test
