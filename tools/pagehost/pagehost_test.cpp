// ZUPageHost.exe run as a test would run it, against Wine's own automation
// objects (the Scripting.Dictionary), with pages written to a temp folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/files.h"
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

}  // namespace
