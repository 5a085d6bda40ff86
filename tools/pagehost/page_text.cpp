#include "tools/pagehost/page_text.h"

#include <map>

#include "common/ascii_case.h"
#include "tools/pagehost/page_parse.h"

namespace {

using zu::FoldAscii;

bool IsSpace(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\f';
}
bool IsLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
bool IsNameChar(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9');
}

// One tag of written markup, read leniently: whatever a browser would
// shrug at is taken as it comes.
struct Tag {
  std::wstring name;  // lower case; "/name" for an end tag
  std::map<std::wstring, std::wstring> attributes;  // names lower case, values decoded
  bool Has(const wchar_t* a) const { return attributes.count(a) != 0; }
  std::wstring Get(const wchar_t* a) const {
    auto it = attributes.find(a);
    return it == attributes.end() ? L"" : it->second;
  }
};

// At "<" of a tag; answers the position after its ">" (or the end).
size_t ReadTag(const std::wstring& s, size_t pos, Tag* tag) {
  size_t i = pos + 1;
  if (i < s.size() && s[i] == L'/') tag->name.push_back(s[i++]);
  while (i < s.size() && IsNameChar(s[i])) tag->name.push_back(FoldAscii(s[i++]));
  for (;;) {
    while (i < s.size() && (IsSpace(s[i]) || s[i] == L'/')) ++i;
    if (i >= s.size()) return i;
    if (s[i] == L'>') return i + 1;
    std::wstring name;
    while (i < s.size() && !IsSpace(s[i]) && s[i] != L'>' && s[i] != L'=' && s[i] != L'/')
      name.push_back(FoldAscii(s[i++]));
    while (i < s.size() && IsSpace(s[i])) ++i;
    std::wstring value;
    if (i < s.size() && s[i] == L'=') {
      ++i;
      while (i < s.size() && IsSpace(s[i])) ++i;
      if (i < s.size() && (s[i] == L'"' || s[i] == L'\'')) {
        size_t end = s.find(s[i], i + 1);
        if (end == std::wstring::npos) end = s.size();
        value = s.substr(i + 1, end - i - 1);
        i = end + 1;
      } else {
        while (i < s.size() && !IsSpace(s[i]) && s[i] != L'>') value.push_back(s[i++]);
      }
    }
    if (!name.empty()) tag->attributes.emplace(name, DecodeCharacterReferences(value));
    if (name.empty() && i < s.size() && s[i] != L'>') ++i;  // a stray character
  }
}

bool IsBlock(const std::wstring& name) {
  static const wchar_t* const kBlocks[] = {
      L"p",  L"div", L"h1",    L"h2",         L"h3",   L"h4", L"h5", L"h6", L"ul",     L"ol",
      L"li", L"tr",  L"table", L"br",         L"hr",   L"form", L"pre", L"dl", L"dt", L"dd",
      L"center", L"blockquote", L"caption", L"body", L"html"};
  std::wstring n = name[0] == L'/' ? name.substr(1) : name;
  for (const wchar_t* b : kBlocks)
    if (n == b) return true;
  return false;
}

class Renderer {
 public:
  std::vector<std::wstring> Run(const std::wstring& html) {
    size_t i = 0;
    while (i < html.size()) {
      if (!skip_until_.empty()) {
        size_t end = FindEndTag(html, i, skip_until_);
        if (end == std::wstring::npos) break;
        skip_until_.clear();
        i = end;
        continue;
      }
      if (html[i] == L'<' && html.compare(i, 4, L"<!--") == 0) {
        size_t end = html.find(L"-->", i + 4);
        i = end == std::wstring::npos ? html.size() : end + 3;
        continue;
      }
      if (html[i] == L'<' && i + 1 < html.size() &&
          (IsLetter(html[i + 1]) || html[i + 1] == L'/' || html[i + 1] == L'!')) {
        Tag tag;
        i = ReadTag(html, i, &tag);
        Handle(tag);
        continue;
      }
      // Text up to the next tag, references decoded.
      size_t next = html.find(L'<', i + 1);
      if (next == std::wstring::npos) next = html.size();
      for (wchar_t c : DecodeCharacterReferences(html.substr(i, next - i))) Put(c);
      i = next;
    }
    EndLine();
    return std::move(lines_);
  }

 private:
  static size_t FindEndTag(const std::wstring& s, size_t from, const std::wstring& name) {
    for (size_t i = s.find(L"</", from); i != std::wstring::npos; i = s.find(L"</", i + 2)) {
      bool match = true;
      for (size_t k = 0; k < name.size() && match; ++k)
        match = i + 2 + k < s.size() && FoldAscii(s[i + 2 + k]) == name[k];
      if (match) {
        size_t close = s.find(L'>', i);
        return close == std::wstring::npos ? s.size() : close + 1;
      }
    }
    return std::wstring::npos;
  }

  void Handle(const Tag& tag) {
    const std::wstring& n = tag.name;
    if (n == L"script" || n == L"style" || n == L"title") {
      skip_until_ = n;
      return;
    }
    if (IsBlock(n)) EndLine();
    if (n == L"tr") cells_ = 0;
    if (n == L"li") Append(L"- ");
    if (n == L"td" || n == L"th") {
      if (cells_++ > 0) Append(L" | ");
    } else if (n == L"input") {
      const std::wstring type = zu::AsciiLower(tag.Get(L"type"));
      if (type == L"checkbox")
        Append(tag.Has(L"checked") ? L"[x] " : L"[ ] ");
      else if (type == L"radio")
        Append(tag.Has(L"checked") ? L"(*) " : L"( ) ");
      else if (type != L"hidden")
        Append(L"[" + tag.Get(L"value") + L"]");
    } else if (n == L"button") {
      Append(L"[");
    } else if (n == L"/button") {
      TrimEnd();
      Append(L"]");
    } else if (n == L"img") {
      Append(tag.Get(L"alt"));
    }
  }

  void Put(wchar_t c) {
    if (IsSpace(c)) {
      // No blank at a line's start or inside a button's "[".
      if (!line_.empty() && line_.back() != L' ' && line_.back() != L'[') line_.push_back(L' ');
      return;
    }
    line_.push_back(c);
  }
  void Append(const std::wstring& text) {
    for (wchar_t c : text) {
      if (c == L' ' && (line_.empty() || line_.back() == L' ')) continue;
      line_.push_back(c);
    }
  }
  void TrimEnd() {
    while (!line_.empty() && line_.back() == L' ') line_.pop_back();
  }
  void EndLine() {
    TrimEnd();
    if (!line_.empty()) lines_.push_back(line_);
    line_.clear();
  }

  std::vector<std::wstring> lines_;
  std::wstring line_;
  std::wstring skip_until_;
  int cells_ = 0;
};

}  // namespace

std::vector<std::wstring> PageTextLines(const std::wstring& html) { return Renderer().Run(html); }

std::wstring PageTitle(const std::wstring& html) {
  const std::wstring lower = zu::AsciiLower(html);
  size_t open = lower.find(L"<title");
  if (open == std::wstring::npos) return L"";
  size_t start = lower.find(L'>', open);
  if (start == std::wstring::npos) return L"";
  size_t end = lower.find(L"</title", start);
  std::wstring raw = html.substr(start + 1, end == std::wstring::npos ? std::wstring::npos : end - start - 1);
  std::wstring out;
  for (wchar_t c : DecodeCharacterReferences(raw)) {
    if (IsSpace(c)) {
      if (!out.empty() && out.back() != L' ') out.push_back(L' ');
    } else {
      out.push_back(c);
    }
  }
  while (!out.empty() && out.back() == L' ') out.pop_back();
  return out;
}
