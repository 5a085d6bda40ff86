#include "agent/info/info_url.h"

#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "agent/info/info_url_rules.h"
#include "common/framework/handle.h"
#include "tests/support/loopback_http.h"

namespace {

// The shared loopback server answering by path; "/silent" is accepted and
// never answered until the server stops.
class LoopbackServer : public zu::test::LoopbackHttpServer {
 public:
  LoopbackServer() : LoopbackHttpServer([this](const Request& r) { return Answer(r.path); }) {}

 private:
  Reply Answer(const std::string& path) const {
    if (path == "/silent") {
      Reply r;
      r.silent = true;
      return r;
    }
    return Reply::With(path == "/ok" ? 200 : 404, "ok");
  }
};

// The probe runs on a worker so that a hang fails the test instead of
// holding it; stopping the server releases a stuck probe.
std::optional<bool> ProbeWithin(LoopbackServer& server, DWORD wait_ms,
                                const std::function<bool()>& probe, DWORD* took) {
  std::atomic<int> result{-1};
  DWORD start = ::GetTickCount();
  std::thread worker([&] { result = probe() ? 1 : 0; });
  while (result < 0 && ::GetTickCount() - start < wait_ms) ::Sleep(20);
  *took = ::GetTickCount() - start;
  std::optional<bool> answer;
  if (result >= 0) answer = result == 1;
  server.Stop();
  worker.join();
  return answer;
}

TEST(IsURLReachable, DefaultTimeOutBoundsASilentServer) {
  LoopbackServer server;
  DWORD took = 0;
  std::optional<bool> answer = ProbeWithin(
      server, kProbeTimeoutMs + 20000, [&] { return IsURLReachable(server.Url("/silent")); },
      &took);
  ASSERT_TRUE(answer.has_value()) << "the probe did not give up";
  EXPECT_FALSE(*answer);
  EXPECT_GE(took, kProbeTimeoutMs - 1000);
}

// ---- Version.txt

std::wstring BinDir() {
  wchar_t path[MAX_PATH];
  DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring s(path, n);
  return s.substr(0, s.rfind(L'\\'));
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  zu::UniqueResource<zu::FileHandleTraits> f(::CreateFileW(
      path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(f);
  DWORD written = 0;
  ::WriteFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

class VersionFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t tmp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, tmp);
    file_ = std::wstring(tmp) + L"zu-version-test.txt";
  }
  void TearDown() override { ::DeleteFileW(file_.c_str()); }
  std::wstring Read(const std::string& bytes) {
    WriteBytes(file_, bytes);
    return ReadVersionText(file_);
  }
  std::wstring file_;
};

TEST_F(VersionFileTest, FirstLineOfTheFile) {
  EXPECT_EQ(L"4.0.0.1", Read("4.0.0.1\r\n4.0.0.2\r\n"));
  EXPECT_EQ(L"4.0.0.3", Read("4.0.0.3"));
  EXPECT_EQ(L"", Read(""));
  EXPECT_EQ(L"", Read("\r\n4.0"));
  // A huge file without a line break is read only so far.
  EXPECT_EQ(std::wstring(kVersionFileReadLimit, L'7'), Read(std::string(1 << 20, '7')));
  ::DeleteFileW(file_.c_str());
  EXPECT_EQ(L"", ReadVersionText(file_));
  wchar_t tmp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, tmp);
  EXPECT_EQ(L"", ReadVersionText(tmp));  // a folder
}

TEST_F(VersionFileTest, ReadInTheAnsiCodePage) {
  if (::GetACP() != 1252) GTEST_SKIP() << "ANSI code page " << ::GetACP();
  EXPECT_EQ(L"4.0 \x00e9\x20ac", Read("4.0 \xe9\x80\n"));
}

TEST(IsURLReachable, SendsTheAgentVersionAsUserAgent) {
  const std::wstring version_file = BinDir() + L"\\Version.txt";
  ASSERT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(version_file.c_str()))
      << "a Version.txt beside the test is in the way";
  LoopbackServer server;

  EXPECT_TRUE(IsURLReachable(server.Url("/ok")));
  WriteBytes(version_file, "4.0.0.1\r\n");
  EXPECT_EQ(L"4.0.0.1", GetAgentVersion());
  EXPECT_TRUE(IsURLReachable(server.Url("/ok")));
  EXPECT_FALSE(IsURLReachable(server.Url("/missing")));
  WriteBytes(version_file, std::string(300, 'v'));
  EXPECT_TRUE(IsURLReachable(server.Url("/ok")));
  ::DeleteFileW(version_file.c_str());

  std::vector<LoopbackServer::Request> seen = server.requests();
  ASSERT_EQ(4u, seen.size());
  EXPECT_EQ("ZEFOUpdate-Client/", seen[0].user_agent);
  EXPECT_EQ("ZEFOUpdate-Client/4.0.0.1", seen[1].user_agent);
  EXPECT_EQ("ZEFOUpdate-Client/4.0.0.1", seen[2].user_agent);
  EXPECT_EQ("ZEFOUpdate-Client/" + std::string(127 - 18, 'v'), seen[3].user_agent);
}

}  // namespace
