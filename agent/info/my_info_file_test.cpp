#include "agent/info/my_info_file.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <utility>
#include <fstream>
#include <memory>
#include <string>

#include "agent/info/clock.h"
#include "agent/info/my_reg_key.h"
#include "agent/info/settings.h"
#include "agent/info/time_stamp.h"
#include "agent/info/xml_file_reader.h"
#include "common/installed_components.h"
#include "tests/support/loopback_http.h"
#include "tests/support/settings.h"
#include "tests/support/text.h"

namespace {

using zu::test::SetRegString;
using zu::test::Utf8;

// A zoned stamp of an instant as a server in that zone would write it.
std::wstring Zoned(int64_t utc, int offset_minutes, const wchar_t* zone) {
  const TimeStampFields f = FieldsFromWallSeconds(utc + int64_t{offset_minutes} * 60);
  wchar_t text[64];
  std::swprintf(text, 64, L"%d-%02d-%02d-%02d:%02d-%ls", f.year, f.month, f.day, f.hour,
                f.minute, zone);
  return text;
}

// Test entries in the installed-components database; the database is put
// back as it was, together with every key the test had to create.
class ComponentDatabase {
 public:
  ComponentDatabase() {
    const std::wstring app_db = std::wstring(kSharedInfoKey) + L"\\AppDB";
    const std::wstring patch_db = std::wstring(kSharedInfoKey) + L"\\PatchDB";
    SetRegString(HKEY_LOCAL_MACHINE, app_db + L"\\zu-infofile-test", L"appid", L"ZUTEST-APP");
    SetRegString(HKEY_LOCAL_MACHINE, app_db + L"\\zu-infofile-test\\PatchList\\p1", L"patchid",
                 L"ZUTEST-APPPATCH");
    SetRegString(HKEY_LOCAL_MACHINE, patch_db + L"\\ZUTEST-DONE", L"patchid", L"ZUTEST-DONE");
  }

 private:
  zu::test::KeySnapshot saved_{HKEY_LOCAL_MACHINE, kSharedInfoKey};
};

class InfoFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zu::test::ClearUserValues();
    settings_.MakeFolders();
    wchar_t dir[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, dir);
    path_ = std::wstring(dir) + L"zu-infofile-" + std::to_wstring(::GetCurrentProcessId()) +
            L".xml";
    ASSERT_TRUE(ReadClock(&now_, false));
    now_ -= now_ % 60;  // stamps hold minutes
  }
  void TearDown() override { ::DeleteFileW(path_.c_str()); }

  // A file loaded from the document, as a PC with the given OS tag sees it.
  std::unique_ptr<CMyInfoFile> Open(const std::wstring& xml, const wchar_t* os_tag = L"Vista") {
    std::ofstream(path_.c_str(), std::ios::binary) << Utf8(xml);
    auto file = std::make_unique<CMyInfoFile>(os_tag);
    file->Load(path_);
    return file;
  }
  void VisitedAt(int64_t utc) {
    ASSERT_TRUE(CMyRegKey().SetLastVisit(FormatTimeStamp(utc)));
  }
  static void SetBase(const wchar_t* base) {
    ::WritePrivateProfileStringW(L"Setting", L"InfoFileURLBase", base,
                                 GetSettingsFilePath().c_str());
  }

  zu::test::KeySnapshot user_{HKEY_CURRENT_USER, kAgentUserKey};
  zu::test::SettingsFileAside settings_;
  std::wstring path_;
  int64_t now_ = 0;
};

TEST_F(InfoFileTest, ChoosesElementsByTheirParentsOS) {
  const std::wstring xml =
      L"<info><a><urlauto>http://default-1/</urlauto></a>"
      L"<a OS='vista'><urlauto>http://vista-1/</urlauto></a>"
      L"<a OS='Vista'><urlauto>http://vista-2/</urlauto></a>"
      L"<a><urlauto>http://default-2/</urlauto></a>"
      L"<a OS='XP'><urlmanual>http://xp/</urlmanual></a>"
      L"<a OS=''><urlesdinfo>http://none/</urlesdinfo></a></info>";
  std::wstring url;
  auto vista = Open(xml, L"Vista");
  EXPECT_TRUE(vista->FindSupportPageURL(&url, true));
  EXPECT_EQ(url, L"http://vista-1/") << "first match, case ignored";
  EXPECT_FALSE(vista->FindSupportPageURL(&url, false)) << "only for XP";
  EXPECT_FALSE(vista->FindESDInfoURL(&url));
  EXPECT_TRUE(vista->FindSupportPageURL(&url, true)) << "each question starts afresh";

  auto xp = Open(xml, L"XP");
  EXPECT_TRUE(xp->FindSupportPageURL(&url, true));
  EXPECT_EQ(url, L"http://default-2/") << "last default";
  EXPECT_TRUE(Open(xml, L"")->FindESDInfoURL(&url));
  EXPECT_EQ(url, L"http://none/") << "an empty tag matches an empty OS";
}

TEST_F(InfoFileTest, AddressesAreWebAddressesOrEmpty) {
  struct Case {
    const char* what;
    std::wstring element;  // inside <i>
    const wchar_t* found;  // null: none
  } const cases[] = {
      {"a web address", L"<X>https://support/p</X>", L"https://support/p"},
      {"any case of the scheme", L"<X>HTTP://support/</X>", L"HTTP://support/"},
      {"an empty element is found, empty", L"<X></X>", L""},
      {"a file", L"<X>file:///C:/Windows/notepad.exe</X>", nullptr},
      {"a program", L"<X>C:\\Windows\\notepad.exe</X>", nullptr},
      {"a share", L"<X>\\\\server\\share\\page.htm</X>", nullptr},
      {"script", L"<X>javascript:alert(1)</X>", nullptr},
      {"one slash", L"<X>http:/support/</X>", nullptr},
      {"no element", L"<Y>http://support/</Y>", nullptr},
      {"the applicable element decides, not a default",
       L"<X>http://default/</X><v OS='Vista'><X>ftp://support/</X></v>", nullptr},
      {"an empty specific element beats a default",
       L"<X>http://default/</X><v OS='Vista'><X/></v>", L""},
  };
  for (const wchar_t* tag : {L"urlauto", L"urlmanual", L"urlesdinfo"}) {
    for (const Case& c : cases) {
      std::wstring element = c.element;
      for (size_t at; (at = element.find(L"X>")) != std::wstring::npos;)
        element.replace(at, 1, tag);
      for (size_t at; (at = element.find(L"X/>")) != std::wstring::npos;)
        element.replace(at, 1, tag);
      auto file = Open(L"<i>" + element + L"</i>");
      std::wstring url = L"untouched";
      const bool found = std::wstring(tag) == L"urlesdinfo"
                             ? file->FindESDInfoURL(&url)
                             : file->FindSupportPageURL(&url, std::wstring(tag) == L"urlauto");
      EXPECT_EQ(found, c.found != nullptr) << Utf8(tag) << ": " << c.what;
      EXPECT_EQ(url, c.found ? c.found : L"untouched") << Utf8(tag) << ": " << c.what;
    }
  }
}

TEST_F(InfoFileTest, PublicationDatesAgainstLastVisit) {
  const std::wstring later = Zoned(now_ + 86400, 0, L"GMT");
  const std::wstring earlier = Zoned(now_ - 86400, 0, L"GMT");
  auto file = Open(L"<info><v OS='Vista'><lastupdate>" + later + L"</lastupdate></v>"
                   L"<lastupdate>" + earlier + L"</lastupdate>"
                   L"<urgentupdate></urgentupdate>"
                   L"<esdlastupdate>2008-13-40-99:99-GMT</esdlastupdate></info>");
  auto urgent = Open(L"<i><urgentupdate>" + later + L"</urgentupdate>"
                     L"<x OS='XP'><esdlastupdate>" + later + L"</esdlastupdate></x></i>");
  auto empty = Open(L"<info><x/></info>");

  // Never visited: any existing element reports, even an empty or
  // malformed one, or one for another system.
  EXPECT_TRUE(file->HasNewUpdate());
  EXPECT_TRUE(file->HasUrgentUpdate());
  EXPECT_TRUE(file->HasNewESDUpdate());
  EXPECT_TRUE(urgent->HasNewESDUpdate());
  EXPECT_FALSE(empty->HasNewUpdate());
  EXPECT_FALSE(empty->HasUrgentUpdate());
  EXPECT_FALSE(empty->HasNewESDUpdate());

  VisitedAt(now_);
  EXPECT_TRUE(file->HasNewUpdate()) << "the Vista stamp is a day later";
  EXPECT_FALSE(file->HasUrgentUpdate()) << "empty";
  EXPECT_FALSE(file->HasNewESDUpdate()) << "a malformed stamp is never new";
  EXPECT_TRUE(urgent->HasUrgentUpdate());
  EXPECT_FALSE(urgent->HasNewESDUpdate()) << "nothing for Vista";
  EXPECT_FALSE(Open(L"<i><lastupdate>" + earlier + L"</lastupdate></i>")->HasNewUpdate());
}

TEST_F(InfoFileTest, StampsAreReadWithTheirZone) {
  VisitedAt(now_);
  // Ten minutes either side of the visit in the zone's wall clock: only the
  // zone's offset, half hour included, puts them on the right side.
  for (const auto& [offset_minutes, zone] : {std::pair{540, L"JST"}, std::pair{330, L"IST"}}) {
    EXPECT_TRUE(Open(L"<i><lastupdate>" + Zoned(now_ + 600, offset_minutes, zone) +
                     L"</lastupdate></i>")->HasNewUpdate()) << zone;
    EXPECT_FALSE(Open(L"<i><lastupdate>" + Zoned(now_ - 600, offset_minutes, zone) +
                      L"</lastupdate></i>")->HasNewUpdate()) << zone;
  }
}

TEST_F(InfoFileTest, SerialRangeRedirects) {
  SetBase(L"http://server/info/");
  zu::test::SetUserString(L"_Debug_Serial", L"B777");
  std::wstring url = L"untouched";
  struct Case {
    const char* what;
    std::wstring xml;
    const wchar_t* url;  // null: no redirect
  } const cases[] = {
      {"no serial elements", L"<i><x/></i>", nullptr},
      {"no range redirects every PC", L"<i><serial>all.xml</serial></i>",
       L"http://server/info/all.xml"},
      {"specific match beats an earlier default",
       L"<i><serial range='B-'>d.xml</serial><v OS='VISTA'><serial range='B777'>v.xml</serial></v>"
       L"<serial range='B-'>d2.xml</serial></i>",
       L"http://server/info/v.xml"},
      {"last matching default",
       L"<i><serial range='B-'>d1.xml</serial><serial range='C-'>no.xml</serial>"
       L"<serial range='A-'>d2.xml</serial><x OS='XP'><serial>xp.xml</serial></x></i>",
       L"http://server/info/d2.xml"},
      {"other systems only", L"<i><x OS='XP'><serial>xp.xml</serial></x></i>", nullptr},
  };
  for (const Case& c : cases) {
    auto file = Open(c.xml);
    url = L"untouched";
    EXPECT_EQ(file->FindRedirectURL(&url), c.url != nullptr) << c.what;
    EXPECT_EQ(url, c.url ? c.url : L"untouched") << c.what;
  }

  // The debug serial decides: without it B777 no longer matches "B-".
  zu::test::SetUserString(L"_Debug_Serial", L"A150");
  auto file = Open(L"<i><serial range='B-'>b.xml</serial>"
                   L"<serial range='A100-A199'>a.xml</serial></i>");
  EXPECT_TRUE(file->FindRedirectURL(&url));
  EXPECT_EQ(url, L"http://server/info/a.xml");

  // Every user may write the base: a redirect that is no web address is none.
  for (const wchar_t* base : {L"C:\\info\\", L"file:///C:/info/", L"\\\\server\\info\\", L""}) {
    SetBase(base);
    url = L"untouched";
    EXPECT_FALSE(Open(L"<i><serial>a.xml</serial></i>")->FindRedirectURL(&url)) << Utf8(base);
    EXPECT_EQ(url, L"untouched");
  }
}

TEST_F(InfoFileTest, RedirectToItselfIsNotFollowed) {
  const std::string xml = "<i><serial>self.xml</serial><serial range='Z-'>other.xml</serial></i>";
  zu::test::LoopbackHttpServer server(
      {{"/info/self.xml", zu::test::LoopbackHttpServer::Reply::With(200, xml)}});
  ASSERT_TRUE(server.ok());
  SetBase(server.Url("/info/").c_str());
  zu::test::SetUserString(L"_Debug_Serial", L"A1");
  CMyInfoFile file(L"Vista");
  file.Load(server.Url("/info/self.xml"));
  std::wstring url;
  EXPECT_FALSE(file.FindRedirectURL(&url));
  // The same file loaded from elsewhere redirects there.
  zu::test::SetUserString(L"_Debug_Serial", L"Z1");
  EXPECT_TRUE(file.FindRedirectURL(&url));
  EXPECT_EQ(url, server.Url("/info/other.xml"));
}

TEST_F(InfoFileTest, DownloadableModules) {
  ComponentDatabase db;
  ASSERT_TRUE(IsComponentInstalled(L"ZUTEST-APP"));
  struct Case {
    const char* what;
    std::wstring modules;
    bool applies;
  } const cases[] = {
      {"none", L"", false},
      {"builds on an installed app", L"<esdmodule spid='NEW'><l>X,ZUTEST-APP</l></esdmodule>",
       true},
      {"without spid, on a patch", L"<esdmodule><l>ZUTEST-APPPATCH</l></esdmodule>", true},
      {"already installed", L"<esdmodule spid='zutest-done'><l>ZUTEST-APP</l></esdmodule>",
       false},
      {"no child element", L"<esdmodule spid='NEW'>ZUTEST-APP</esdmodule>", false},
      {"other system", L"<x OS='XP'><esdmodule spid='NEW'><l>ZUTEST-APP</l></esdmodule></x>",
       false},
      {"the second one applies",
       L"<esdmodule spid='ZUTEST-DONE'><l>ZUTEST-APP</l></esdmodule>"
       L"<x OS='vista'><esdmodule spid='NEW'><l>ZUTEST-APP</l></esdmodule></x>",
       true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Open(L"<i>" + c.modules + L"</i>")->HasApplicableESDModule(), c.applies) << c.what;
}

TEST_F(InfoFileTest, UpdateSettingsStoresPagesAndInterval) {
  CMyRegKey key;
  std::wstring url;
  auto file = Open(L"<i><urlauto>http://auto/</urlauto><urlmanual>http://manual/</urlmanual>"
                   L"<v OS='Vista'><interval>7</interval></v><interval>3</interval></i>");
  EXPECT_EQ(file->UpdateSettingsFromFile(), 7);
  EXPECT_EQ(ReadInterval(), L"7");
  EXPECT_TRUE(key.GetSupportPageURL(&url, true));
  EXPECT_EQ(url, L"http://auto/");
  EXPECT_TRUE(key.GetSupportPageURL(&url, false));
  EXPECT_EQ(url, L"http://manual/");

  // An empty element is a found, empty address: the stored page goes.
  // A page the file does not name, or names with another scheme, stays.
  EXPECT_EQ(Open(L"<i><urlauto></urlauto><urlmanual>file:///C:/Windows/notepad.exe</urlmanual>"
                 L"<interval>14 days</interval></i>")
                ->UpdateSettingsFromFile(),
            14);
  EXPECT_EQ(ReadInterval(), L"14 days");
  EXPECT_FALSE(key.GetSupportPageURL(&url, true));
  EXPECT_TRUE(key.GetSupportPageURL(&url, false));
  EXPECT_EQ(url, L"http://manual/");

  // No usable number: nothing written, the interval in force stays.
  EXPECT_EQ(Open(L"<i><interval>weekly</interval></i>")->UpdateSettingsFromFile(), -1);
  EXPECT_EQ(ReadInterval(), L"14 days");

  // No interval for this system: the computed default.
  for (const wchar_t* xml : {L"<i/>", L"<i><interval></interval></i>",
                             L"<i><x OS='XP'><interval>5</interval></x></i>"}) {
    const int days = Open(xml)->UpdateSettingsFromFile();
    EXPECT_EQ(days, ComputeDefaultInterval()) << xml;
    EXPECT_EQ(ReadInterval(), std::to_wstring(days)) << xml;
  }
}

TEST_F(InfoFileTest, LoadCloseAndMisuse) {
  CMyInfoFile never(L"Vista");
  std::wstring url;
  EXPECT_THROW(never.HasNewUpdate(), CIllegalStateException);

  auto file = Open(L"<i><urlauto>http://first/</urlauto></i>");
  EXPECT_EQ(file->source(), path_);
  std::ofstream(path_.c_str(), std::ios::binary) << "<i><urlauto>http://second/</urlauto></i>";
  file->Load(path_);
  EXPECT_TRUE(file->FindSupportPageURL(&url, true));
  EXPECT_EQ(url, L"http://second/") << "a second load replaces the document";

  std::ofstream(path_.c_str(), std::ios::binary) << "<i><urlauto>";
  EXPECT_THROW(file->Load(path_), CAccessFileException);
  EXPECT_THROW(file->FindSupportPageURL(&url, true), CIllegalStateException)
      << "a failed load leaves no document behind";

  auto closed = Open(L"<i/>");
  closed->Close();
  EXPECT_THROW(closed->HasUrgentUpdate(), CIllegalStateException);
}

TEST_F(InfoFileTest, SaveCopyBesideTheExecutable) {
  wchar_t exe[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring copy = exe;
  copy = copy.substr(0, copy.rfind(L'\\')) + L"\\info.xml";
  zu::test::FileAside aside(copy);
  std::ofstream(copy.c_str(), std::ios::binary) << "an older copy";

  auto file = Open(L"<i><urlauto>http://saved/\u00E9</urlauto></i>");
  file->SaveCopy();
  CMyInfoFile saved(L"Vista");
  saved.Load(copy);
  std::wstring url;
  EXPECT_TRUE(saved.FindSupportPageURL(&url, true));
  EXPECT_EQ(url, L"http://saved/\u00E9");
}

}  // namespace
