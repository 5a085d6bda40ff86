// The HTTP unit against the loopback server: statuses, redirects and their
// bound, the range header, the body in blocks, short bodies, stops, time-outs
// and the cache.
#include "common/net/http.h"

#include <winsock2.h>
#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/loopback_http.h"

namespace zu::net {

void PrintTo(Outcome outcome, std::ostream* out) {
  static const char* const kNames[] = {"ok",      "bad address", "no answer",     "too many redirects",
                                       "stopped", "read failed", "ended early", "sink refused"};
  *out << kNames[static_cast<int>(outcome)];
}

namespace {

using zu::test::LoopbackHttpServer;
using Reply = LoopbackHttpServer::Reply;

const std::string kBody = [] {
  std::string body(10000, '\0');
  for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>('a' + i * 7 % 26);
  return body;
}();

Reply Respond(int status, const std::string& location = "", std::string body = "ok") {
  Reply r = Reply::With(status, std::move(body));
  if (!location.empty()) r.headers = "Location: " + location + "\r\n";
  return r;
}

Reply Announcing(long long length, std::string body) {
  Reply r = Reply::With(200, std::move(body));
  r.length = length;
  return r;
}

class Server : public LoopbackHttpServer {
 public:
  Server() : LoopbackHttpServer([this](const Request& r) { return Route(r.path); }) {}

 private:
  Reply Route(const std::string& path) const {
    if (path == "/ok") return Respond(200);
    if (path == "/body" || path.starts_with("/body?")) return Respond(200, "", kBody);
    if (path.starts_with("/status/")) {  // /status/N redirects to /ok with status N
      return Respond(std::atoi(path.c_str() + 8), "/ok");
    }
    if (path.starts_with("/chain/")) {  // /chain/N redirects N times, then answers 200
      const int n = std::atoi(path.c_str() + 7);
      return n <= 0 ? Respond(200) : Respond(302, "/chain/" + std::to_string(n - 1));
    }
    if (path == "/loop") return Respond(302, "/loop");
    if (path == "/dir/sub/relative") return Respond(301, "next?q=1");
    if (path == "/dir/sub/next?q=1") return Respond(307, "../up#part");
    if (path == "/dir/up") return Respond(200, "", "up");
    if (path == "/absolute")
      return Respond(308, "http://127.0.0.1:" + std::to_string(port()) + "/ok");
    if (path == "/no-location") return Respond(302);
    if (path == "/to-missing") return Respond(301, "/missing");
    if (path == "/to-ftp") return Respond(302, "ftp://127.0.0.1/file");
    if (path == "/short") return Announcing(20000, kBody);
    if (path == "/huge") return Announcing(5000000000LL, "abc");
    if (path == "/unannounced") return Announcing(-1, kBody);
    if (path == "/stalled") {
      Reply r = Respond(200, "", kBody);
      r.stall = true;
      return r;
    }
    if (path == "/silent") {
      Reply r;
      r.silent = true;
      return r;
    }
    return Respond(404, "", "missing");
  }
};

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

TEST(HttpGet, FollowsRedirectsOnlySoFar) {
  Server server;
  ASSERT_TRUE(server.ok());
  const std::string base = "http://127.0.0.1:" + std::to_string(server.port());
  struct Case {
    std::string path;
    Outcome outcome;
    unsigned long status;
    std::string final_path;
  };
  const std::string bound = std::to_string(kMaxRedirects);
  const std::string beyond = std::to_string(kMaxRedirects + 1);
  const Case cases[] = {
      {"/ok", Outcome::kOk, 200, "/ok"},
      {"/missing", Outcome::kOk, 404, "/missing"},
      {"/status/301", Outcome::kOk, 200, "/ok"},
      {"/status/302", Outcome::kOk, 200, "/ok"},
      {"/status/303", Outcome::kOk, 200, "/ok"},
      {"/status/307", Outcome::kOk, 200, "/ok"},
      {"/status/308", Outcome::kOk, 200, "/ok"},
      // Not redirects, whatever Location says.
      {"/status/300", Outcome::kOk, 300, "/status/300"},
      {"/status/201", Outcome::kOk, 201, "/status/201"},
      // Relative locations count from the address that sent them.
      {"/dir/sub/relative", Outcome::kOk, 200, "/dir/up#part"},
      {"/absolute", Outcome::kOk, 200, "/ok"},
      {"/no-location", Outcome::kOk, 302, "/no-location"},
      {"/chain/" + bound, Outcome::kOk, 200, "/chain/0"},
      {"/chain/" + beyond, Outcome::kTooManyRedirects, 0, ""},
      {"/loop", Outcome::kTooManyRedirects, 0, ""},
      {"/to-ftp", Outcome::kBadAddress, 0, ""},
  };
  for (const Case& c : cases) {
    RequestOptions options;
    options.user_agent = L"zu-net-test";
    Result result;
    const std::optional<Response> response = Get(server.Url(c.path), options, &result);
    EXPECT_EQ(c.outcome, result.outcome) << c.path;
    EXPECT_EQ(c.outcome == Outcome::kOk, response.has_value()) << c.path;
    if (!response) continue;
    EXPECT_EQ(c.status, response->status()) << c.path;
    EXPECT_EQ(base + c.final_path, Narrow(response->address())) << c.path;
  }

  const std::vector<LoopbackHttpServer::Request> seen = server.requests();
  size_t loop_requests = 0;
  for (const auto& r : seen) {
    EXPECT_EQ("zu-net-test", r.user_agent) << r.path;
    if (r.path == "/loop") ++loop_requests;
    EXPECT_EQ(std::string::npos, r.path.find('#')) << "a fragment went out: " << r.path;
  }
  EXPECT_EQ(size_t(kMaxRedirects) + 1, loop_requests) << "the loop was followed how often";
  EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](const auto& r) { return r.path == "/dir/up"; }));
}

TEST(HttpGet, RangeGoesWithTheOneRequest) {
  Server server;
  struct Case {
    std::optional<ByteRange> range;
    const char* sent;
  };
  const Case cases[] = {
      {std::nullopt, ""},
      {ByteRange{5, 10}, "bytes=5-10"},
      {ByteRange{5, std::nullopt}, "bytes=5-"},
      {ByteRange{0, 0}, "bytes=0-0"},
      // Offsets beyond 4 GiB go out whole.
      {ByteRange{5000000000ULL, 6442450944ULL}, "bytes=5000000000-6442450944"},
  };
  for (const Case& c : cases) {
    const size_t before = server.requests().size();
    RequestOptions options;
    options.range = c.range;
    std::optional<Response> response = Get(server.Url("/body"), options);
    ASSERT_TRUE(response) << c.sent;
    ASSERT_TRUE(response->ReadBody(65536, {}).ok()) << c.sent;
    const std::vector<LoopbackHttpServer::Request> seen = server.requests();
    ASSERT_EQ(before + 1, seen.size()) << "one request only for " << c.sent;
    EXPECT_EQ(c.sent, seen.back().range);
  }
  // Every hop of a redirect chain asks for the same bytes.
  RequestOptions from7;
  from7.range = ByteRange{7, std::nullopt};
  ASSERT_TRUE(Get(server.Url("/chain/2"), from7));
  const std::vector<LoopbackHttpServer::Request> seen = server.requests();
  ASSERT_GE(seen.size(), 3u);
  for (size_t i = seen.size() - 3; i < seen.size(); ++i) EXPECT_EQ("bytes=7-", seen[i].range);
}

TEST(HttpBody, StreamsInBlocksUntilStoppedOrRefused) {
  Server server;
  {  // the whole body, in blocks no larger than asked for
    std::optional<Response> response = Get(server.Url("/body"), {});
    ASSERT_TRUE(response);
    EXPECT_EQ(std::optional<uint64_t>(kBody.size()), response->content_length());
    std::string got;
    size_t largest = 0;
    const Result result = response->ReadBody(1000, [&](const char* data, size_t size) {
      got.append(data, size);
      largest = std::max(largest, size);
      return true;
    });
    EXPECT_EQ(Outcome::kOk, result.outcome);
    EXPECT_EQ(kBody.size(), result.bytes);
    EXPECT_TRUE(got == kBody);
    EXPECT_LE(largest, 1000u);
  }
  {  // keep_going says stop after three blocks
    int asked = 0;
    std::string got;
    RequestOptions options;
    options.keep_going = [&] { return ++asked <= 4; };  // the first asks for the request
    std::optional<Response> response = Get(server.Url("/body"), options);
    ASSERT_TRUE(response);
    const Result result = response->ReadBody(1000, [&](const char* data, size_t size) {
      got.append(data, size);
      return true;
    });
    EXPECT_EQ(Outcome::kStopped, result.outcome);
    EXPECT_EQ(got.size(), result.bytes);
    EXPECT_GT(got.size(), 0u);
    EXPECT_LE(got.size(), 3000u);
    EXPECT_TRUE(kBody.starts_with(got));
  }
  {  // the sink refuses its second block
    int blocks = 0;
    std::optional<Response> response = Get(server.Url("/body"), {});
    ASSERT_TRUE(response);
    const Result result = response->ReadBody(1000, [&](const char*, size_t) { return ++blocks < 2; });
    EXPECT_EQ(Outcome::kSinkRefused, result.outcome);
    EXPECT_EQ(2, blocks);
    EXPECT_LE(result.bytes, 1000u);
  }
  {  // a stop before the first request sends nothing
    const size_t before = server.requests().size();
    Result result;
    RequestOptions stop;
    stop.keep_going = [] { return false; };
    EXPECT_FALSE(Get(server.Url("/body"), stop, &result));
    EXPECT_EQ(Outcome::kStopped, result.outcome);
    EXPECT_EQ(before, server.requests().size());
  }
}

TEST(HttpBody, EndsEarlyWhenLessArrivesThanAnnounced) {
  Server server;
  struct Case {
    const char* path;
    std::optional<uint64_t> announced;
    Outcome outcome;
    size_t bytes;
  };
  const Case cases[] = {
      {"/body", kBody.size(), Outcome::kOk, kBody.size()},
      {"/short", 20000, Outcome::kEndedEarly, kBody.size()},
      {"/huge", 5000000000ULL, Outcome::kEndedEarly, 3},
      {"/unannounced", std::nullopt, Outcome::kOk, kBody.size()},
  };
  for (const Case& c : cases) {
    std::optional<Response> response = Get(server.Url(c.path), {});
    ASSERT_TRUE(response) << c.path;
    EXPECT_EQ(c.announced, response->content_length()) << c.path;
    std::string got;
    const Result result = response->ReadBody(4096, [&](const char* data, size_t size) {
      got.append(data, size);
      return true;
    });
    EXPECT_EQ(c.outcome, result.outcome) << c.path;
    EXPECT_EQ(c.bytes, result.bytes) << c.path;
    EXPECT_EQ(c.bytes, got.size()) << c.path;
  }
}

TEST(HttpGet, GivesUpOnSilenceAndOnWhatIsNoHttpAddress) {
  Server server;
  RequestOptions quick;
  quick.timeout_ms = 1000;
  {  // accepted, never answered
    const ULONGLONG start = ::GetTickCount64();
    Result result;
    EXPECT_FALSE(Get(server.Url("/silent"), quick, &result));
    EXPECT_EQ(Outcome::kNoAnswer, result.outcome);
    EXPECT_NE(0u, result.error);
    EXPECT_LT(::GetTickCount64() - start, 10000u);
  }
  {  // the body stops coming
    std::optional<Response> response = Get(server.Url("/stalled"), quick);
    ASSERT_TRUE(response);
    const ULONGLONG start = ::GetTickCount64();
    const Result result = response->ReadBody(65536, {});
    EXPECT_EQ(Outcome::kReadFailed, result.outcome);
    EXPECT_LT(::GetTickCount64() - start, 10000u);
  }
  server.Stop();  // nobody listens on the port now
  Result result;
  EXPECT_FALSE(Get(server.Url("/ok"), quick, &result));
  EXPECT_EQ(Outcome::kNoAnswer, result.outcome);

  for (const std::wstring& address :
       {std::wstring(), std::wstring(L"not an address"), std::wstring(L"http://"),
        std::wstring(L"ftp://127.0.0.1/file"), std::wstring(L"file:///C:/windows/win.ini"),
        std::wstring(L"C:\\windows\\win.ini")}) {
    EXPECT_FALSE(Get(address, quick, &result)) << Narrow(address);
    EXPECT_EQ(Outcome::kBadAddress, result.outcome) << Narrow(address);
  }
}

const std::wstring kProbeAgent = L"ZEFOUpdate-Client/test";
constexpr unsigned long kProbeTimeoutMs = 30000;

TEST(HttpIsReachable, OnlyAFinalStatus200IsReachable) {
  Server server;
  EXPECT_TRUE(IsReachable(server.Url("/ok"), kProbeAgent, kProbeTimeoutMs));
  EXPECT_TRUE(IsReachable(server.Url("/body?a=1&b=2#part"), kProbeAgent, kProbeTimeoutMs));
  EXPECT_FALSE(IsReachable(server.Url("/missing"), kProbeAgent, kProbeTimeoutMs));
  EXPECT_FALSE(IsReachable(server.Url("/status/500"), kProbeAgent, kProbeTimeoutMs));
  EXPECT_FALSE(IsReachable(server.Url("/status/201"), kProbeAgent, kProbeTimeoutMs));
  // Redirects are followed; what counts is where they end.
  EXPECT_TRUE(IsReachable(server.Url("/absolute"), kProbeAgent, kProbeTimeoutMs));
  EXPECT_FALSE(IsReachable(server.Url("/to-missing"), kProbeAgent, kProbeTimeoutMs));
  EXPECT_FALSE(IsReachable(server.Url("/no-location"), kProbeAgent, kProbeTimeoutMs));
  // A chain of redirects is followed only so far, and a loop ends.
  EXPECT_TRUE(IsReachable(server.Url("/chain/" + std::to_string(kMaxRedirects)), kProbeAgent,
                          kProbeTimeoutMs));
  EXPECT_FALSE(IsReachable(server.Url("/chain/" + std::to_string(kMaxRedirects + 1)), kProbeAgent,
                           kProbeTimeoutMs));
  EXPECT_FALSE(IsReachable(server.Url("/loop"), kProbeAgent, kProbeTimeoutMs));

  std::vector<LoopbackHttpServer::Request> seen = server.requests();
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ("/ok", seen[0].path);
  EXPECT_EQ("/body?a=1&b=2", seen[1].path);  // the fragment stays at home
  for (const auto& r : seen) EXPECT_EQ("ZEFOUpdate-Client/test", r.user_agent) << r.path;
}

TEST(HttpIsReachable, AnythingButAnHttpAnswerIsUnreachable) {
  Server server;
  const int port = server.port();
  server.Stop();  // nobody listens there now
  const auto probe = [](const std::wstring& address) {
    return IsReachable(address, kProbeAgent, kProbeTimeoutMs);
  };
  EXPECT_FALSE(probe(L"http://127.0.0.1:" + std::to_wstring(port) + L"/ok"));
  EXPECT_FALSE(probe(L"http://zefo-probe-test.invalid/page.html"));
  EXPECT_FALSE(probe(L"ftp://127.0.0.1:" + std::to_wstring(port) + L"/ok"));
  EXPECT_FALSE(probe(L"file:///C:/windows/win.ini"));
  EXPECT_FALSE(probe(L"C:\\windows\\win.ini"));
  EXPECT_FALSE(probe(L"not an address"));
  EXPECT_FALSE(probe(L""));
  EXPECT_FALSE(probe(L"http://"));
  EXPECT_FALSE(probe(L"http://" + std::wstring(5000, L'a') + L"/"));
}

TEST(HttpIsReachable, SilentServerTimesOut) {
  Server server;
  const ULONGLONG start = ::GetTickCount64();
  EXPECT_FALSE(IsReachable(server.Url("/silent"), kProbeAgent, 1500));
  const ULONGLONG took = ::GetTickCount64() - start;
  EXPECT_GE(took, 1000u);
  EXPECT_LT(took, 20000u) << "the probe did not give up";
}

bool InCache(const std::wstring& address) {
  DWORD size = 0;
  ::GetUrlCacheEntryInfoW(address.c_str(), nullptr, &size);
  return ::GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

TEST(HttpGet, LeavesNoCopyInTheCache) {
  Server server;
  const std::wstring ours = server.Url("/body?ours=" + std::to_string(::GetTickCount64()));
  const std::wstring plain = server.Url("/body?plain=" + std::to_string(::GetTickCount64()));
  std::optional<Response> response = Get(ours, {});
  ASSERT_TRUE(response);
  ASSERT_TRUE(response->ReadBody(4096, {}).ok());
  response.reset();
  EXPECT_FALSE(InCache(ours));

  // The same download without our flags is cached: the look-up sees it.
  UniqueInternet session(
      ::InternetOpenW(L"zu-net-test", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  UniqueInternet request(::InternetOpenUrlW(session.get(), plain.c_str(), nullptr, 0,
                                            INTERNET_FLAG_RELOAD, 0));
  ASSERT_TRUE(request);
  char block[4096];
  DWORD got = 0;
  while (::InternetReadFile(request.get(), block, sizeof(block), &got) && got) {
  }
  request.reset();
  EXPECT_TRUE(InCache(plain));
}

}  // namespace
}  // namespace zu::net
