// ZUPageHost.exe run as a test would run it, against Wine's own automation
// objects (the Scripting.Dictionary), with pages written to a temp folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/loopback_http.h"
#include "tests/support/files.h"
#include "tests/support/process.h"
#include "tests/support/scripts.h"

namespace {

constexpr wchar_t kDictionaryClassId[] = L"{EE09B103-97E0-11CF-978F-00A02463E06F}";

using HostRun = zu::test::RunResult;

HostRun RunPageHost(const std::wstring& arguments) {
  return zu::test::RunCaptured(zu::test::PageHost(), arguments);
}

// The dictionary is not safe for scripting; --allow-unsafe lets it in with this.
const std::string kControlWarning =
    "warning: the control {EE09B103-97E0-11CF-978F-00A02463E06F} is not marked safe for "
    "scripting\n";

class PageHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = zu::test::TempPath(L"zupagehost_test_" + std::to_wstring(::GetCurrentProcessId()));
    ::CreateDirectoryW(folder_.c_str(), nullptr);
  }
  void TearDown() override {
    for (const std::wstring& f : files_) ::DeleteFileW(f.c_str());
    ::RemoveDirectoryW(folder_.c_str());
  }
  // Writes UTF-8 text and answers the quoted path.
  std::wstring Page(const wchar_t* name, const std::string& text) {
    std::wstring path = folder_ + L"\\" + name;
    zu::test::WriteFileBytes(path, text);
    files_.push_back(path);
    return L"\"" + path + L"\"";
  }
  // A script run with the dictionary standing in for the control.
  HostRun Script(const std::string& text) {
    return RunPageHost(std::wstring(L"--allow-unsafe --clsid ") + kDictionaryClassId + L" " +
                       Page(L"script.js", text));
  }

 private:
  std::wstring folder_;
  std::vector<std::wstring> files_;
};

TEST_F(PageHostTest, BadArgumentsAndMissingPages) {
  HostRun r = RunPageHost(L"");
  EXPECT_EQ(r.code, 2u);
  EXPECT_NE(r.output.find("usage: ZUPageHost"), std::string::npos) << r.output;
  r = RunPageHost(L"C:\\no\\such\\page.htm");
  EXPECT_EQ(r.code, 2u);
  EXPECT_NE(r.output.find("cannot read"), std::string::npos) << r.output;
}

TEST_F(PageHostTest, ScriptEchoesAndCreatesObjects) {
  HostRun r = Script(
      "host.Echo('hello ' + typeof zuax);\n"
      "zuax.Add('k', 'from the item');\n"
      "var d = new ActiveXObject('Scripting.Dictionary');\n"
      "d.Add('a', 1); d.Add('b', 2);\n"
      "host.Echo(zuax.Item('k') + ', ' + d.Count);\n"
      "host.Echo('refresh ' + host.RefreshCount);\n"
      "host.Echo();\n");
  EXPECT_EQ(r.code, 0u) << r.output;
  EXPECT_EQ(r.output, kControlWarning + "hello object\nfrom the item, 2\nrefresh 0\n\n");
}

TEST_F(PageHostTest, FailPrintsAndSetsTheExitCode) {
  HostRun r = Script("host.Fail('requirement not met');\nhost.Echo('still running');\n");
  EXPECT_EQ(r.code, 1u);
  EXPECT_EQ(r.output, kControlWarning + "requirement not met\nstill running\n");
}

TEST_F(PageHostTest, ScriptErrorsCarryTheirLine) {
  HostRun r = Script("host.Echo('one');\n\nthrow new Error('boom');\nhost.Echo('never');\n");
  EXPECT_EQ(r.code, 1u);
  EXPECT_NE(r.output.find("one\n"), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("never"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("script.js(3): script error"), std::string::npos) << r.output;
}

TEST_F(PageHostTest, ScriptControlThatCannotBeCreated) {
  HostRun r = RunPageHost(L"--clsid {0BADC0DE-0000-4000-8000-000000000001} " +
                      Page(L"none.js", "host.Echo('ran');\n"));
  EXPECT_EQ(r.code, 1u);
  EXPECT_NE(r.output.find("cannot create the control {0BADC0DE"), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("ran"), std::string::npos) << r.output;
}

TEST_F(PageHostTest, PageRunsInDocumentOrder) {
  HostRun r = RunPageHost(L"--allow-unsafe " + Page(L"page.htm",
      "<!DOCTYPE html>\n"
      "<html><head><title>t</title></head><body>\n"
      "<script type=\"text/javascript\">host.Echo('1 ' + typeof dict);</script>\n"
      "<object id=\"dict\" classid=\"clsid:EE09B103-97E0-11CF-978F-00A02463E06F\"></object>\n"
      "<!-- <script>host.Echo('hidden');</script> -->\n"
      "<script type=\"text/javascript\">\n"
      "dict.Add('x', 'y');\n"
      "host.Echo('2 ' + dict.Item('x'));\n"
      "</script>\n"
      "<script type=\"text/javascript\">host.Echo('3 ' + dict.Count);</script>\n"
      "</body></html>\n"));
  EXPECT_EQ(r.code, 0u) << r.output;
  // --allow-unsafe lets the object in, but says so where it is created.
  EXPECT_EQ(r.output, "1 undefined\nwarning: object dict {EE09B103-97E0-11CF-978F-00A02463E06F}"
                      " is not marked safe for scripting\n2 y\n3 1\n");
}

TEST_F(PageHostTest, AnErrorInOneBlockFailsThePageButNotTheNextBlock) {
  HostRun r = RunPageHost(Page(L"errors.htm",
      "<html><body>\n"
      "<script type=\"text/javascript\">\n"
      "host.Echo('a');\n"
      "nothing();\n"
      "</script>\n"
      "<script type=\"text/javascript\">host.Echo('b');</script>\n"
      "</body></html>\n"));
  EXPECT_EQ(r.code, 1u);
  EXPECT_NE(r.output.find("a\n"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("b\n"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("errors.htm(4): script error"), std::string::npos) << r.output;
}

TEST_F(PageHostTest, BrokenPagesAndObjects) {
  HostRun r = RunPageHost(Page(L"broken.htm", "<html>\n<script>host.Echo('x');\n</html>\n"));
  EXPECT_EQ(r.code, 1u);
  EXPECT_NE(r.output.find("broken.htm(2): <script> without </script>"), std::string::npos)
      << r.output;
  EXPECT_EQ(r.output.find("x\n"), std::string::npos);
}

TEST_F(PageHostTest, ObjectsNotMarkedSafeAreRefusedAsABrowserWould) {
  HostRun r = RunPageHost(Page(L"unsafe.htm",
      "<script type=\"text/javascript\">host.Echo('before');</script>\n"
      "<object id=\"dict\" classid=\"clsid:EE09B103-97E0-11CF-978F-00A02463E06F\"></object>\n"
      "<script type=\"text/javascript\">host.Echo('after');</script>\n"));
  EXPECT_EQ(r.code, 1u);
  EXPECT_NE(r.output.find("before\n"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("object dict {EE09B103-97E0-11CF-978F-00A02463E06F} is not marked safe"),
            std::string::npos)
      << r.output;
  EXPECT_EQ(r.output.find("after"), std::string::npos) << r.output;
}

// The lab's browser: a page fetched from its address, written into, told
// its own address; then the window the user sees, until it is closed.
const char kServedPage[] =
    "<html><head><title>ZEFO &amp; Support</title></head><body>\n"
    "<object id=\"dict\" classid=\"clsid:EE09B103-97E0-11CF-978F-00A02463E06F\"></object>\n"
    "<script type=\"text/javascript\">\n"
    "document.write('<h1>Updates</h1><p>href ' + location.href + '</p>');\n"
    "document.writeln('<p>URL ' + document.URL + ' same ' + (document.location.href == location));\n"
    "document.write('<br>');\n"
    "document.write('<input type=checkbox checked> Touch pad', '<br>', 'title ' + document.title);\n"
    "</script></body></html>\n";

TEST_F(PageHostTest, AWebAddressIsFetchedAndRunWithItsAddress) {
  zu::test::LoopbackHttpServer server({{"/zefo/support.html?x=1", zu::test::LoopbackHttpServer::Reply::With(200, kServedPage)},
                                      {"/gone.html", zu::test::LoopbackHttpServer::Reply::With(404, "no")}});
  ASSERT_TRUE(server.ok());
  const std::wstring address = server.Url("/zefo/support.html?x=1");
  const std::string a(address.begin(), address.end());
  HostRun r = RunPageHost(L"--allow-unsafe --close-after-run " + address);
  EXPECT_EQ(r.code, 0u) << r.output;
  // (A line end written by writeln is white space in the page, as in a browser.)
  EXPECT_EQ(r.output, "warning: object dict {EE09B103-97E0-11CF-978F-00A02463E06F} is not marked "
                      "safe for scripting\nUpdates\nhref " + a + "\nURL " + a +
                          " same true\n[x] Touch pad\ntitle ZEFO & Support\n")
      << r.output;
  ASSERT_EQ(server.requests().size(), 1u);
  EXPECT_NE(server.requests()[0].user_agent.find("ZUPageHost"), std::string::npos);

  // What a browser cannot load is a failed run.
  r = RunPageHost(L"--close-after-run " + server.Url("/gone.html"));
  EXPECT_EQ(r.code, 1u);
  EXPECT_NE(r.output.find("answered HTTP 404"), std::string::npos) << r.output;
  server.Stop();
  r = RunPageHost(L"--close-after-run " + address);
  EXPECT_EQ(r.code, 1u);
  EXPECT_NE(r.output.find("no answer from"), std::string::npos) << r.output;
}

TEST_F(PageHostTest, TheBrowserWindowShowsThePageUntilItIsClosed) {
  zu::test::LoopbackHttpServer server(
      {{"/support.html", zu::test::LoopbackHttpServer::Reply::With(200, kServedPage)}});
  ASSERT_TRUE(server.ok());
  const zu::test::Process process = zu::test::Process::Start(
      zu::test::PageHost(), L"--allow-unsafe " + server.Url("/support.html"));
  ASSERT_TRUE(process);
  HWND window = nullptr;
  zu::test::WaitFor([&] {
    window = ::FindWindowW(L"ZUPageHost Window", L"ZEFO & Support - ZUPageHost");
    return window != nullptr;
  }, 60000);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(::IsWindowVisible(window));
  // The page ran to its end and still shows, until the user closes it.
  EXPECT_FALSE(process.WaitExit(500));
  HWND text = ::FindWindowExW(window, nullptr, L"EDIT", nullptr);
  ASSERT_NE(text, nullptr);
  wchar_t shown[1024] = {};
  ::SendMessageW(text, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(shown));
  const std::wstring address = server.Url("/support.html");
  EXPECT_EQ(std::wstring(shown), L"Updates\r\nhref " + address + L"\r\nURL " + address +
                                     L" same true\r\n[x] Touch pad\r\ntitle ZEFO & Support\r\n");
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  DWORD code = 99;
  ASSERT_TRUE(process.WaitExit(30000, &code));
  EXPECT_EQ(code, 0u);
}

}  // namespace
