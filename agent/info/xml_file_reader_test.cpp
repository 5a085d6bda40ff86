#include "agent/info/xml_file_reader.h"

#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>

#include "common/framework/seam.h"
#include "common/net/http.h"
#include "tests/support/loopback_http.h"

namespace {

// A file in the temporary folder, removed again afterwards.
class TempFile {
 public:
  explicit TempFile(const std::string& utf8_content) {
    static int count = 0;
    wchar_t dir[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, dir);
    path_ = std::wstring(dir) + L"zu-xml-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
            std::to_wstring(++count) + L".xml";
    std::ofstream(path_.c_str(), std::ios::binary) << utf8_content;
  }
  ~TempFile() { ::DeleteFileW(path_.c_str()); }
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

using zu::test::LoopbackHttpServer;
using Reply = LoopbackHttpServer::Reply;

Reply Silent() {
  Reply r;
  r.silent = true;
  return r;
}
Reply Redirect(int status, const std::string& location) {
  Reply r = Reply::With(status, "");
  r.headers = "Location: " + location + "\r\n";
  return r;
}
Reply Announcing(long long length, std::string body) {
  Reply r = Reply::With(200, std::move(body));
  r.length = length;
  return r;
}
Reply Stalled(std::string body) {
  Reply r = Reply::With(200, std::move(body));
  r.stall = true;
  return r;
}

const char kDocument[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<info>\n"
    "  <group OS=\"Vista\">\n"
    "    <item id=\"1\">one</item>\n"
    "    <item id=\"2\">two<b>and</b>more</item>\n"
    "  </group>\n"
    "  <group>\n"
    "    <item>three</item>\n"
    "    <list spid=\"S1\"><entries>a,b</entries></list>\n"
    "    <bare>text<entries>x</entries></bare>\n"
    "    <name>Caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC</name>\n"
    "  </group>\n"
    "</info>\n";

std::wstring Text(CXmlFileReader& r) {
  std::wstring t;
  EXPECT_TRUE(r.ReadElementText(&t));
  return t;
}

template <typename E>
std::string LabelOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const E& e) {
    return e.what();
  }
  return "(nothing thrown)";
}

TEST(XmlFileReaderTest, WalksElementsInDocumentOrderAndNests) {
  TempFile file(kDocument);
  CXmlFileReader r;
  r.load(file.path());
  EXPECT_EQ(r.source(), file.path());

  ASSERT_TRUE(r.ReadStartElement(L"item"));
  EXPECT_EQ(Text(r), L"one");
  ASSERT_TRUE(r.NextElement());
  EXPECT_EQ(Text(r), L"twoandmore");  // text of the whole subtree
  ASSERT_TRUE(r.NextElement());
  EXPECT_EQ(Text(r), L"three");
  EXPECT_FALSE(r.NextElement());
  EXPECT_EQ(Text(r), L"three") << "a failed step stays where it was";
  r.popCurrentNode();

  // Inside the first group a search sees only its own items; two pops
  // bring the cursor back to the root, which searches everything again.
  ASSERT_TRUE(r.ReadStartElement(L"group"));
  ASSERT_TRUE(r.ReadStartElement(L"item"));
  ASSERT_TRUE(r.NextElement());
  EXPECT_FALSE(r.NextElement());
  EXPECT_FALSE(r.ReadStartElement(L"name"));
  EXPECT_EQ(Text(r), L"twoandmore") << "a failed search changes nothing";
  r.popCurrentNode();
  std::wstring t;
  EXPECT_TRUE(r.ReadAttributCString(L"OS", &t));
  EXPECT_EQ(t, L"Vista") << "back on the first group";
  r.popCurrentNode();
  EXPECT_FALSE(r.ReadElementText(&t)) << "the root is not an element";
  EXPECT_FALSE(r.TryPopCurrentNode());
  ASSERT_TRUE(r.ReadStartElement(L"name"));
  EXPECT_EQ(Text(r), L"Caf\u00E9 \u65E5\u672C");
}

TEST(XmlFileReaderTest, AttributesParentsAndChildren) {
  TempFile file(kDocument);
  CXmlFileReader r;
  r.load(file.path());
  std::wstring t;
  EXPECT_FALSE(r.ReadAttributCString(L"id", &t)) << "at the root";
  EXPECT_FALSE(r.ReadParentOS(&t));

  ASSERT_TRUE(r.ReadStartElement(L"item"));
  EXPECT_TRUE(r.ReadAttributCString(L"id", &t));
  EXPECT_EQ(t, L"1");
  t = L"stale";
  EXPECT_TRUE(r.ReadAttributCString(L"missing", &t));
  EXPECT_EQ(t, L"");
  EXPECT_TRUE(r.ReadParentOS(&t));
  EXPECT_EQ(t, L"Vista");
  EXPECT_FALSE(r.ReadFirstChildText(&t)) << "first child is a text node";
  ASSERT_TRUE(r.NextElement());
  ASSERT_TRUE(r.NextElement());
  t = L"stale";
  EXPECT_FALSE(r.ReadParentOS(&t)) << "the second group has no OS";
  EXPECT_EQ(t, L"");
  r.popCurrentNode();

  ASSERT_TRUE(r.ReadStartElement(L"list"));
  EXPECT_TRUE(r.ReadFirstChildText(&t));
  EXPECT_EQ(t, L"a,b");
  r.popCurrentNode();
  ASSERT_TRUE(r.ReadStartElement(L"bare"));
  EXPECT_FALSE(r.ReadFirstChildText(&t)) << "text comes before the element";
  r.popCurrentNode();
  ASSERT_TRUE(r.ReadStartElement(L"info"));
  t = L"stale";
  EXPECT_FALSE(r.ReadParentOS(&t)) << "the document element's parent is the document";
  EXPECT_EQ(t, L"");
}

TEST(XmlFileReaderTest, MisuseRaisesIllegalState) {
  CXmlFileReader r;
  std::wstring t;
  const std::pair<std::function<void()>, const char*> uses[] = {
      {[&] { r.ReadStartElement(L"a"); }, "CXmlFileReader::ReadStartElement"},
      {[&] { r.ReadElementText(&t); }, "CXmlFileReader::ReadAttributCString"},
      {[&] { r.ReadAttributCString(L"a", &t); }, "CXmlFileReader::ReadAttributCString"},
      {[&] { r.ReadParentOS(&t); }, "CXmlFileReader::ReadAttributCString"},
      {[&] { r.ReadFirstChildText(&t); }, "CXmlFileReader::ReadAttributCString"},
      {[&] { r.popCurrentNode(); }, "CXmlFileReader::popCurrentNode"},
  };
  for (const auto& [use, label] : uses) EXPECT_EQ(LabelOf<CIllegalStateException>(use), label);
  EXPECT_FALSE(r.NextElement());

  r.loadXml(L"<a><b/></a>");
  EXPECT_FALSE(r.ReadStartElement(L"c"));
  EXPECT_FALSE(r.TryPopCurrentNode()) << "a search that found nothing pushed nothing";

  // A failed reload must not leave reads going on in the earlier document.
  EXPECT_THROW(r.loadXml(L"<broken"), CAccessFileException);
  EXPECT_THROW(r.ReadStartElement(L"b"), CIllegalStateException);
}

TEST(XmlFileReaderTest, LoadFailuresRaiseAccessFile) {
  TempFile broken("<info><lastupdate>2008-03-07-10:00-JST</info>");
  TempFile empty("");
  for (const std::wstring& address : {broken.path(), empty.path(), broken.path() + L".missing",
                                      std::wstring(), std::wstring(L"zzz://nowhere/x.xml")}) {
    CXmlFileReader r;
    EXPECT_EQ(LabelOf<CAccessFileException>([&] { r.load(address); }), "CXmlFileReader::load")
        << address;
  }
  for (const wchar_t* text : {L"", L"<a>", L"<a></b>", L"not xml", L"<a/><b/>"}) {
    CXmlFileReader r;
    EXPECT_EQ(LabelOf<CAccessFileException>([&] { r.loadXml(text); }), "CXmlFileReader::loadXml")
        << text;
  }
}

TEST(XmlFileReaderTest, LoadsOverHttpOnlyWhatTheServerReallySent) {
  const std::string big = "<info>" + std::string(5000, 'x') + "</info>";
  LoopbackHttpServer server({
      {"/good.xml", Reply::With(200, "<info><lastupdate>2008-03-07-10:00-JST</lastupdate></info>")},
      // The parser, not the fetch, decides the encoding.
      {"/utf16.xml", Reply::With(200, std::string("\xFF\xFE<\0a\0>\0\xE9\0\xE5\x65<\0/\0a\0>\0", 20))},
      {"/broken.xml", Reply::With(200, "<info><lastupdate>")},
      // An error page that happens to be well-formed XML is still an error.
      {"/error.xml", Reply::With(500, "<info><urlauto>http://wrong/</urlauto></info>")},
      {"/empty.xml", Reply::With(200, "")},
      {"/big.xml", Reply::With(200, big)},
      {"/silent.xml", Silent()},
      {"/stalled.xml", Stalled(big)},
      // Cut off before the length it announced, though what came parses.
      {"/short.xml", Announcing(100, "<info/>")},
  });
  ASSERT_TRUE(server.ok());
  CXmlFileReader r;
  r.load(server.Url("/good.xml"));
  EXPECT_EQ(r.source(), server.Url("/good.xml"));
  ASSERT_TRUE(r.ReadStartElement(L"lastupdate"));
  EXPECT_EQ(Text(r), L"2008-03-07-10:00-JST");
  CXmlFileReader utf16;
  utf16.load(server.Url("/utf16.xml"));
  ASSERT_TRUE(utf16.ReadStartElement(L"a"));
  EXPECT_EQ(Text(utf16), L"\u00E9\u65E5");

  // Refused, and in bounded time: the limits are tight, the server slow.
  {
    zu::ScopedOverride tight(zu::seams::xml_http_limits, XmlHttpLimits{1000, 3000, 4096});
    for (const char* path : {"/missing.xml", "/broken.xml", "/error.xml", "/empty.xml",
                             "/big.xml", "/silent.xml", "/stalled.xml", "/short.xml"}) {
      CXmlFileReader failing;
      const ULONGLONG start = ::GetTickCount64();
      EXPECT_EQ(LabelOf<CAccessFileException>([&] { failing.load(server.Url(path)); }),
                "CXmlFileReader::load")
          << path;
      EXPECT_LT(::GetTickCount64() - start, 10000u) << path;
    }
  }
  zu::ScopedOverride roomier(zu::seams::xml_http_limits, XmlHttpLimits{1000, 3000, 8192});
  CXmlFileReader roomy;
  EXPECT_NO_THROW(roomy.load(server.Url("/big.xml")));
}

TEST(XmlFileReaderTest, FollowsRedirectsButNotALoop) {
  LoopbackHttpServer server({
      {"/good.xml", Reply::With(200, "<info><lastupdate>moved</lastupdate></info>")},
      {"/moved.xml", Redirect(301, "/good.xml")},
      {"/loop.xml", Redirect(302, "/loop.xml")},
  });
  CXmlFileReader moved;
  moved.load(server.Url("/moved.xml"));
  EXPECT_EQ(moved.source(), server.Url("/moved.xml")) << "the address asked for, not the last";
  ASSERT_TRUE(moved.ReadStartElement(L"lastupdate"));
  EXPECT_EQ(Text(moved), L"moved");

  // With the default limits: the redirect bound ends it, not a time-out.
  CXmlFileReader looping;
  const ULONGLONG start = ::GetTickCount64();
  EXPECT_EQ(LabelOf<CAccessFileException>([&] { looping.load(server.Url("/loop.xml")); }),
            "CXmlFileReader::load");
  EXPECT_LT(::GetTickCount64() - start, 10000u);
  size_t loops = 0;
  for (const auto& r : server.requests()) loops += r.path == "/loop.xml";
  EXPECT_EQ(size_t(zu::net::kMaxRedirects) + 1, loops);
}

TEST(XmlFileReaderTest, SaveReplacesAnOlderFile) {
  TempFile target("old contents that must go");
  {
    CXmlFileReader r;
    r.save(target.path());  // nothing loaded: nothing written
    r.loadXml(L"<info><urlauto>http://example.invalid/\u00E9</urlauto></info>");
    r.save(target.path());
  }
  CXmlFileReader again;
  again.load(target.path());
  ASSERT_TRUE(again.ReadStartElement(L"urlauto"));
  EXPECT_EQ(Text(again), L"http://example.invalid/\u00E9");
}

// S_OK means COM was not initialised on this thread before the call.
bool ComIsInitialized() {
  const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (SUCCEEDED(hr)) ::CoUninitialize();
  return hr != S_OK;
}

// Each case on a thread of its own, so that its COM state starts clean.
TEST(XmlFileReaderTest, UndoesOnlyItsOwnComInitialization) {
  std::thread([] {
    {
      CXmlFileReader r;
      r.loadXml(L"<a/>");
      r.loadXml(L"<b/>");  // a second load must not add a second initialisation
      EXPECT_TRUE(ComIsInitialized());
    }
    EXPECT_FALSE(ComIsInitialized()) << "the reader's own initialisation is undone";
  }).join();
  std::thread([] {
    ASSERT_EQ(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    { CXmlFileReader().loadXml(L"<a/>"); }
    EXPECT_TRUE(ComIsInitialized()) << "the caller's apartment stays";
    ::CoUninitialize();
  }).join();
  std::thread([] {
    ASSERT_EQ(::CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    {
      CXmlFileReader r;
      r.loadXml(L"<a><b>in the other apartment</b></a>");
      ASSERT_TRUE(r.ReadStartElement(L"b"));
      EXPECT_EQ(Text(r), L"in the other apartment");
    }
    const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(hr, S_FALSE) << "the multithreaded apartment is still there";
    if (SUCCEEDED(hr)) ::CoUninitialize();
    ::CoUninitialize();
  }).join();
}

}  // namespace
