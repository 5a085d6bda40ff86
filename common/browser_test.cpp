#include "common/browser.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <optional>

#include "tests/support/files.h"
#include "tests/support/registry.h"
#include "tests/support/text.h"

namespace {

using zu::test::BinDir;
using zu::test::KeySnapshot;
using zu::test::ReadFileBytes;
using zu::test::Utf16;

TEST(PlanBrowserLaunch, LocationDecidesBetweenBrowserAndShell) {
  const std::wstring page = L"http://support.example/page?a=1&b=2";
  EXPECT_EQ((BrowserLaunch{page, L""}), PlanBrowserLaunch(L"", std::nullopt, page));
  EXPECT_EQ((BrowserLaunch{L"C:\\IE\\iexplore.exe", page}),
            PlanBrowserLaunch(L"C:\\IE\\iexplore.exe", std::nullopt, page));
}

TEST(PlanBrowserLaunch, ExpandsOnlyAnExactLeadingMacro) {
  const std::wstring page = L"http://p/";
  EXPECT_EQ((BrowserLaunch{L"C:\\PF\\IE\\C:\\PF.exe", page}),
            PlanBrowserLaunch(L"%ProgramFiles%\\IE\\%ProgramFiles%.exe", L"C:\\PF", page));
  // An expansion holding the macro itself is not expanded again.
  EXPECT_EQ((BrowserLaunch{L"X%ProgramFiles%\\ie.exe", page}),
            PlanBrowserLaunch(L"%ProgramFiles%\\ie.exe", L"X%ProgramFiles%", page));
  // Other spellings and positions stand as they are, later ones included.
  for (const wchar_t* location : {L"%programfiles%\\IE\\iexplore.exe",
                                  L"%PROGRAMFILES%\\iexplore.exe", L"C:\\%ProgramFiles%\\ie.exe",
                                  L"%ProgramFiles\\ie.exe", L"%programfiles%\\%ProgramFiles%"}) {
    EXPECT_FALSE(StartsWithProgramFilesMacro(location)) << location;
    EXPECT_EQ((BrowserLaunch{location, page}), PlanBrowserLaunch(location, L"C:\\PF", page))
        << location;
  }
}

TEST(PlanBrowserLaunch, UnexpandableLocationLeavesThePageToTheShell) {
  EXPECT_EQ((BrowserLaunch{L"http://p/", L""}),
            PlanBrowserLaunch(L"%ProgramFiles%\\IE\\iexplore.exe", std::nullopt, L"http://p/"));
}

// ---- End to end: the browser is the recorder program, which writes its
// command line to the file named by ZU_RECORD_FILE.

std::wstring TempDir() {
  wchar_t path[MAX_PATH];
  DWORD n = ::GetTempPathW(MAX_PATH, path);
  return std::wstring(path, n) + L"zu-browser-test";
}

std::optional<std::wstring> GetEnv(const wchar_t* name) {
  DWORD n = ::GetEnvironmentVariableW(name, nullptr, 0);
  if (n == 0) return std::nullopt;
  std::wstring v(n, L'\0');
  v.resize(::GetEnvironmentVariableW(name, v.data(), n));
  return v;
}

void SetEnv(const wchar_t* name, const std::optional<std::wstring>& v) {
  ::SetEnvironmentVariableW(name, v ? v->c_str() : nullptr);
}

void SetDefaultValue(HKEY root, const std::wstring& subkey, const std::wstring& text) {
  ASSERT_TRUE(zu::test::SetRegString(root, subkey, L"", text));
}

class OpenInBrowserTest : public ::testing::Test {
 protected:
  const std::wstring recorder_ = BinDir() + L"\\zurecord.exe";
  const std::wstring dir_ = TempDir();
  const std::wstring record_ = dir_ + L"\\record.txt";

  void SetUp() override {
    ::CreateDirectoryW(dir_.c_str(), nullptr);
    ::DeleteFileW(record_.c_str());
    ::SetEnvironmentVariableW(L"ZU_RECORD_FILE", record_.c_str());
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(recorder_.c_str()));
  }
  void TearDown() override {
    ::SetEnvironmentVariableW(L"ZU_RECORD_FILE", nullptr);
    SetEnv(L"ProgramFiles", program_files_);
    ::SetCurrentDirectoryW(BinDir().c_str());
  }

  // The first command line the recorder wrote, or empty after a while.
  std::wstring WaitForRecord() {
    for (int i = 0; i < 300; ++i) {
      std::wstring text = Utf16(ReadFileBytes(record_));
      size_t end = text.find(L'\n');
      if (end != std::wstring::npos) return text.substr(0, end);
      ::Sleep(50);
    }
    return L"";
  }
  // Gives the shell's default handler something to show: documents of a
  // test type open in the recorder.
  std::wstring MakeDocument() {
    SetDefaultValue(HKEY_LOCAL_MACHINE, kClasses + L"\\.zubrowsertest", L"ZUBrowserTest.Page");
    SetDefaultValue(HKEY_LOCAL_MACHINE, kClasses + L"\\ZUBrowserTest.Page\\shell\\open\\command",
                    L"\"" + recorder_ + L"\" --document \"%1\"");
    std::wstring doc = dir_ + L"\\page.zubrowsertest";
    std::ofstream(doc.c_str()) << "page";
    return doc;
  }

  // Wine's shell reads the machine-wide classes only.
  const std::wstring kClasses = L"Software\\Classes";
  KeySnapshot app_path_{HKEY_LOCAL_MACHINE, kBrowserAppPathKey};
  KeySnapshot type_{HKEY_LOCAL_MACHINE, kClasses + L"\\.zubrowsertest"};
  KeySnapshot prog_id_{HKEY_LOCAL_MACHINE, kClasses + L"\\ZUBrowserTest.Page"};
  std::optional<std::wstring> program_files_ = GetEnv(L"ProgramFiles");
};

TEST_F(OpenInBrowserTest, RegisteredBrowserGetsTheAddressAsItsCommandLine) {
  SetDefaultValue(HKEY_LOCAL_MACHINE, kBrowserAppPathKey, recorder_);
  OpenInBrowser(L"http://support.example/zefo?model=A&x=1");
  std::wstring line = WaitForRecord();
  EXPECT_NE(std::wstring::npos, line.find(L"zurecord.exe")) << line;
  EXPECT_TRUE(line.ends_with(L" http://support.example/zefo?model=A&x=1")) << line;
}

TEST_F(OpenInBrowserTest, ProgramFilesPrefixIsExpandedFromTheEnvironment) {
  SetEnv(L"ProgramFiles", BinDir());
  SetDefaultValue(HKEY_LOCAL_MACHINE, kBrowserAppPathKey, L"%ProgramFiles%\\zurecord.exe");
  OpenInBrowser(L"http://support.example/");
  std::wstring line = WaitForRecord();
  EXPECT_NE(std::wstring::npos, line.find(L"zurecord.exe")) << line;
  EXPECT_TRUE(line.ends_with(L" http://support.example/")) << line;
}

TEST_F(OpenInBrowserTest, LowerCaseMacroIsStartedAsWritten) {
  // The shell expands variables in any case itself, so the variable is
  // unset here and a folder literally named "%programfiles%" below the
  // current directory holds the browser.
  std::wstring literal = dir_ + L"\\%programfiles%";
  ::CreateDirectoryW(literal.c_str(), nullptr);
  std::wstring copy = literal + L"\\zurecord.exe";
  ASSERT_TRUE(::CopyFileW(recorder_.c_str(), copy.c_str(), FALSE));
  ::SetCurrentDirectoryW(dir_.c_str());
  SetEnv(L"ProgramFiles", std::nullopt);
  SetDefaultValue(HKEY_LOCAL_MACHINE, kBrowserAppPathKey, L"%programfiles%\\zurecord.exe");
  OpenInBrowser(L"http://support.example/lower");
  std::wstring line = WaitForRecord();
  EXPECT_NE(std::wstring::npos, line.find(L"%programfiles%\\zurecord.exe")) << line;
  EXPECT_TRUE(line.ends_with(L" http://support.example/lower")) << line;
  ::DeleteFileW(copy.c_str());
  ::RemoveDirectoryW(literal.c_str());
}

TEST_F(OpenInBrowserTest, WithoutABrowserTheShellOpensTheAddress) {
  std::wstring doc = MakeDocument();
  app_path_.Clear();
  OpenInBrowser(doc);
  std::wstring line = WaitForRecord();
  EXPECT_NE(std::wstring::npos, line.find(L"--document")) << line;
  EXPECT_NE(std::wstring::npos, line.find(L"page.zubrowsertest")) << line;
}

TEST_F(OpenInBrowserTest, EmptyOrUnusableLocationFallsBackToTheShell) {
  std::wstring doc = MakeDocument();
  SetDefaultValue(HKEY_LOCAL_MACHINE, kBrowserAppPathKey, L"");
  OpenInBrowser(doc);
  EXPECT_NE(std::wstring::npos, WaitForRecord().find(L"--document"));

  // An expansion longer than its buffer is never cut into a wrong path.
  ::DeleteFileW(record_.c_str());
  SetEnv(L"ProgramFiles", L"C:\\" + std::wstring(kProgramFilesBufferChars, L'p'));
  SetDefaultValue(HKEY_LOCAL_MACHINE, kBrowserAppPathKey, L"%ProgramFiles%\\zurecord.exe");
  OpenInBrowser(doc);
  EXPECT_NE(std::wstring::npos, WaitForRecord().find(L"--document"));

  // Nor is a location started while its macro has no value.
  ::DeleteFileW(record_.c_str());
  SetEnv(L"ProgramFiles", std::nullopt);
  OpenInBrowser(doc);
  EXPECT_NE(std::wstring::npos, WaitForRecord().find(L"--document"));
}

}  // namespace
