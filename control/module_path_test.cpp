#include "control/module_path.h"

#include <gtest/gtest.h>

namespace {

TEST(ModulePathTest, FolderIsTheFileNameUpToItsLastDot) {
  EXPECT_EQ(ModuleFinalPath(L"http://dl.example/patches/Tool_1.2.exe"),
            L"C:\\Update\\Tool_1.2\\Tool_1.2.exe");
  EXPECT_EQ(ModulePartialPath(L"http://dl.example/patches/Tool_1.2.exe"),
            L"C:\\Update\\Tool_1.2\\Tool_1.2.exeZU!");
  EXPECT_EQ(ModuleFolder(L"ftp://dl.example/a/b/Setup.msi"), L"C:\\Update\\Setup");
  // Only the text after the last "/" counts, whatever comes before it.
  EXPECT_EQ(ModuleFinalPath(L"x/y.z"), L"C:\\Update\\y\\y.z");
  EXPECT_EQ(ModuleFinalPath(L"http://dl.example/My Patch.exe"),
            L"C:\\Update\\My Patch\\My Patch.exe");
}

TEST(ModulePathTest, NoSlashOrNoDotMeansNoLocalPath) {
  EXPECT_EQ(ModuleFinalPath(L"Setup.exe"), L"");
  EXPECT_EQ(ModuleFinalPath(L"http://dl.example/patches/Setup"), L"");
  EXPECT_EQ(ModuleFinalPath(L"http://dl.example/patches/"), L"");
  EXPECT_EQ(ModuleFinalPath(L""), L"");
  EXPECT_EQ(ModulePartialPath(L"Setup.exe"), L"");
  EXPECT_EQ(ModuleFolder(L"http://dl.example/Setup"), L"");
}

TEST(ModulePathTest, NamesThatAreNoPlainFileNameHaveNoLocalPath) {
  for (const wchar_t* url : {
           L"http://x/..\\..\\Windows\\evil.exe", L"http://x/C:evil.exe", L"http://x/...",
           L"http://x/..exe", L"http://x/.exe", L"http://x/get.php?f=a.exe", L"http://x/a*.exe",
           L"http://x/a\tb.exe", L"http://x/a|b.exe", L"http://x/a\x7F\x01.exe",
           // ".." anywhere, trailing dots and blanks Windows would drop
           L"http://x/a..b.exe", L"http://x/setup.exe.", L"http://x/setup.exe ", L"http://x/a .exe",
           // devices, whatever extension and case
           L"http://x/CON.exe", L"http://x/nul.txt", L"http://x/Com1.msi", L"http://x/lpt9.exe",
           L"http://x/aux.tar.gz", L"http://x/PRN .exe", L"http://x/conout$.exe",
           L"http://x/COM\u00B9.exe"}) {
    EXPECT_EQ(ModuleFinalPath(url), L"") << url;
    EXPECT_EQ(ModulePartialPath(url), L"") << url;
    EXPECT_EQ(ModuleFolder(url), L"") << url;
  }
  // Near misses are ordinary names.
  for (const wchar_t* name : {L".hidden.exe", L"CONSOLE.exe", L"COM10.exe", L"LPT.exe",
                              L"a.b.c.exe", L"nul_driver.exe", L" lead.exe"}) {
    std::wstring url = std::wstring(L"http://x/") + name;
    EXPECT_NE(ModuleFinalPath(url), L"") << name;
  }
}

TEST(ModulePathTest, ThePartialPathMustFitMaxPath) {
  // "C:\Update\" (10) + base + "\" + name + "ZU!": 259 characters is the most.
  auto url_with_base = [](std::size_t n) { return L"http://x/" + std::wstring(n, L'a') + L".exe"; };
  const std::size_t fits = (259 - 10 - 1 - 4 - 3) / 2;  // base appears twice
  EXPECT_EQ(ModulePartialPath(url_with_base(fits)).size(), 258u);
  EXPECT_EQ(ModuleFinalPath(url_with_base(fits + 1)), L"");
}

}  // namespace
