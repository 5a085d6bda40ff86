// FTP transfer of one module: the whole file through WinINet's URL
// interface, or, to continue a partial file, the control connection driven
// by commands ("TYPE I", "PASV", "REST", "RETR") and the data connection
// read with a socket of our own. Both always use port 21 and the fixed
// anonymous login.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <wininet.h>

#include <string>
#include <vector>

#include "control/ctrl_frame.h"
#include "control/engine/engine_seams.h"
#include "control/engine/transfer.h"
#include "control/engine/transfer_rules.h"

#ifndef ZU_MAKER_FTP_HOST
#error "ZU_MAKER_FTP_HOST names the maker's FTP server (engine.cmake sets it)"
#endif

namespace {

constexpr wchar_t kResumeAgent[] = L"ZUAX";
constexpr INTERNET_PORT kFtpPort = 21;
constexpr std::size_t kSocketBlockBytes = 65535;
constexpr DWORD kLastReplyChars = 2048;
// While waiting for data the cancel flag is polled this often.
constexpr DWORD kPollMs = 250;

struct SocketTraits {
  using Type = SOCKET;
  static SOCKET Invalid() { return INVALID_SOCKET; }
  static bool Valid(SOCKET s) { return s != INVALID_SOCKET; }
  static void Close(SOCKET s) { ::closesocket(s); }
};
using UniqueSocket = zu::UniqueResource<SocketTraits>;

class WinsockScope {
 public:
  WinsockScope() { ok_ = ::WSAStartup(MAKEWORD(2, 2), &data_) == 0; }
  ~WinsockScope() {
    if (ok_) ::WSACleanup();
  }
  WinsockScope(const WinsockScope&) = delete;
  WinsockScope& operator=(const WinsockScope&) = delete;
  bool ok() const { return ok_; }

 private:
  WSADATA data_{};
  bool ok_ = false;
};

struct FtpTarget {
  std::wstring server;
  std::wstring object;  // the URL's path, as it stands
};

bool CrackFtpUrl(const std::wstring& url, FtpTarget* target) {
  URL_COMPONENTSW parts = {};
  parts.dwStructSize = sizeof(parts);
  parts.dwHostNameLength = 1;
  parts.dwUrlPathLength = 1;
  if (!::InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts) ||
      !parts.lpszHostName || parts.dwHostNameLength == 0)
    return false;
  target->server.assign(parts.lpszHostName, parts.dwHostNameLength);
  target->object = parts.lpszUrlPath ? std::wstring(parts.lpszUrlPath, parts.dwUrlPathLength)
                                     : std::wstring();
  return true;
}

void SetReceiveTimeout(HINTERNET h, DWORD ms) {
  ::InternetSetOptionW(h, INTERNET_OPTION_RECEIVE_TIMEOUT, &ms, sizeof(ms));
}

std::string Narrow(const std::wstring& w) {
  std::string s;
  for (wchar_t c : w) s.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return s;
}

std::string LastReply() {
  DWORD error = 0, length = kLastReplyChars;
  std::vector<wchar_t> text(kLastReplyChars, L'\0');
  if (!::InternetGetLastResponseInfoW(&error, text.data(), &length)) return std::string();
  return Narrow(std::wstring(text.data(), length < kLastReplyChars ? length : kLastReplyChars - 1));
}

// A command on the control connection without a data connection of
// WinINet's; the server's reply, empty when the command failed.
std::string Command(HINTERNET connection, const std::wstring& command) {
  if (!::FtpCommandW(connection, FALSE, FTP_TRANSFER_TYPE_BINARY, command.c_str(), 0, nullptr))
    return std::string();
  return LastReply();
}

// --- The whole file ------------------------------------------------------------

TransferResult PlainTransfer(const TransferRequest& request, ITransferProgress& progress) {
  PartialFile file;
  if (!file.Open(request.partial_path, /*keep=*/false)) {
    SetZuLastError(kZuErrorFtp);
    return TransferResult::kFailed;
  }
  progress.SetCurrentBytes(0);
  FtpTarget target;
  const DWORD timeout = TransferReceiveTimeout();
  zu::UniqueInternet session(::InternetOpenW(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  zu::UniqueInternet response;
  if (session && CrackFtpUrl(request.url, &target)) {
    SetReceiveTimeout(session.get(), timeout);
    std::wstring url = PlainFtpUrl(target.server, target.object);
    response.reset(::InternetOpenUrlW(session.get(), url.c_str(), nullptr, 0,
                                      INTERNET_FLAG_RELOAD | INTERNET_FLAG_PASSIVE |
                                          INTERNET_FLAG_TRANSFER_BINARY |
                                          INTERNET_FLAG_NO_CACHE_WRITE,
                                      0));
  }
  if (!response) {
    SetZuLastError(kZuErrorFtp);
    return TransferResult::kFailed;
  }
  // Wine honours the time-out only on this handle.
  SetReceiveTimeout(response.get(), timeout);
  TransferResult result = PumpBlocks(
      [&](char* buffer, std::size_t size) -> long long {
        DWORD read = 0;
        if (!::InternetReadFile(response.get(), buffer, static_cast<DWORD>(size), &read)) return -1;
        return read;
      },
      kTransferBlockBytes, file, progress);
  if (result == TransferResult::kFailed) SetZuLastError(kZuErrorFtp);
  return result;
}

// --- The rest of a partial file ----------------------------------------------------

// Waits until the socket has data, the time-out passes (-1) or the run is
// cancelled (-2); 1 when readable.
int WaitReadable(SOCKET s, DWORD timeout_ms, ITransferProgress& progress) {
  DWORD waited = 0;
  for (;;) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval tv = {0, static_cast<long>(kPollMs) * 1000};
    int n = ::select(0, &readable, nullptr, nullptr, &tv);
    if (n < 0) return -1;
    if (n > 0) return 1;
    if (progress.PausedThenCancelled()) return -2;
    waited += kPollMs;
    if (timeout_ms && waited >= timeout_ms) return -1;
  }
}

TransferResult ResumingTransfer(const TransferRequest& request, ITransferProgress& progress) {
  PartialFile file;
  if (!file.Open(request.partial_path, /*keep=*/true)) return TransferResult::kFailed;
  // The file on disk is what continues.
  progress.SetCurrentBytes(file.size());
  FtpTarget target;
  if (!CrackFtpUrl(request.url, &target) || target.object.empty()) return TransferResult::kFailed;
  const DWORD timeout = TransferReceiveTimeout();
  zu::UniqueInternet session(
      ::InternetOpenW(kResumeAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
  if (!session) return TransferResult::kFailed;
  SetReceiveTimeout(session.get(), timeout);
  zu::UniqueInternet connection(::InternetConnectW(session.get(), target.server.c_str(), kFtpPort,
                                               kFtpUser, kFtpPassword, INTERNET_SERVICE_FTP, 0, 0));
  if (!connection) return TransferResult::kFailed;
  SetReceiveTimeout(connection.get(), timeout);

  Command(connection.get(), L"TYPE I");
  std::optional<PassiveAddress> data_address = ParsePasvReply(Command(connection.get(), L"PASV"));
  if (!data_address) return TransferResult::kFailed;

  WinsockScope winsock;
  if (!winsock.ok()) return TransferResult::kFailed;
  UniqueSocket data(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  sockaddr_in to = {};
  to.sin_family = AF_INET;
  to.sin_port = ::htons(data_address->port);
  to.sin_addr.s_addr = ::inet_addr(data_address->host.c_str());
  if (!data || ::connect(data.get(), reinterpret_cast<sockaddr*>(&to), sizeof(to)) != 0)
    return TransferResult::kFailed;

  std::string rest = RestCommand(progress.current_bytes());
  if (!ReplyHasCode(Command(connection.get(), std::wstring(rest.begin(), rest.end())), "350"))
    return TransferResult::kFailed;
  // A refused RETR opens no data: waiting for it would only end in the
  // time-out.
  std::string retr = Command(connection.get(), L"RETR " + target.object);
  if (retr.empty() || retr[0] != '1') return TransferResult::kFailed;

  TransferResult result = PumpBlocks(
      [&](char* buffer, std::size_t size) -> long long {
        int ready = WaitReadable(data.get(), timeout, progress);
        if (ready == -2) return 0;  // cancelled: PumpBlocks is told below
        if (ready < 0) return -1;
        int n = ::recv(data.get(), buffer, static_cast<int>(size), 0);
        return n < 0 ? -1 : n;
      },
      kSocketBlockBytes, file, progress);
  if (result == TransferResult::kComplete && progress.PausedThenCancelled())
    result = TransferResult::kCancelled;
  ::shutdown(data.get(), SD_BOTH);
  data.reset();
  if (result != TransferResult::kComplete) return result;
  // The transfer's own end reply comes one command late: an aborted
  // transfer (4xx, 5xx) is a failure, its partial file kept for later.
  std::string end = Command(connection.get(), L"NOOP");
  if (!end.empty() && (end[0] == '4' || end[0] == '5')) return TransferResult::kFailed;
  return TransferResult::kComplete;
}

}  // namespace

TransferResult FtpTransfer(const TransferRequest& request, ITransferProgress& progress) {
  if (progress.resume() &&
      ProxyPreventsFtpResume(InternetUsesProxy(), request.url, ZU_MAKER_FTP_HOST))
    progress.ClearResume();
  return progress.resume() ? ResumingTransfer(request, progress) : PlainTransfer(request, progress);
}
