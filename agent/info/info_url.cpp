#include "agent/info/info_url.h"

#include <optional>

#include "agent/info/agent_message.h"
#include "agent/info/info_url_rules.h"
#include "agent/info/my_reg_key.h"
#include "agent/info/settings.h"
#include "common/framework/handle.h"
#include "common/identity.h"
#include "common/net/http.h"
#include "common/net/http_rules.h"
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

bool IsURLReachable(const std::wstring& address) {
  return zu::net::IsReachable(
      address, zu::net::UserAgent(zu::net::kProbeAgentPrefix, GetAgentVersion()), kProbeTimeoutMs);
}
