#include "tools/pagehost/pagehost_args.h"

#include "common/ascii_case.h"
#include "tools/pagehost/page_parse.h"

namespace {

bool EndsWithIgnoringCase(std::wstring_view s, std::wstring_view tail) {
  return s.size() >= tail.size() && zu::EqualsIgnoringAsciiCase(s.substr(s.size() - tail.size()), tail);
}

bool StartsWithIgnoringCase(std::wstring_view s, std::wstring_view head) {
  return s.size() >= head.size() && zu::EqualsIgnoringAsciiCase(s.substr(0, head.size()), head);
}

// The path of an address, without its query and fragment.
std::wstring AddressPath(const std::wstring& address) {
  size_t host = address.find(L"//");
  size_t path = address.find(L'/', host == std::wstring::npos ? 0 : host + 2);
  if (path == std::wstring::npos) return L"/";
  size_t end = address.find_first_of(L"?#", path);
  return address.substr(path, end == std::wstring::npos ? std::wstring::npos : end - path);
}

}  // namespace

bool IsWebAddress(const std::wstring& text) {
  return (StartsWithIgnoringCase(text, L"http://") && text.size() > 7) ||
         (StartsWithIgnoringCase(text, L"https://") && text.size() > 8);
}

PageHostArgsResult ParsePageHostArgs(const std::vector<std::wstring>& args) {
  PageHostArgs out;
  bool have_url = false, have_page = false, options_done = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::wstring& a = args[i];
    if (!options_done && a == L"--") {
      options_done = true;
    } else if (!options_done && a == L"--url") {
      if (have_url) return {std::nullopt, L"--url given twice"};
      if (i + 1 >= args.size() || args[i + 1].empty()) return {std::nullopt, L"--url needs an address"};
      out.url = args[++i];
      have_url = true;
    } else if (!options_done && a == L"--frame-url") {
      if (out.frame_url) return {std::nullopt, L"--frame-url given twice"};
      // An empty address is a frame's too (a document written by script).
      if (i + 1 >= args.size()) return {std::nullopt, L"--frame-url needs an address"};
      out.frame_url = args[++i];
    } else if (!options_done && a == L"--no-document-url") {
      out.no_document_url = true;
    } else if (!options_done && a == L"--clsid") {
      if (!out.script_control.empty()) return {std::nullopt, L"--clsid given twice"};
      if (i + 1 >= args.size()) return {std::nullopt, L"--clsid needs a class id"};
      out.script_control = NormalizeClassId(args[++i]);
      if (out.script_control.empty()) return {std::nullopt, L"--clsid needs a class id: " + args[i]};
    } else if (!options_done && a == L"--close-after-run") {
      out.close_after_run = true;
    } else if (!options_done && a == L"--allow-unsafe") {
      out.allow_unsafe = true;
    } else if (!options_done && a.starts_with(L"-") && a.size() > 1) {
      return {std::nullopt, L"unknown option " + a};
    } else {
      if (have_page) return {std::nullopt, L"only one page at a time"};
      out.page = a;
      have_page = true;
    }
  }
  if (!have_page || out.page.empty()) return {std::nullopt, L"no page given"};
  if (out.frame_url && out.no_document_url)
    return {std::nullopt, L"--frame-url and --no-document-url exclude each other"};
  if (IsWebAddress(out.page)) {
    if (have_url) return {std::nullopt, L"a page fetched from an address runs with that address"};
    if (!out.script_control.empty()) return {std::nullopt, L"--clsid is for .js files"};
    out.from_address = true;
    out.url = out.page;
    out.kind = EndsWithIgnoringCase(AddressPath(out.page), L".js") ? PageKind::kScript : PageKind::kHtml;
    return {out, L""};
  }
  if (out.close_after_run) return {std::nullopt, L"--close-after-run is for pages fetched from an address"};
  if (EndsWithIgnoringCase(out.page, L".js"))
    out.kind = PageKind::kScript;
  else if (EndsWithIgnoringCase(out.page, L".htm") || EndsWithIgnoringCase(out.page, L".html"))
    out.kind = PageKind::kHtml;
  else
    return {std::nullopt, L"the page must end in .htm, .html or .js: " + out.page};
  if (!out.script_control.empty() && out.kind != PageKind::kScript)
    return {std::nullopt, L"--clsid is for .js files; a page names its own objects"};
  return {out, L""};
}
