#include "agent/info/info_url_rules.h"

#include <cstdio>

bool WantsModelCode(const InfoURLSettings& settings) { return settings.use_model_code == L"1"; }

bool WantsSystemUILanguage(const InfoURLSettings& settings) {
  return settings.use_system_ui_language == L"1";
}

namespace {

bool Allowed(wchar_t c) {
  return (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'(' || c == L')' ||
         c == L'_' || c == L'-';
}

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::wstring NormalizeModelName(std::wstring_view name) {
  size_t end = name.find_last_not_of(L' ');
  name = end == std::wstring_view::npos ? std::wstring_view() : name.substr(0, end + 1);
  std::wstring out;
  out.reserve(name.size());
  for (size_t i = 0; i < name.size(); ++i) {
    wchar_t c = name[i];
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    if (Allowed(c)) {
      out += c;
      continue;
    }
    out += L'_';
    if (IsHighSurrogate(c) && i + 1 < name.size() && IsLowSurrogate(name[i + 1])) ++i;
  }
  return out;
}

std::wstring LanguageSuffix(uint16_t language_id) {
  wchar_t text[8];
  std::swprintf(text, 8, L"%04X", static_cast<unsigned>(language_id));
  return text;
}

std::wstring ComposeInfoFileURL(const InfoURLSettings& settings, std::wstring_view model,
                                uint16_t ui_language) {
  std::wstring name = WantsModelCode(settings) ? std::wstring(model) : NormalizeModelName(model);
  if (WantsSystemUILanguage(settings))
    name += L"-" + LanguageSuffix(ui_language);
  else if (settings.language != L"NONE")
    name += L"-" + settings.language;
  return settings.base + name + L".xml";
}

std::string_view FirstLine(std::string_view bytes) {
  return bytes.substr(0, bytes.find_first_of(std::string_view("\r\n\0", 3)));
}

std::wstring DebugInfoFileURLMessage(std::wstring_view real, std::wstring_view test) {
  std::wstring text =
      L"This message is just shown to confirm ZU is trying to access XML file!\n\n"
      L"The real info file's URL is\n";
  text += real;
  text += L"\n\nTest URL is\n";
  text += test;
  text +=
      L"\n\nYou can change the test URL here:\n"
      L"HKEY_CURRENT_USER\\Software\\Vexa Corporation\\ZEFO Update\\4.0---> [_Debug_InfoFileURL]";
  return text;
}

std::wstring DefaultAgentMessageText(unsigned string_id) {
  switch (string_id) {
    case IDS_ALREADY_STARTED: return L"ZEFO Update has been started.";
    case IDS_APP_TITLE: return L"ZEFO Update";
    case IDS_NOT_CONNECTED:
      return L"You are currently not connected to the Internet. Please connect and try again.";
    case IDS_SERVER_UNREACHABLE: return L"The server could not be accessed. Please try again.";
    case IDS_BAD_FORMAT: return L"This file format is incorrect.";
    case IDS_SUPPORT_PAGE_FAILED: return L"The support page failed to open. Please try again.";
    case IDS_CLOCK_ERROR: return L"System time error!";
    default: return L"";
  }
}
