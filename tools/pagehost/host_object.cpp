#include "tools/pagehost/host_object.h"

#include <oleauto.h>

#include "tools/pagehost/host_browser.h"

namespace {

void WriteLine(DWORD which, const std::wstring& text) {
  HANDLE out = ::GetStdHandle(which);
  if (!out || out == INVALID_HANDLE_VALUE) return;
  std::wstring line = text + L"\n";
  DWORD mode = 0, written = 0;
  if (::GetConsoleMode(out, &mode)) {
    ::WriteConsoleW(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    return;
  }
  int n = ::WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0,
                                nullptr, nullptr);
  if (n <= 0) return;
  std::string bytes(n, '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), bytes.data(), n,
                        nullptr, nullptr);
  ::WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  ::FlushFileBuffers(out);
}

// The first argument as text; no argument prints an empty line.
std::wstring ArgumentText(const DISPPARAMS& params) {
  if (params.cArgs == 0) return L"";
  // Arguments arrive last first.
  return VariantText(params.rgvarg[params.cArgs - 1]);
}

}  // namespace

void PrintLine(const std::wstring& text) { WriteLine(STD_OUTPUT_HANDLE, text); }
void PrintError(const std::wstring& text) { WriteLine(STD_ERROR_HANDLE, text); }

const CPageObject::Member* CHostObject::Members(size_t* count) const {
  static const Member kMembers[] = {{L"Echo", kEcho}, {L"Fail", kFail}, {L"RefreshCount", kRefreshCount}};
  *count = sizeof(kMembers) / sizeof(kMembers[0]);
  return kMembers;
}

HRESULT CHostObject::Call(DISPID id, WORD flags, const DISPPARAMS& params, VARIANT* result) {
  switch (id) {
    case kEcho:
    case kFail:
      if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
      if (params.cArgs > 1) return DISP_E_BADPARAMCOUNT;
      if (id == kFail) failed_ = true;
      PrintLine(ArgumentText(params));
      return S_OK;
    case kRefreshCount:
      if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
      if (params.cArgs != 0) return DISP_E_BADPARAMCOUNT;
      if (result) {
        V_VT(result) = VT_I4;
        V_I4(result) = browser_ ? browser_->refresh_count() : 0;
      }
      return S_OK;
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}
