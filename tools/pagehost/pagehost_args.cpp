#include "tools/pagehost/pagehost_args.h"

#include "tools/pagehost/page_parse.h"

namespace {

bool EndsWithIgnoringCase(const std::wstring& s, const std::wstring& tail) {
  if (s.size() < tail.size()) return false;
  for (size_t i = 0; i < tail.size(); ++i) {
    wchar_t c = s[s.size() - tail.size() + i];
    if (c >= L'A' && c <= L'Z') c += L'a' - L'A';
    if (c != tail[i]) return false;
  }
  return true;
}

}  // namespace

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
