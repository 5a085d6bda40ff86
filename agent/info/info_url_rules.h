#pragma once
// The rules behind the update information file's address, the probe's user
// agent and the agent's message texts. Plain text work, no platform calls.
#include <cstdint>
#include <string>
#include <string_view>

#include "agent/resource.h"

// The settings the address is built from, as the settings file gives them.
struct InfoURLSettings {
  std::wstring base;                    // "InfoFileURLBase"
  std::wstring use_model_code;          // "UseModelCode"
  std::wstring language;                // "Language"
  std::wstring use_system_ui_language;  // "UseSystemDefaultUILanguage"
};

// Only the exact text "1" switches these on.
bool WantsModelCode(const InfoURLSettings& settings);
bool WantsSystemUILanguage(const InfoURLSettings& settings);

// Upper case (ASCII letters), trailing spaces removed, and every character
// other than A-Z, 0-9, "(", ")", "_" and "-" replaced by "_" (a surrogate
// pair is one character).
std::wstring NormalizeModelName(std::wstring_view name);

// Four or more upper-case hex digits: 0x409 gives "0409".
std::wstring LanguageSuffix(uint16_t language_id);

// base + name + optional "-" suffix + ".xml". model is the model code when
// WantsModelCode, else the raw model name (empty when unreadable);
// ui_language is used only when WantsSystemUILanguage. Nothing is escaped.
std::wstring ComposeInfoFileURL(const InfoURLSettings& settings, std::wstring_view model,
                                uint16_t ui_language);

// Version.txt: at most this many bytes are read; a version text is short.
inline constexpr size_t kVersionFileReadLimit = 4096;
// The first line: up to the first CR, LF or NUL. Stopping at CR as well
// keeps a line break out of the HTTP header the text ends up in.
std::string_view FirstLine(std::string_view bytes);

// The diagnostic message shown before the information file is fetched.
std::wstring DebugInfoFileURLMessage(std::wstring_view real, std::wstring_view test);

// The texts of the agent's messages, for when the resource is missing.
// Empty for an id that is not one of them.
std::wstring DefaultAgentMessageText(unsigned string_id);
inline constexpr unsigned kAgentCaptionId = IDS_APP_TITLE;  // "ZEFO Update"
