#include "tests/support/page_run.h"

#include "control/allow_list.h"
#include "tests/support/files.h"
#include "tests/support/text.h"
#include "tools/uiauto/uiauto.h"

#include <thread>

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

void Person::Watch(const std::atomic<bool>& page_done) {
  while (!page_done) {
    for (HWND w : zu::ui::TopLevelWindows()) {
      if (!::IsWindowVisible(w) || zu::ui::DescribeWindow(w).class_name != L"#32770") continue;
      std::wstring caption = zu::ui::ReadWindowText(w);
      for (const auto& [box, button] : answers_) {
        if (caption != box) continue;
        std::wstring text = zu::ui::ReadMessageBoxText(w);
        if (text.empty()) continue;  // not on the screen yet
        boxes.push_back(caption + L": " + text);
        zu::ui::PressButton(w, button);
        zu::ui::WaitForWindowGone(w, 5000);
      }
      if (caption.rfind(L"Downloading (", 0) == 0 && (titles.empty() || titles.back() != caption)) {
        titles.push_back(caption);
        if (on_title_) on_title_(w, caption);
      }
    }
    ::Sleep(20);
  }
}

RunResult RunPageWatched(const std::wstring& address, const std::string& script, Person* person,
                         HANDLE token, DWORD ms) {
  RunResult result;
  std::atomic<bool> done{false};
  std::thread page([&] {
    result = RunPage(address, script, token, ms);
    done = true;
  });
  if (person) person->Watch(done);
  page.join();
  return result;
}

}  // namespace zu::test
