#pragma once
// The page host's command line:
//   ZUPageHost [--url ADDRESS] [--allow-unsafe] [--clsid GUID] PAGE
// PAGE is an HTML page (".htm", ".html") or a JScript file (".js"); a
// script file gets the control of class GUID (default: ZUAX) as "zuax".
#include <optional>
#include <string>
#include <vector>

enum class PageKind { kHtml, kScript };

struct PageHostArgs {
  std::wstring url;  // empty: the page's own file address
  std::wstring page;
  PageKind kind = PageKind::kHtml;
  bool allow_unsafe = false;  // script objects not marked safe for scripting
  std::wstring script_control;  // "{...}" for --clsid; empty: ZUAX
};

struct PageHostArgsResult {
  std::optional<PageHostArgs> args;
  std::wstring error;  // when args is empty
};

PageHostArgsResult ParsePageHostArgs(const std::vector<std::wstring>& args);

inline constexpr wchar_t kPageHostUsage[] =
    L"usage: ZUPageHost [--url ADDRESS] [--allow-unsafe] [--clsid GUID] PAGE.html|PAGE.js\n"
    L"exit code 0: the script ran to its end; 1: it failed or threw; 2: bad arguments\n";
