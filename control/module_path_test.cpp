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

TEST(ModulePathTest, NamesThatWouldLeaveTheUpdateFolderHaveNoLocalPath) {
  for (const wchar_t* url : {L"http://x/..\\..\\Windows\\evil.exe", L"http://x/C:evil.exe",
                             L"http://x/...", L"http://x/..exe", L"http://x/.exe",
                             L"http://x/get.php?f=a.exe", L"http://x/a*.exe",
                             L"http://x/a\tb.exe", L"http://x/a|b.exe"}) {
    EXPECT_EQ(ModuleFinalPath(url), L"") << url;
    EXPECT_EQ(ModuleFolder(url), L"") << url;
  }
  // Dots inside a base are ordinary.
  EXPECT_EQ(ModuleFinalPath(L"http://x/.hidden.exe"), L"C:\\Update\\.hidden\\.hidden.exe");
}

}  // namespace
