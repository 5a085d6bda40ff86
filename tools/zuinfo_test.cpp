// zuinfo.exe as its users run it: a file in, one answer a line out.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/files.h"
#include "tests/support/process.h"

namespace {

std::wstring WriteTemp(const wchar_t* name, const std::string& xml) {
  const std::wstring path = zu::test::TempPath(name);
  zu::test::WriteFileBytes(path, xml);
  return path;
}

// Runs zuinfo with the arguments; its output and exit code.
std::string RunZuinfo(const std::wstring& args, DWORD* code) {
  const zu::test::RunResult r =
      zu::test::RunCaptured(zu::test::BinDir() + L"\\zuinfo.exe", args, 30000);
  *code = r.code.value_or(0xFFFFFFFF);
  return r.output;
}

const char kFile[] =
    "<?xml version=\"1.0\"?>\n<info>\n"
    " <common><lastupdate>2020-01-10-10:00-JST</lastupdate><urlmanual>http://m.example/</urlmanual>"
    "<interval>3</interval></common>\n"
    " <g OS=\"vista\"><urgentupdate>2020-01-09-00:00-GMT</urgentupdate>"
    "<urlauto>http://vista.example/</urlauto></g>\n"
    " <g OS=\"XP\"><urlauto>http://xp.example/</urlauto></g>\n"
    " <r><serial range=\"A100-A199\">a.xml</serial></r>\n"
    " <e><esdmodule spid=\"NEW1\"><list>OLD1,OLD2</list></esdmodule></e>\n"
    "</info>\n";

TEST(Zuinfo, AnswersForTheGivenPc) {
  const std::wstring file = WriteTemp(L"zuinfo-test.xml", kFile);
  DWORD code = 99;
  std::string out = RunZuinfo(L"\"" + file + L"\" --os Vista --lastvisit 2020-1-9-12:00 --serial A150"
                        L" --base http://base.example/ --installed OLD2", &code);
  EXPECT_EQ(0u, code);
  // The JST stamp is 01:00 UTC on the 10th, after the visit; the urgent one is not.
  EXPECT_EQ(
      "HasNewUpdate: true\nHasUrgentUpdate: false\nHasNewESDUpdate: false\n"
      "SupportPageAuto: http://vista.example/\nSupportPageManual: http://m.example/\n"
      "ESDInfoURL: (none)\nHasApplicableESDModule: true\n"
      "Redirect: http://base.example/a.xml\nInterval: 3\n",
      out);

  out = RunZuinfo(L"\"" + file + L"\" --os XP --lastvisit none --serial B1 --installed NEW1,OLD1", &code);
  EXPECT_EQ(0u, code);
  EXPECT_NE(std::string::npos, out.find("HasNewUpdate: true\n"));      // never visited
  EXPECT_NE(std::string::npos, out.find("SupportPageAuto: http://xp.example/\n"));
  EXPECT_NE(std::string::npos, out.find("HasApplicableESDModule: false\n"));  // already there
  EXPECT_NE(std::string::npos, out.find("Redirect: (none)\n"));
}

TEST(Zuinfo, RefusesBadFilesAndOptions) {
  DWORD code = 99;
  const std::wstring broken = WriteTemp(L"zuinfo-broken.xml", "<info><lastupdate>");
  std::string out = RunZuinfo(L"\"" + broken + L"\"", &code);
  EXPECT_EQ(2u, code);
  EXPECT_EQ(0u, out.rfind("error: CXmlFileReader::load", 0)) << out;

  out = RunZuinfo(L"C:\\no\\such\\file.xml", &code);
  EXPECT_EQ(2u, code);

  const std::wstring file = WriteTemp(L"zuinfo-test.xml", kFile);
  RunZuinfo(L"\"" + file + L"\" --os Linux", &code);
  EXPECT_EQ(1u, code);
  RunZuinfo(L"\"" + file + L"\" --lastvisit yesterday", &code);
  EXPECT_EQ(1u, code);
  RunZuinfo(L"\"" + file + L"\" --serial", &code);
  EXPECT_EQ(1u, code);
  RunZuinfo(L"", &code);
  EXPECT_EQ(1u, code);
}

}  // namespace
