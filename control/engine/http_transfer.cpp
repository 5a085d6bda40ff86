// HTTP and HTTPS transfer of one module into its partial file, on the
// shared HTTP unit. A resumed transfer sends "Range" with its one and only
// request; the reply decides whether the body continues the partial file
// or replaces it.
#include <windows.h>

#include <optional>
#include <string>

#include "common/net/http.h"
#include "control/ctrl_frame.h"
#include "control/engine/transfer.h"
#include "control/engine/transfer_rules.h"

namespace {

constexpr wchar_t kAgentPrefix[] = L"ZEFOUpdate-ActiveX/";
constexpr std::size_t kMaxAgentChars = 127;

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
  // Only a known size is resumed: the range ends at it.
  const bool resume = progress.resume() && request.expected_bytes != 0;
  PartialFile file;
  if (!file.Open(request.partial_path, resume)) return Failed();
  progress.SetCurrentBytes(file.size());

  zu::net::RequestOptions options;
  options.user_agent = UserAgent();
  options.timeout_ms = TransferReceiveTimeout();
  std::optional<std::uint64_t> range_from;
  if (resume) {
    range_from = file.size();
    options.range = zu::net::ByteRange{file.size(), request.expected_bytes};
  }
  bool cancelled = false;
  options.keep_going = [&]() {
    cancelled = progress.PausedThenCancelled();
    return !cancelled;
  };
  std::optional<zu::net::Response> response = zu::net::Get(request.url, options);
  if (!response) return cancelled ? TransferResult::kCancelled : Failed();

  switch (PlaceHttpBody(static_cast<int>(response->status()), range_from,
                        response->content_range())) {
    case BodyPlacement::kFail:
      // An error page is no module.
      return Failed();
    case BodyPlacement::kRewrite:
      // The whole module came although only the rest was asked for.
      if (file.size() != 0 && !file.Restart()) return Failed();
      progress.SetCurrentBytes(0);
      break;
    case BodyPlacement::kAppend:
      break;
  }
  zu::net::Result result =
      response->ReadBody(kTransferBlockBytes, [&](const char* data, std::size_t n) {
        if (!file.Append(data, n)) return false;
        progress.AddCurrentBytes(n);
        return true;
      });
  if (result.ok()) return TransferResult::kComplete;
  if (result.outcome == zu::net::Outcome::kStopped && cancelled) return TransferResult::kCancelled;
  // Broken off or ended before its announced length: what arrived stays
  // for a later resume.
  return Failed();
}
