// The HTTP and FTP transfers against the engine's test servers
// (tests/support/with_engine_servers.sh): what reaches the partial file,
// what the servers were asked, and the result and last-error code of each
// answer and fault.
#include "control/engine/transfer.h"

#include <gtest/gtest.h>

#include <optional>

#include <shlobj.h>
#include <wininet.h>

#include "common/framework/seam.h"
#include "common/settings_file.h"
#include "control/engine/engine_seams.h"
#include "control/ctrl_frame.h"
#include "tests/support/engine_servers.h"
#include "tests/support/files.h"

namespace {

using zu::test::EngineServers;

constexpr std::uint64_t kSize = 300000;
constexpr long kUnchanged = 0x1234;  // a code no transfer sets

class Progress : public ITransferProgress {
 public:
  Progress(bool resume, std::uint64_t cancel_at = 0) : resume_(resume), cancel_at_(cancel_at) {}
  bool resume() const override { return resume_; }
  void ClearResume() override { resume_ = false; }
  std::uint64_t current_bytes() const override { return current_; }
  void SetCurrentBytes(std::uint64_t n) override { current_ = n; }
  void AddCurrentBytes(std::uint64_t n) override { current_ += n; }
  bool PausedThenCancelled() override { return cancel_at_ && current_ >= cancel_at_; }

 private:
  bool resume_;
  std::uint64_t cancel_at_;
  std::uint64_t current_ = 0;
};

class TransferTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    servers_ = new EngineServers();
    if (!servers_->ok()) return;
    servers_->Publish("whole.bin", kSize);
    root_ = new zu::test::TrustedRoot(servers_->RootCertificate());
    // A short receive time-out for the stalling server.
    settings_ = new zu::test::FileSnapshot(GetSettingsFilePath());
    // A fresh profile has neither the settings folder nor its parent.
    ::SHCreateDirectoryExW(
        nullptr, GetSettingsFilePath().substr(0, GetSettingsFilePath().rfind(L'\\')).c_str(),
        nullptr);
    ::WritePrivateProfileStringW(L"Option", L"ReceiveTimeout", L"1500",
                                 GetSettingsFilePath().c_str());
  }
  static void TearDownTestSuite() {
    delete settings_;
    delete root_;
    delete servers_;
  }
  void SetUp() override {
    if (!servers_->ok()) GTEST_SKIP() << "run through with_engine_servers.sh";
    servers_->ClearLog();
  }

  std::string Served() const { return zu::test::ReadFileBytes(servers_->ServedFile("whole.bin")); }

  static EngineServers* servers_;
  static zu::test::TrustedRoot* root_;
  static zu::test::FileSnapshot* settings_;
};
EngineServers* TransferTest::servers_ = nullptr;
zu::test::TrustedRoot* TransferTest::root_ = nullptr;
zu::test::FileSnapshot* TransferTest::settings_ = nullptr;

// What the partial file holds afterwards.
enum class Holds { kWhole, kPartBefore, kPrefix, kEmpty, kWholePlusExtra };

TEST_F(TransferTest, HttpAnswersAndFaults) {
  ASSERT_TRUE(root_->ok());
  struct Case {
    const char* what;
    std::wstring url;
    std::size_t part_before;  // bytes of the module already on disk
    bool resume;
    TransferResult result;
    long error;
    Holds holds;
    std::size_t prefix;  // for kPrefix
    const char* range;   // the "Range" the server saw
    const char* status;
  } cases[] = {
      {"whole", servers_->Http("whole.bin"), 0, false, TransferResult::kComplete, 0,
       Holds::kWhole, 0, "-", "200"},
      {"resumed", servers_->Http("whole.bin"), 100000, true, TransferResult::kComplete, 0,
       Holds::kWhole, 0, "bytes=100000-300000", "206"},
      {"resume not asked", servers_->Http("whole.bin"), 100000, false, TransferResult::kComplete,
       0, Holds::kWhole, 0, "-", "200"},
      {"range ignored", servers_->Http("norange/whole.bin"), 100000, true,
       TransferResult::kComplete, 0, Holds::kWhole, 0, "bytes=100000-300000", "200"},
      // A part that does not begin where the partial file ends is no continuation.
      {"part from elsewhere", servers_->Http("wrongstart/whole.bin"), 100000, true,
       TransferResult::kFailed, kZuErrorHttp, Holds::kPartBefore, 0, "bytes=100000-300000", "206"},
      {"not found", servers_->Http("status=404/whole.bin"), 0, false, TransferResult::kFailed,
       kZuErrorHttp, Holds::kEmpty, 0, "-", "404"},
      {"not found, resuming", servers_->Http("status=404/whole.bin"), 100000, true,
       TransferResult::kFailed, kZuErrorHttp, Holds::kPartBefore, 0, "bytes=100000-300000", "404"},
      {"server error", servers_->Http("status=500/whole.bin"), 0, false, TransferResult::kFailed,
       kZuErrorHttp, Holds::kEmpty, 0, "-", "500"},
      {"dropped", servers_->Http("drop=70000/whole.bin"), 0, false, TransferResult::kFailed,
       kZuErrorHttp, Holds::kPrefix, 70000, "-", "200"},
      {"dropped, resuming", servers_->Http("drop=50000/whole.bin"), 100000, true,
       TransferResult::kFailed, kZuErrorHttp, Holds::kPrefix, 150000, "bytes=100000-300000", "206"},
      // WinINet keeps what arrived before the time-out to itself.
      {"stalled", servers_->Http("stall=1000/whole.bin"), 0, false, TransferResult::kFailed,
       kZuErrorHttp, Holds::kEmpty, 0, "-", "200"},
      {"redirected", servers_->Http("redirect/whole.bin"), 0, false, TransferResult::kComplete, 0,
       Holds::kWhole, 0, "-", "200"},
      {"longer than announced module", servers_->Http("extra=10/whole.bin"), 0, false,
       TransferResult::kComplete, 0, Holds::kWholePlusExtra, 0, "-", "200"},
      {"https", servers_->Https("whole.bin"), 100000, true, TransferResult::kComplete, 0,
       Holds::kWhole, 0, "bytes=100000-300000", "206"},
      {"cancelled", servers_->Http("throttle=400000/whole.bin"), 0, false,
       TransferResult::kCancelled, 0, Holds::kPrefix, 0, "-", "200"},
      {"nobody listening", L"http://127.0.0.1:1/whole.bin", 0, false, TransferResult::kFailed,
       kZuErrorHttp, Holds::kEmpty, 0, nullptr, nullptr},
  };
  const std::string served = Served();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    servers_->ClearLog();
    const std::wstring partial = zu::test::TempPath(L"zu_xfer_http.binZU!");
    zu::test::WriteFileBytes(partial, served.substr(0, c.part_before));
    Progress progress(c.resume, std::string(c.what) == "cancelled" ? 65536 : 0);
    SetZuLastError(0);
    TransferResult result = HttpTransfer({c.url, partial, kSize}, progress);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(ZuLastError(), c.error);
    const std::string got = zu::test::ReadFileBytes(partial);
    EXPECT_EQ(progress.current_bytes(), got.size());
    switch (c.holds) {
      case Holds::kWhole:
        EXPECT_TRUE(got == served) << got.size();
        break;
      case Holds::kPartBefore:
        EXPECT_TRUE(got == served.substr(0, c.part_before)) << got.size();
        break;
      case Holds::kPrefix:
        if (c.prefix) {
          EXPECT_EQ(got.size(), c.prefix);
        }
        EXPECT_GT(got.size(), 0u);
        EXPECT_LT(got.size(), served.size());
        EXPECT_TRUE(got == served.substr(0, got.size()));
        break;
      case Holds::kEmpty:
        EXPECT_EQ(got.size(), 0u);
        break;
      case Holds::kWholePlusExtra:
        EXPECT_EQ(got.size(), served.size() + 10);
        EXPECT_TRUE(got.substr(0, served.size()) == served);
        break;
    }
    std::vector<EngineServers::Entry> log = servers_->Log();
    if (!c.status) {
      EXPECT_TRUE(log.empty());
      continue;
    }
    ASSERT_FALSE(log.empty());
    // The one and only request of the transfer (a redirect adds its hop).
    EXPECT_EQ(log.size(), std::string(c.what) == "redirected" ? 2u : 1u);
    EXPECT_EQ(log.back()["range"], c.range);
    EXPECT_EQ(log.back()["status"], c.status);
    EXPECT_EQ(log.back()["agent"], "ZEFOUpdate-ActiveX/");
    ::DeleteFileW(partial.c_str());
  }
}

TEST_F(TransferTest, FtpPlainAndResumingPaths) {
  struct Case {
    const char* what;
    std::wstring url;
    std::size_t part_before;
    bool resume;
    TransferResult result;
    long error;  // kUnchanged: the resuming path sets none
    bool whole;  // else the part before is untouched
    std::vector<std::string> commands;  // the server's log, in order, from TYPE on
  } cases[] = {
      // The URL's own port is never used: both paths go to port 21.
      {"plain", EngineServers::Ftp("127.0.0.5:2121", "whole.bin"), 100000, false,
       TransferResult::kComplete, 0, true, {"TYPE I", "PASV ", "RETR /whole.bin"}},
      {"resumed", EngineServers::Ftp("127.0.0.5", "whole.bin"), 100000, true,
       TransferResult::kComplete, kUnchanged, true,
       {"TYPE I", "PASV ", "REST 100000", "RETR /whole.bin", "NOOP "}},
      {"REST refused", EngineServers::Ftp("127.0.0.6", "whole.bin"), 100000, true,
       TransferResult::kFailed, kUnchanged, false, {"TYPE I", "PASV ", "REST 100000"}},
      {"PASV without (", EngineServers::Ftp("127.0.0.7", "whole.bin"), 100000, true,
       TransferResult::kFailed, kUnchanged, false, {"TYPE I", "PASV "}},
      {"missing file", EngineServers::Ftp("127.0.0.5", "missing.bin"), 0, false,
       TransferResult::kFailed, kZuErrorFtp, false, {}},
      {"missing file, resuming", EngineServers::Ftp("127.0.0.5", "missing.bin"), 0, true,
       TransferResult::kFailed, kUnchanged, false,
       {"TYPE I", "PASV ", "REST 0", "RETR /missing.bin"}},
  };
  const std::string served = Served();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    servers_->ClearLog();
    const std::wstring partial = zu::test::TempPath(L"zu_xfer_ftp.binZU!");
    zu::test::WriteFileBytes(partial, served.substr(0, c.part_before));
    Progress progress(c.resume);
    SetZuLastError(c.error == kUnchanged ? kUnchanged : 0);
    EXPECT_EQ(FtpTransfer({c.url, partial, kSize}, progress), c.result);
    EXPECT_EQ(ZuLastError(), c.error == kUnchanged ? kUnchanged : c.error);
    const std::string got = zu::test::ReadFileBytes(partial);
    if (c.whole) {
      EXPECT_TRUE(got == served) << got.size();
    } else if (c.resume) {
      EXPECT_TRUE(got == served.substr(0, c.part_before)) << got.size();
    }
    if (c.commands.empty()) continue;
    std::vector<std::string> seen;
    bool from_type = false;
    for (EngineServers::Entry& e : servers_->Log()) {
      from_type = from_type || e["cmd"] == "TYPE";
      if (from_type && e["cmd"] != "QUIT") seen.push_back(e["cmd"] + " " + e["arg"]);
    }
    EXPECT_EQ(seen, c.commands);
    ::DeleteFileW(partial.c_str());
  }
}

BOOL WINAPI BehindAProxy(LPDWORD flags, DWORD) {
  *flags = INTERNET_CONNECTION_LAN | INTERNET_CONNECTION_PROXY;
  return TRUE;
}

TEST_F(TransferTest, BehindAProxyOnlyTheMakersFtpServerResumes) {
  zu::ScopedOverride<zu::seams::InternetGetConnectedStateFn> proxy(
      zu::seams::internet_get_connected_state, &BehindAProxy);
  const std::string served = Served();
  const std::wstring partial = zu::test::TempPath(L"zu_xfer_proxy.binZU!");
  zu::test::WriteFileBytes(partial, served.substr(0, 1000));
  Progress progress(/*resume=*/true);
  EXPECT_EQ(FtpTransfer({EngineServers::Ftp("127.0.0.5", "whole.bin"), partial, kSize}, progress),
            TransferResult::kComplete);
  // Fetched whole, and no later module of the run resumes either.
  EXPECT_FALSE(progress.resume());
  EXPECT_TRUE(zu::test::ReadFileBytes(partial) == served);
  for (EngineServers::Entry& e : servers_->Log()) EXPECT_NE(e["cmd"], "REST");
  ::DeleteFileW(partial.c_str());
}

}  // namespace
