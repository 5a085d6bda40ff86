// zuinfo.exe as its users run it: a file in, one answer a line out.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "common/framework/handle.h"

namespace {

std::wstring Here() {
  wchar_t path[MAX_PATH];
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p(path);
  return p.substr(0, p.find_last_of(L'\\'));
}

std::wstring WriteTemp(const wchar_t* name, const std::string& xml) {
  wchar_t dir[MAX_PATH];
  ::GetTempPathW(MAX_PATH, dir);
  std::wstring path = std::wstring(dir) + name;
  zu::UniqueFile f(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD n = 0;
  ::WriteFile(f.get(), xml.data(), static_cast<DWORD>(xml.size()), &n, nullptr);
  return path;
}

// Runs zuinfo with the arguments; its standard output and exit code.
std::string RunZuinfo(const std::wstring& args, DWORD* code) {
  SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
  HANDLE read = nullptr, write = nullptr;
  ::CreatePipe(&read, &write, &sa, 0);
  ::SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  zu::UniqueHandle r(read), w(write);
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = w.get();
  si.hStdError = w.get();
  si.hStdInput = nullptr;
  PROCESS_INFORMATION pi{};
  std::wstring exe = Here() + L"\\zuinfo.exe";
  std::wstring cmd = L"\"" + exe + L"\" " + args;
  if (!::CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                        &pi))
    return "cannot start";
  zu::UniqueHandle process(pi.hProcess), thread(pi.hThread);
  w.reset();
  std::string out;
  char buf[4096];
  DWORD n = 0;
  while (::ReadFile(r.get(), buf, sizeof(buf), &n, nullptr) && n > 0) out.append(buf, n);
  ::WaitForSingleObject(process.get(), 30000);
  ::GetExitCodeProcess(process.get(), code);
  out.erase(std::remove(out.begin(), out.end(), '\r'), out.end());
  return out;
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
