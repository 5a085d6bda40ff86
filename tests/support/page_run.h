#pragma once
// A support page run by ZUPageHost.exe: JScript that calls the control as
// `zuax`, with check(ok, what) failing the run and host.Echo printing.
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/scripts.h"

namespace zu::test {

// Exit code 0 when every check held; under token when given.
RunResult RunPage(const std::wstring& address, const std::string& script,
                  HANDLE token = nullptr, DWORD ms = 300000);

// The dialogs of a page's run as a person sees them: the download titles
// (the page's text 300 "Downloading " with the counter) in the order they
// were shown, and the message boxes answered on the way.
class Person {
 public:
  // Answers each message box with this caption with the button, as often
  // as it comes; answers given again for a caption are used in turn, the
  // last as often as it comes.
  void Answer(const std::wstring& caption, const std::wstring& button) {
    answers_.push_back({caption, button});
  }
  // Titles that start so are the download dialog's ("Downloading (" unless
  // set).
  void WatchTitles(std::wstring prefix) { title_prefix_ = std::move(prefix); }
  // Called with each new title of the download dialog.
  void OnTitle(std::function<void(HWND, const std::wstring&)> f) { on_title_ = std::move(f); }
  // Watches and answers until page_done.
  void Watch(const std::atomic<bool>& page_done);

  std::vector<std::wstring> titles;
  std::vector<std::wstring> boxes;  // "caption: text"

 private:
  std::vector<std::pair<std::wstring, std::wstring>> answers_;
  std::function<void(HWND, const std::wstring&)> on_title_;
  std::wstring title_prefix_ = L"Downloading (";
};

// RunPage while a person watches the screen.
RunResult RunPageWatched(const std::wstring& address, const std::string& script, Person* person,
                         HANDLE token = nullptr, DWORD ms = 300000);

}  // namespace zu::test
