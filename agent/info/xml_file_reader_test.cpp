#include "agent/info/xml_file_reader.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace {

// A file in the temporary folder, removed again afterwards.
class TempFile {
 public:
  explicit TempFile(const std::string& utf8_content, const wchar_t* ext = L".xml") {
    static int count = 0;
    wchar_t dir[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, dir);
    path_ = std::wstring(dir) + L"zu-xml-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
            std::to_wstring(++count) + ext;
    std::ofstream(path_.c_str(), std::ios::binary) << utf8_content;
  }
  ~TempFile() { ::DeleteFileW(path_.c_str()); }
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

// A tiny HTTP server on the loopback interface, on its own thread. Each
// connection gets one answer from the table, or none at all for a silent
// path (held open until the server stops).
class LoopbackHttpServer {
 public:
  struct Reply {
    int status = 200;
    std::string body;
    bool silent = false;       // never answers
    bool stall_after = false;  // sends the headers and part of the body, then nothing
  };

  LoopbackHttpServer() {
    WSADATA data;
    started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    int len = sizeof(addr);
    if (listener_ == INVALID_SOCKET ||
        ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
        ::listen(listener_, 8) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
      return;
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { Run(); });
  }
  ~LoopbackHttpServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listener_ != INVALID_SOCKET) ::closesocket(listener_);
    if (started_) ::WSACleanup();
  }

  bool ok() const { return port_ != 0; }
  int port() const { return port_; }
  void Serve(const std::string& path, Reply reply) {
    std::lock_guard<std::mutex> lock(mutex_);
    replies_[path] = std::move(reply);
  }
  std::wstring Url(const std::string& path) const {
    return L"http://127.0.0.1:" + std::to_wstring(port_) + std::wstring(path.begin(), path.end());
  }
  int Requests(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_[path];
  }

 private:
  void Run() {
    std::vector<SOCKET> held;
    while (!stop_) {
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(listener_, &readable);
      timeval wait = {0, 100 * 1000};
      if (::select(0, &readable, nullptr, nullptr, &wait) <= 0) continue;
      SOCKET s = ::accept(listener_, nullptr, nullptr);
      if (s == INVALID_SOCKET) continue;
      if (!Answer(s))
        held.push_back(s);
      else
        ::closesocket(s);
    }
    for (SOCKET s : held) ::closesocket(s);
  }

  // False when the connection is to be held without an answer.
  bool Answer(SOCKET s) {
    DWORD timeout_ms = 5000;
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout_ms),
                 sizeof(timeout_ms));
    std::string request;
    char buf[2048];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 16384) {
      const int n = ::recv(s, buf, sizeof(buf), 0);
      if (n <= 0) return true;
      request.append(buf, n);
    }
    const size_t start = request.find(' ') + 1;
    const std::string path = request.substr(start, request.find(' ', start) - start);
    Reply reply;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++requests_[path];
      auto it = replies_.find(path);
      if (it == replies_.end())
        reply = {404, "not found"};
      else
        reply = it->second;
    }
    if (reply.silent) return false;
    std::string text = "HTTP/1.1 " + std::to_string(reply.status) +
                             (reply.status == 200 ? " OK" : " Error") +
                             "\r\nContent-Type: text/xml\r\nCache-Control: no-store\r\n"
                             "Connection: close\r\nContent-Length: " +
                             std::to_string(reply.body.size()) + "\r\n\r\n" + reply.body;
    if (reply.stall_after) text.resize(text.size() - reply.body.size() / 2);
    ::send(s, text.data(), static_cast<int>(text.size()), 0);
    if (reply.stall_after) return false;
    ::shutdown(s, SD_SEND);
    return true;
  }

  bool started_ = false;
  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::map<std::string, Reply> replies_;
  std::map<std::string, int> requests_;
};

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
    "    <empty/>\n"
    "    <name>Caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC</name>\n"
    "  </group>\n"
    "</info>\n";

std::wstring Text(CXmlFileReader& r) {
  std::wstring t;
  EXPECT_TRUE(r.ReadElementText(&t));
  return t;
}

template <typename E, typename F>
std::string LabelOf(F f) {
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
  EXPECT_TRUE(r.TryPopCurrentNode());

  // A search inside the first group sees only its own items; two pops
  // bring the cursor back to the root, which searches everything again.
  ASSERT_TRUE(r.ReadStartElement(L"group"));
  ASSERT_TRUE(r.ReadStartElement(L"item"));
  EXPECT_EQ(Text(r), L"one");
  ASSERT_TRUE(r.NextElement());
  EXPECT_FALSE(r.NextElement());
  EXPECT_FALSE(r.ReadStartElement(L"name")) << "not inside the first group";
  EXPECT_EQ(Text(r), L"twoandmore") << "a failed search changes nothing";
  r.popCurrentNode();
  std::wstring os;
  EXPECT_TRUE(r.ReadAttributCString(L"OS", &os));
  EXPECT_EQ(os, L"Vista") << "back on the first group";
  r.popCurrentNode();
  std::wstring root_text = L"untouched";
  EXPECT_FALSE(r.ReadElementText(&root_text)) << "the root is not an element";
  EXPECT_FALSE(r.TryPopCurrentNode());
  ASSERT_TRUE(r.ReadStartElement(L"name"));
  EXPECT_EQ(Text(r), L"Caf\u00E9 \u65E5\u672C");
}

TEST(XmlFileReaderTest, AttributesParentsAndChildren) {
  TempFile file(kDocument);
  CXmlFileReader r;
  r.load(file.path());
  std::wstring t;

  EXPECT_FALSE(r.ReadAttributCString(L"id", &t)) << "the root has no attributes";
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
  EXPECT_TRUE(r.ReadAttributCString(L"spid", &t));
  EXPECT_EQ(t, L"S1");
  r.popCurrentNode();
  ASSERT_TRUE(r.ReadStartElement(L"bare"));
  EXPECT_FALSE(r.ReadFirstChildText(&t)) << "text comes before the element";
  r.popCurrentNode();
  ASSERT_TRUE(r.ReadStartElement(L"empty"));
  EXPECT_FALSE(r.ReadFirstChildText(&t));
  EXPECT_TRUE(r.ReadElementText(&t));
  EXPECT_EQ(t, L"");
  r.popCurrentNode();

  ASSERT_TRUE(r.ReadStartElement(L"info"));
  t = L"stale";
  EXPECT_FALSE(r.ReadParentOS(&t)) << "the document element's parent is the document";
  EXPECT_EQ(t, L"");
}

TEST(XmlFileReaderTest, MisuseRaisesIllegalState) {
  CXmlFileReader r;
  std::wstring t;
  EXPECT_EQ(LabelOf<CIllegalStateException>([&] { r.ReadStartElement(L"a"); }),
            "CXmlFileReader::ReadStartElement");
  EXPECT_EQ(LabelOf<CIllegalStateException>([&] { r.ReadElementText(&t); }),
            "CXmlFileReader::ReadAttributCString");
  EXPECT_EQ(LabelOf<CIllegalStateException>([&] { r.ReadAttributCString(L"a", &t); }),
            "CXmlFileReader::ReadAttributCString");
  EXPECT_EQ(LabelOf<CIllegalStateException>([&] { r.ReadParentOS(&t); }),
            "CXmlFileReader::ReadAttributCString");
  EXPECT_EQ(LabelOf<CIllegalStateException>([&] { r.ReadFirstChildText(&t); }),
            "CXmlFileReader::ReadAttributCString");
  EXPECT_EQ(LabelOf<CIllegalStateException>([&] { r.popCurrentNode(); }),
            "CXmlFileReader::popCurrentNode");
  EXPECT_FALSE(r.NextElement());
  EXPECT_FALSE(r.TryPopCurrentNode());
  r.save(L"C:\\never-written.xml");
  EXPECT_EQ(::GetFileAttributesW(L"C:\\never-written.xml"), INVALID_FILE_ATTRIBUTES);

  r.loadXml(L"<a><b/></a>");
  EXPECT_FALSE(r.ReadStartElement(L"c"));
  EXPECT_FALSE(r.TryPopCurrentNode()) << "a search that found nothing pushed nothing";
}

TEST(XmlFileReaderTest, LoadFailuresRaiseAccessFile) {
  TempFile broken("<info><lastupdate>2008-03-07-10:00-JST</info>");
  TempFile empty("");
  const struct {
    const char* what;
    std::wstring address;
  } cases[] = {
      {"not well-formed", broken.path()},
      {"empty file", empty.path()},
      {"missing file", broken.path() + L".missing"},
      {"empty address", L""},
      {"unknown scheme", L"zzz://nowhere/x.xml"},
  };
  for (const auto& c : cases) {
    CXmlFileReader r;
    EXPECT_EQ(LabelOf<CAccessFileException>([&] { r.load(c.address); }), "CXmlFileReader::load")
        << c.what;
    EXPECT_THROW(r.ReadStartElement(L"info"), CIllegalStateException) << c.what;
  }
  for (const wchar_t* text : {L"", L"<a>", L"<a></b>", L"not xml", L"<a/><b/>"}) {
    CXmlFileReader r;
    EXPECT_EQ(LabelOf<CAccessFileException>([&] { r.loadXml(text); }),
              "CXmlFileReader::loadXml")
        << text;
  }
}

TEST(XmlFileReaderTest, FailedReloadLeavesNoStaleDocument) {
  TempFile good("<a><b>old</b></a>");
  CXmlFileReader r;
  r.load(good.path());
  EXPECT_THROW(r.loadXml(L"<broken"), CAccessFileException);
  EXPECT_THROW(r.ReadStartElement(L"b"), CIllegalStateException)
      << "reads must not go on in the document of the earlier load";
  r.loadXml(L"<a><b>new</b></a>");
  ASSERT_TRUE(r.ReadStartElement(L"b"));
  EXPECT_EQ(Text(r), L"new");
}

TEST(XmlFileReaderTest, LoadsOverHttp) {
  LoopbackHttpServer server;
  ASSERT_TRUE(server.ok());
  server.Serve("/good.xml", {200, "<info><lastupdate>2008-03-07-10:00-JST</lastupdate></info>"});
  server.Serve("/broken.xml", {200, "<info><lastupdate>"});
  // An error page that happens to be well-formed XML is still an error.
  server.Serve("/error.xml", {500, "<info><urlauto>http://wrong/</urlauto></info>"});
  server.Serve("/moved.xml", {404, "<info/>"});
  server.Serve("/empty.xml", {200, ""});
  // The parser, not the fetch, decides the encoding.
  server.Serve("/utf16.xml",
               {200, std::string("\xFF\xFE<\0a\0>\0\xE9\0\xE5\x65<\0/\0a\0>\0", 20)});

  CXmlFileReader r;
  r.load(server.Url("/good.xml"));
  EXPECT_EQ(r.source(), server.Url("/good.xml"));
  ASSERT_TRUE(r.ReadStartElement(L"lastupdate"));
  EXPECT_EQ(Text(r), L"2008-03-07-10:00-JST");
  EXPECT_EQ(server.Requests("/good.xml"), 1);

  CXmlFileReader utf16;
  utf16.load(server.Url("/utf16.xml"));
  ASSERT_TRUE(utf16.ReadStartElement(L"a"));
  EXPECT_EQ(Text(utf16), L"\u00E9\u65E5");

  for (const char* path : {"/missing.xml", "/broken.xml", "/error.xml", "/moved.xml", "/empty.xml"}) {
    CXmlFileReader failing;
    EXPECT_EQ(LabelOf<CAccessFileException>([&] { failing.load(server.Url(path)); }),
              "CXmlFileReader::load")
        << path;
    EXPECT_EQ(server.Requests(path), 1) << path;
  }
}

// Puts the HTTP limits back at the end of a test.
class HttpLimitsScope {
 public:
  explicit HttpLimitsScope(const CXmlFileReader::HttpLimits& limits)
      : before_(CXmlFileReader::SetHttpLimits(limits)) {}
  ~HttpLimitsScope() { CXmlFileReader::SetHttpLimits(before_); }

 private:
  CXmlFileReader::HttpLimits before_;
};

TEST(XmlFileReaderTest, ServersThatStallOrFloodAreRefusedInBoundedTime) {
  LoopbackHttpServer server;
  ASSERT_TRUE(server.ok());
  const std::string big = "<info>" + std::string(5000, 'x') + "</info>";
  server.Serve("/silent.xml", {200, "", true});
  server.Serve("/stalled.xml", {200, big, false, true});
  server.Serve("/big.xml", {200, big});
  HttpLimitsScope limits({1000, 3000, 4096});
  for (const char* path : {"/silent.xml", "/stalled.xml", "/big.xml"}) {
    CXmlFileReader r;
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_EQ(LabelOf<CAccessFileException>([&] { r.load(server.Url(path)); }),
              "CXmlFileReader::load")
        << path;
    EXPECT_LT(::GetTickCount64() - start, 10000u) << path;
  }
  HttpLimitsScope roomier({1000, 3000, 8192});
  CXmlFileReader r;
  r.load(server.Url("/big.xml"));
  EXPECT_TRUE(r.ReadStartElement(L"info"));
}

TEST(XmlFileReaderTest, ClosedPortFailsToLoad) {
  int port;
  {
    LoopbackHttpServer gone;
    ASSERT_TRUE(gone.ok());
    port = gone.port();
  }
  CXmlFileReader r;
  EXPECT_THROW(r.load(L"http://127.0.0.1:" + std::to_wstring(port) + L"/x.xml"),
               CAccessFileException);
}

TEST(XmlFileReaderTest, SaveWritesTheDocumentReplacingAnOldFile) {
  TempFile target("old contents that must go");
  {
    CXmlFileReader r;
    r.loadXml(L"<info><urlauto>http://example.invalid/\u00E9</urlauto></info>");
    r.save(target.path());
  }
  CXmlFileReader again;
  again.load(target.path());
  ASSERT_TRUE(again.ReadStartElement(L"urlauto"));
  EXPECT_EQ(Text(again), L"http://example.invalid/\u00E9");
}

// Runs f on a thread of its own, so that its COM state starts clean.
template <typename F>
void OnFreshThread(F f) {
  std::thread t(f);
  t.join();
}

// S_OK means COM was not initialised on this thread before the call.
bool ComIsInitialized() {
  const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (SUCCEEDED(hr)) ::CoUninitialize();
  return hr != S_OK;
}

TEST(XmlFileReaderTest, UndoesOnlyItsOwnComInitialization) {
  OnFreshThread([] {
    {
      CXmlFileReader r;
      r.loadXml(L"<a/>");
      r.loadXml(L"<b/>");  // a second load must not add a second initialisation
      EXPECT_TRUE(ComIsInitialized());
    }
    EXPECT_FALSE(ComIsInitialized()) << "the reader's own initialisation is undone";
  });
  OnFreshThread([] {
    ASSERT_EQ(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    {
      CXmlFileReader r;
      r.loadXml(L"<a/>");
    }
    EXPECT_TRUE(ComIsInitialized()) << "the caller's apartment stays";
    ::CoUninitialize();
    EXPECT_FALSE(ComIsInitialized());
  });
  OnFreshThread([] {
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
  });
}

}  // namespace
