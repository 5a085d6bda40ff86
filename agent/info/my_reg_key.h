#pragma once
// The agent's per-user values under HKEY_CURRENT_USER. Every method opens
// the key, does one value and closes it again; true on success.
#include <windows.h>

#include <string>

constexpr wchar_t kAgentUserKey[] = L"Software\\Vexa Corporation\\ZEFO Update\\4.0";

class CMyRegKey {
 public:
  virtual ~CMyRegKey() = default;

  bool GetLastVisit(std::wstring* text);
  bool SetLastVisit(const std::wstring& text);
  bool GetLastExecute(std::wstring* text);
  bool SetLastExecute(const std::wstring& text);

  bool SetFirstRun(DWORD n);
  // True while the user has not confirmed the options dialog. A missing (or
  // non-DWORD) value is created as 1 and answers true.
  bool CheckFirstRun();

  // "SupportpageAutoURL" when automatic, else "SupportpageManualURL". A
  // stored text that is no web address (IsWebAddress) reads as absent.
  bool GetSupportPageURL(std::wstring* url, bool automatic);
  bool SetSupportPageURL(const std::wstring& url, bool automatic);

  // Test switches a tester creates by hand; the agent never writes them.
  bool GetDebugSaveInfoFile(DWORD* n);
  bool IsDebugShowMessageBox();  // present and non-zero
  bool GetDebugPulseInterval(DWORD* ms);
  bool GetDebugInfoFileURL(std::wstring* url);
  bool GetDebugSerial(std::wstring* serial);
};
