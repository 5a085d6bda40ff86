#pragma once
// The page host's command line:
//   ZUPageHost [--url ADDRESS] [--frame-url ADDRESS | --no-document-url]
//              [--allow-unsafe] [--clsid GUID] PAGE
//   ZUPageHost [--close-after-run] [--frame-url ADDRESS | --no-document-url]
//              [--allow-unsafe] http(s)://PAGE-ADDRESS
// PAGE is an HTML page (".htm", ".html") or a JScript file (".js"); a
// script file gets the control of class GUID (default: ZUAX) as "zuax".
// --frame-url runs the page as a frame document with that address inside
// the top-level page --url; --no-document-url leaves the document without
// an address its controls can read.
// Given a web address instead, the host is a browser: it fetches the page,
// runs it with that address in a window of its own and stays until the
// window is closed (--close-after-run: until the page's scripts have run).
// An address whose path ends in ".js" is a script file, any other a page.
#include <optional>
#include <string>
#include <vector>

enum class PageKind { kHtml, kScript };

struct PageHostArgs {
  std::wstring url;  // empty: the page's own file address
  bool from_address = false;  // page is a web address to fetch
  bool close_after_run = false;
  std::optional<std::wstring> frame_url;  // the document's own address, when a frame
  bool no_document_url = false;
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

// True for an http or https address (the scheme in any case).
bool IsWebAddress(const std::wstring& text);

inline constexpr wchar_t kPageHostUsage[] =
    L"usage: ZUPageHost [--url ADDRESS] [--frame-url ADDRESS | --no-document-url]\n"
    L"                  [--allow-unsafe] [--clsid GUID] PAGE.html|PAGE.js\n"
    L"       ZUPageHost [--close-after-run] [--frame-url ADDRESS | --no-document-url]\n"
    L"                  [--allow-unsafe] http(s)://ADDRESS\n"
    L"exit code 0: the script ran to its end; 1: it failed or threw, or the page\n"
    L"could not be fetched; 2: bad arguments\n";
