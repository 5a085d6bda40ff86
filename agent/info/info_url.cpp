#include "agent/info/info_url.h"

#include <wininet.h>

#include <vector>

#include "agent/info/agent_message.h"
#include "agent/info/info_url_rules.h"
#include "agent/info/my_reg_key.h"
#include "agent/info/settings.h"
#include "common/framework/handle.h"
#include "common/identity.h"
#include "common/platform.h"

std::wstring BuildInfoFileURL() {
  InfoURLSettings settings{ReadInfoFileURLBase(), ReadUseModelCode(), ReadLanguage(),
                           ReadUseSystemDefaultUILanguage()};
  // Ask WMI only for the identity part the settings choose.
  std::wstring model;
  bool read = WantsModelCode(settings) ? GetModelCode(&model) : GetModelName(&model);
  if (!read) model.clear();
  uint16_t ui_language = WantsSystemUILanguage(settings) ? ::GetSystemDefaultUILanguage() : 0;
  return ComposeInfoFileURL(settings, model, ui_language);
}

std::wstring ApplyDebugInfoFileURL(const std::wstring& real) {
  CMyRegKey reg;
  std::wstring test;
  if (!reg.GetDebugInfoFileURL(&test) || test.empty()) test = real;
  if (reg.IsDebugShowMessageBox()) ShowAgentDiagnostic(DebugInfoFileURLMessage(real, test));
  return test;
}

std::wstring ResolveInfoFileURL() { return ApplyDebugInfoFileURL(BuildInfoFileURL()); }

namespace {


}  // namespace

std::wstring ReadVersionText(const std::wstring& path) {
  zu::UniqueResource<zu::FileHandleTraits> file(
      ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return L"";
  std::string bytes(kVersionFileReadLimit, '\0');
  size_t have = 0;
  while (have < bytes.size()) {
    DWORD got = 0;
    if (!::ReadFile(file.get(), bytes.data() + have, static_cast<DWORD>(bytes.size() - have), &got,
                    nullptr) ||
        got == 0)
      break;
    have += got;
  }
  bytes.resize(have);
  std::string_view line = FirstLine(bytes);
  if (line.empty()) return L"";
  int n = ::MultiByteToWideChar(CP_ACP, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
  if (n <= 0) return L"";
  std::wstring text(n, L'\0');
  n = ::MultiByteToWideChar(CP_ACP, 0, line.data(), static_cast<int>(line.size()), text.data(), n);
  text.resize(n > 0 ? n : 0);
  return text;
}

std::wstring GetAgentVersion() {
  std::wstring folder = ExecutableFolder();
  if (folder.empty()) return L"";
  return ReadVersionText(folder + L"\\Version.txt");
}

namespace {

struct InternetHandleTraits {
  using Type = HINTERNET;
  static HINTERNET Invalid() { return nullptr; }
  static bool Valid(HINTERNET h) { return h != nullptr; }
  static void Close(HINTERNET h) { ::InternetCloseHandle(h); }
};
using UniqueInternet = zu::UniqueResource<InternetHandleTraits>;

constexpr DWORD_PTR kProbeContext = 1;

// Wine ignores the time-outs on the session handle and honours them on the
// connect and request handles; Windows takes them everywhere.
void SetTimeouts(HINTERNET handle, DWORD ms) {
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                       INTERNET_OPTION_RECEIVE_TIMEOUT})
    ::InternetSetOptionW(handle, option, &ms, sizeof(ms));
}

std::wstring Part(const wchar_t* text, DWORD length) {
  return text ? std::wstring(text, length) : std::wstring();
}

}  // namespace

namespace {

// One GET without following redirects. False when no HTTP answer came;
// otherwise the status and, for a redirect, the Location header.
bool GetOnce(HINTERNET session, const std::wstring& address, DWORD timeout_ms, DWORD* status,
             std::wstring* location) {
  URL_COMPONENTSW parts{};
  parts.dwStructSize = sizeof(parts);
  parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUserNameLength = 1;
  parts.dwPasswordLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = 1;
  if (address.empty() || !::InternetCrackUrlW(address.c_str(), 0, 0, &parts)) return false;
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) return false;
  std::wstring host = Part(parts.lpszHostName, parts.dwHostNameLength);
  if (host.empty()) return false;
  std::wstring object = Part(parts.lpszUrlPath, parts.dwUrlPathLength) +
                        Part(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  object = object.substr(0, object.find(L'#'));  // a fragment is not sent
  if (object.empty()) object = L"/";
  std::wstring user = Part(parts.lpszUserName, parts.dwUserNameLength);
  std::wstring password = Part(parts.lpszPassword, parts.dwPasswordLength);

  UniqueInternet connection(::InternetConnectW(
      session, host.c_str(), parts.nPort, user.empty() ? nullptr : user.c_str(),
      password.empty() ? nullptr : password.c_str(), INTERNET_SERVICE_HTTP, 0, kProbeContext));
  if (!connection) return false;
  SetTimeouts(connection.get(), timeout_ms);

  // Always ask the server itself: a cached answer says nothing about now.
  DWORD flags = INTERNET_FLAG_TRANSFER_BINARY | INTERNET_FLAG_RELOAD |
                INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTO_REDIRECT;
  if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
  UniqueInternet request(::HttpOpenRequestW(connection.get(), L"GET", object.c_str(), nullptr,
                                            nullptr, nullptr, flags, kProbeContext));
  if (!request) return false;
  SetTimeouts(request.get(), timeout_ms);
  if (!::HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0)) return false;

  DWORD size = sizeof(*status);
  if (!::HttpQueryInfoW(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, status,
                        &size, nullptr))
    return false;
  location->clear();
  std::vector<wchar_t> text(2048);
  size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (::HttpQueryInfoW(request.get(), HTTP_QUERY_LOCATION, text.data(), &size, nullptr))
    location->assign(text.data(), size / sizeof(wchar_t));
  return true;
}

bool IsRedirect(DWORD status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The redirect target, relative ones taken against the current address.
std::wstring Combine(const std::wstring& base, const std::wstring& location) {
  std::vector<wchar_t> out(4096);
  DWORD n = static_cast<DWORD>(out.size());
  if (!::InternetCombineUrlW(base.c_str(), location.c_str(), out.data(), &n, ICU_NO_ENCODE))
    return L"";
  return std::wstring(out.data(), n);
}

}  // namespace

bool ProbeURL(const std::wstring& address, const std::wstring& user_agent, DWORD timeout_ms) {
  UniqueInternet session(
      ::InternetOpenW(user_agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) return false;
  SetTimeouts(session.get(), timeout_ms);
  // Redirects are followed here, and only so far: left to itself Wine
  // follows a redirect loop for ever.
  std::wstring current = address;
  for (int hop = 0; hop <= kProbeMaxRedirects; ++hop) {
    DWORD status = 0;
    std::wstring location;
    if (!GetOnce(session.get(), current, timeout_ms, &status, &location)) return false;
    if (!IsRedirect(status) || location.empty()) return status == 200;
    current = Combine(current, location);
    if (current.empty()) return false;
  }
  return false;
}

bool IsURLReachable(const std::wstring& address) {
  return ProbeURL(address, MakeUserAgent(GetAgentVersion()));
}
