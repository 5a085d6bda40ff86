#include "tests/support/page_run.h"

#include "tests/support/scripts.h"
#include "tools/uiauto/uiauto.h"

#include <algorithm>
#include <iterator>
#include <thread>

namespace zu::test {

namespace {
const char kPrelude[] = R"JS(
function check(ok, what) { if (!ok) host.Fail(what); }
)JS";
}  // namespace

RunResult RunPage(const std::wstring& address, const std::string& script, HANDLE token,
                  DWORD ms) {
  static LONG pages = 0;
  const std::wstring name = L"zu_page_" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
                            std::to_wstring(::InterlockedIncrement(&pages)) + L".js";
  return RunInPageHost(address, name, kPrelude + script, L"", token, ms);
}

void Person::Watch(const std::atomic<bool>& page_done) {
  while (!page_done) {
    for (HWND w : zu::ui::TopLevelWindows()) {
      if (!::IsWindowVisible(w) || zu::ui::DescribeWindow(w).class_name != L"#32770") continue;
      std::wstring caption = zu::ui::ReadWindowText(w);
      const auto same_caption = [&](const auto& answer) { return answer.first == caption; };
      const auto answer = std::find_if(answers_.begin(), answers_.end(), same_caption);
      if (answer != answers_.end()) {
        const std::wstring text = zu::ui::ReadMessageBoxText(w);
        if (text.empty()) continue;  // not on the screen yet
        boxes.push_back(caption + L": " + text);
        zu::ui::PressButton(w, answer->second);
        zu::ui::WaitForWindowGone(w, 5000);
        // A later answer for the caption takes over from this one.
        if (std::find_if(std::next(answer), answers_.end(), same_caption) != answers_.end())
          answers_.erase(answer);
      }
      if (caption.rfind(title_prefix_, 0) == 0 && (titles.empty() || titles.back() != caption)) {
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
