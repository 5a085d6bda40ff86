#include "agent/info/my_reg_key.h"

#include "agent/info/info_rules.h"
#include "common/registry.h"

namespace {

bool ReadText(const wchar_t* name, std::wstring* text) {
  return CRegKeyUtil().ReadString(name, text, HKEY_CURRENT_USER, kAgentUserKey);
}
bool WriteText(const wchar_t* name, const std::wstring& text) {
  return CRegKeyUtil().WriteString(name, text, HKEY_CURRENT_USER, kAgentUserKey);
}
bool ReadNumber(const wchar_t* name, DWORD* n) {
  return CRegKeyUtil().ReadDWORD(name, n, HKEY_CURRENT_USER, kAgentUserKey);
}
bool WriteNumber(const wchar_t* name, DWORD n) {
  return CRegKeyUtil().WriteDWORD(name, n, HKEY_CURRENT_USER, kAgentUserKey);
}

const wchar_t* SupportPageValue(bool automatic) {
  return automatic ? L"SupportpageAutoURL" : L"SupportpageManualURL";
}

}  // namespace

bool CMyRegKey::GetLastVisit(std::wstring* text) { return ReadText(L"LastVisit", text); }
bool CMyRegKey::SetLastVisit(const std::wstring& text) { return WriteText(L"LastVisit", text); }
bool CMyRegKey::GetLastExecute(std::wstring* text) { return ReadText(L"LastExecute", text); }
bool CMyRegKey::SetLastExecute(const std::wstring& text) {
  return WriteText(L"LastExecute", text);
}

bool CMyRegKey::SetFirstRun(DWORD n) { return WriteNumber(L"FirstRun", n); }

bool CMyRegKey::CheckFirstRun() {
  DWORD n = 0;
  if (!ReadNumber(L"FirstRun", &n)) {
    WriteNumber(L"FirstRun", 1);
    return true;
  }
  return n == 1;
}

bool CMyRegKey::GetSupportPageURL(std::wstring* url, bool automatic) {
  // A page stored before addresses were checked may be anything: it is
  // opened only when it is a web address.
  std::wstring text;
  if (!ReadText(SupportPageValue(automatic), &text) || !IsWebAddress(text)) return false;
  *url = std::move(text);
  return true;
}
bool CMyRegKey::SetSupportPageURL(const std::wstring& url, bool automatic) {
  return WriteText(SupportPageValue(automatic), url);
}

bool CMyRegKey::GetDebugSaveInfoFile(DWORD* n) { return ReadNumber(L"_Debug_SaveInfoFile", n); }
bool CMyRegKey::IsDebugShowMessageBox() {
  DWORD n = 0;
  return ReadNumber(L"_Debug_ShowMessageBox", &n) && n != 0;
}
bool CMyRegKey::GetDebugPulseInterval(DWORD* ms) {
  return ReadNumber(L"_Debug_PulseInterval", ms);
}
bool CMyRegKey::GetDebugInfoFileURL(std::wstring* url) {
  return ReadText(L"_Debug_InfoFileURL", url);
}
bool CMyRegKey::GetDebugSerial(std::wstring* serial) { return ReadText(L"_Debug_Serial", serial); }
