#include "tests/support/page_run.h"

#include "control/allow_list.h"
#include "tests/support/files.h"
#include "tests/support/text.h"

namespace zu::test {

namespace {
const char kPrelude[] = R"JS(
function check(ok, what) { if (!ok) host.Fail(what); }
)JS";
}  // namespace

std::wstring AllowedPageAddress() {
  return L"http://" + std::wstring(kPageAllowList.exact_hosts[1]) + L"/zefo/update/index.html";
}

RunResult RunPage(const std::wstring& address, const std::string& script, HANDLE token,
                  DWORD ms) {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  static LONG pages = 0;
  const std::wstring path = std::wstring(temp) + L"zu_page_" +
                            std::to_wstring(::GetCurrentProcessId()) + L"_" +
                            std::to_wstring(::InterlockedIncrement(&pages)) + L".js";
  WriteFileBytes(path, kPrelude + script);
  RunResult r = RunCaptured(BinDir() + L"\\ZUPageHost.exe",
                                      L"--url \"" + address + L"\" \"" + path + L"\"", ms, token);
  ::DeleteFileW(path.c_str());
  return r;
}

std::string JsString(const std::wstring& text) {
  std::string out = "\"";
  for (char c : Utf8(text)) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

}  // namespace zu::test
