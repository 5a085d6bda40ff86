// HTTP and HTTPS transfer of one module into its partial file. A resumed
// transfer sends "Range" with its one and only request; the reply decides
// whether the body continues the partial file or replaces it.
#include <windows.h>
#include <wininet.h>

#include <cwchar>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "control/ctrl_frame.h"
#include "control/engine/transfer.h"
#include "control/engine/transfer_rules.h"

namespace {

constexpr wchar_t kAgentPrefix[] = L"ZEFOUpdate-ActiveX/";
constexpr std::size_t kMaxAgentChars = 127;

// --- Local stand-in for the shared HTTP unit (common/net) --------------------------
// Same shape: one GET with the range in the request, status, announced
// length, body in blocks with a stop check, and an early end told apart.
namespace net {

struct InternetHandleTraits {
  using Type = HINTERNET;
  static HINTERNET Invalid() { return nullptr; }
  static bool Valid(HINTERNET h) { return h != nullptr; }
  static void Close(HINTERNET h) { ::InternetCloseHandle(h); }
};
using UniqueInternet = zu::UniqueResource<InternetHandleTraits>;

struct RequestOptions {
  std::wstring user_agent;
  unsigned long timeout_ms = 30000;
  std::optional<std::wstring> range_header;
  std::function<bool()> keep_going;
};
enum class Outcome { kOk, kNoAnswer, kStopped, kReadFailed, kEndedEarly, kSinkRefused };

class Response {
 public:
  unsigned long status() const { return status_; }
  std::optional<std::uint64_t> content_length() const { return length_; }
  Outcome ReadBody(std::size_t block, const std::function<bool(const char*, std::size_t)>& sink) {
    std::unique_ptr<char[]> buffer(new char[block]);
    std::uint64_t got = 0;
    for (;;) {
      if (keep_going_ && !keep_going_()) return Outcome::kStopped;
      DWORD n = 0;
      if (!::InternetReadFile(request_.get(), buffer.get(), static_cast<DWORD>(block), &n))
        return Outcome::kReadFailed;
      if (n == 0) break;
      if (!sink(buffer.get(), n)) return Outcome::kSinkRefused;
      got += n;
    }
    return length_ && got < *length_ ? Outcome::kEndedEarly : Outcome::kOk;
  }

  UniqueInternet session_;
  UniqueInternet request_;
  unsigned long status_ = 0;
  std::optional<std::uint64_t> length_;
  std::function<bool()> keep_going_;
};

std::optional<Response> Get(const std::wstring& url, const RequestOptions& options) {
  Response r;
  r.keep_going_ = options.keep_going;
  r.session_.reset(::InternetOpenW(options.user_agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG,
                                   nullptr, nullptr, 0));
  if (!r.session_) return std::nullopt;
  DWORD ms = options.timeout_ms;
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                       INTERNET_OPTION_RECEIVE_TIMEOUT})
    ::InternetSetOptionW(r.session_.get(), option, &ms, sizeof(ms));
  std::wstring headers = options.range_header ? *options.range_header + L"\r\n" : L"";
  r.request_.reset(::InternetOpenUrlW(
      r.session_.get(), url.c_str(), headers.empty() ? nullptr : headers.c_str(),
      static_cast<DWORD>(headers.size()),
      INTERNET_FLAG_RELOAD | INTERNET_FLAG_TRANSFER_BINARY | INTERNET_FLAG_NO_CACHE_WRITE |
          INTERNET_FLAG_NO_UI,
      0));
  if (!r.request_) return std::nullopt;
  ::InternetSetOptionW(r.request_.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &ms, sizeof(ms));
  DWORD status = 0, size = sizeof(status);
  if (!::HttpQueryInfoW(r.request_.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                        &size, nullptr))
    return std::nullopt;
  r.status_ = status;
  wchar_t length[32] = {};
  DWORD bytes = sizeof(length);
  if (::HttpQueryInfoW(r.request_.get(), HTTP_QUERY_CONTENT_LENGTH, length, &bytes, nullptr)) {
    wchar_t* end = nullptr;
    unsigned long long v = std::wcstoull(length, &end, 10);
    if (end != length && *end == L'\0') r.length_ = v;
  }
  return r;
}

}  // namespace net
// --- End of the stand-in -----------------------------------------------------------

std::wstring UserAgent() {
  std::wstring agent = kAgentPrefix + LoadedLibraryVersion();
  if (agent.size() > kMaxAgentChars) agent.resize(kMaxAgentChars);
  return agent;
}

TransferResult Failed() {
  SetZuLastError(kZuErrorHttp);
  return TransferResult::kFailed;
}

}  // namespace

TransferResult HttpTransfer(const TransferRequest& request, ITransferProgress& progress) {
  // Only a known size can be resumed: the range ends at the size.
  const bool resume = progress.resume() && request.expected_bytes != 0;
  PartialFile file;
  if (!file.Open(request.partial_path, resume)) return Failed();
  progress.SetCurrentBytes(file.size());

  net::RequestOptions options;
  options.user_agent = UserAgent();
  options.timeout_ms = TransferReceiveTimeout();
  std::optional<std::uint64_t> range_from;
  if (resume) {
    range_from = file.size();
    options.range_header = RangeHeader(file.size(), request.expected_bytes);
  }
  bool cancelled = false;
  options.keep_going = [&]() {
    cancelled = progress.PausedThenCancelled();
    return !cancelled;
  };
  std::optional<net::Response> response = net::Get(request.url, options);
  if (!response) return cancelled ? TransferResult::kCancelled : Failed();

  switch (PlaceHttpBody(static_cast<int>(response->status()), range_from, L"")) {
    case BodyPlacement::kFail:
      return Failed();
    case BodyPlacement::kRewrite:
      // The server sent the whole module although the rest was asked for.
      if (file.size() != 0 && !file.Restart()) return Failed();
      progress.SetCurrentBytes(0);
      break;
    case BodyPlacement::kAppend:
      break;
  }
  net::Outcome outcome =
      response->ReadBody(kTransferBlockBytes, [&](const char* data, std::size_t n) {
        if (!file.Append(data, n)) return false;
        progress.AddCurrentBytes(n);
        return true;
      });
  if (outcome == net::Outcome::kOk) return TransferResult::kComplete;
  if (outcome == net::Outcome::kStopped && cancelled) return TransferResult::kCancelled;
  // An early end keeps what arrived for a later resume.
  return Failed();
}
