#include "tools/pagehost/page_parse.h"

#include <optional>
#include <set>

#include "common/ascii_case.h"

namespace {

using zu::AsciiLower;
using zu::FoldAscii;

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
bool IsSpace(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\f';
}
bool IsHex(wchar_t c) {
  return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

struct Tag {
  std::wstring name;  // lower case, "/name" for an end tag
  std::vector<std::pair<std::wstring, std::wstring>> attributes;  // names lower case
  unsigned line = 0;
  const std::wstring* Find(const wchar_t* attribute) const {
    for (const auto& [name, value] : attributes)
      if (name == attribute) return &value;
    return nullptr;
  }
};

}  // namespace

std::wstring DecodeCharacterReferences(const std::wstring& s) {
  std::wstring out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != L'&') {
      out.push_back(s[i]);
      continue;
    }
    size_t end = s.find(L';', i);
    if (end == std::wstring::npos || end - i > 10) {
      out.push_back(s[i]);
      continue;
    }
    std::wstring name = s.substr(i + 1, end - i - 1);
    wchar_t c = 0;
    if (name == L"amp") c = L'&';
    else if (name == L"lt") c = L'<';
    else if (name == L"gt") c = L'>';
    else if (name == L"quot") c = L'"';
    else if (name == L"apos") c = L'\'';
    else if (name == L"nbsp") c = L' ';
    else if (name.size() > 1 && name[0] == L'#') {
      bool hex = name[1] == L'x' || name[1] == L'X';
      std::wstring digits = name.substr(hex ? 2 : 1);
      unsigned long v = 0;
      bool ok = !digits.empty();
      for (wchar_t d : digits) {
        if (hex ? !IsHex(d) : !(d >= L'0' && d <= L'9')) ok = false;
        if (!ok || v > 0xFFFF) break;
        v = v * (hex ? 16 : 10) + (d <= L'9' ? d - L'0' : FoldAscii(d) - L'a' + 10);
      }
      if (ok && v > 0 && v <= 0xFFFF) c = static_cast<wchar_t>(v);
    }
    if (c == 0) {
      out.push_back(s[i]);
      continue;
    }
    out.push_back(c);
    i = end;
  }
  return out;
}

namespace {

class Parser {
 public:
  explicit Parser(const std::wstring& html) : s_(html) {}

  PageParse Run() {
    while (pos_ < s_.size() && result_.ok()) {
      if (s_[pos_] != L'<') {
        Advance(1);
        continue;
      }
      if (StartsWith(L"<!--")) {
        SkipComment();
      } else if (StartsWith(L"<!") || StartsWith(L"<?")) {
        SkipDeclaration();
      } else if (pos_ + 1 < s_.size() &&
                 (IsAsciiLetter(s_[pos_ + 1]) ||
                  (s_[pos_ + 1] == L'/' && pos_ + 2 < s_.size() && IsAsciiLetter(s_[pos_ + 2])))) {
        Tag tag;
        if (!ReadTag(&tag)) break;
        Handle(tag);
      } else {
        Advance(1);  // a lone "<" in text
      }
    }
    if (result_.ok() && object_) Fail(L"<object> without </object>", object_->line);
    return std::move(result_);
  }

 private:
  bool StartsWith(const wchar_t* text) const {
    for (size_t i = 0; text[i]; ++i)
      if (pos_ + i >= s_.size() || FoldAscii(s_[pos_ + i]) != text[i]) return false;
    return true;
  }
  void Advance(size_t n) {
    for (size_t i = 0; i < n && pos_ < s_.size(); ++i)
      if (s_[pos_++] == L'\n') ++line_;
  }
  void Fail(const std::wstring& message, unsigned line) {
    if (!result_.ok()) return;
    result_.error = message;
    result_.error_line = line;
  }

  void SkipComment() {
    unsigned start = line_;
    size_t end = s_.find(L"-->", pos_ + 4);
    if (end == std::wstring::npos) {
      Fail(L"comment without -->", start);
      pos_ = s_.size();
      return;
    }
    Advance(end + 3 - pos_);
  }

  void SkipDeclaration() {
    unsigned start = line_;
    size_t end = s_.find(L'>', pos_);
    if (end == std::wstring::npos) {
      Fail(L"markup declaration without >", start);
      pos_ = s_.size();
      return;
    }
    Advance(end + 1 - pos_);
  }

  // At "<": reads the whole tag and leaves pos_ after its ">".
  bool ReadTag(Tag* tag) {
    tag->line = line_;
    Advance(1);
    if (s_[pos_] == L'/') {
      tag->name.push_back(L'/');
      Advance(1);
    }
    while (pos_ < s_.size() && (IsAsciiLetter(s_[pos_]) || IsDigit(s_[pos_]))) {
      tag->name.push_back(FoldAscii(s_[pos_]));
      Advance(1);
    }
    for (;;) {
      while (pos_ < s_.size() && IsSpace(s_[pos_])) Advance(1);
      if (pos_ >= s_.size()) {
        Fail(L"tag <" + tag->name + L"> without >", tag->line);
        return false;
      }
      wchar_t c = s_[pos_];
      if (c == L'>') {
        Advance(1);
        return true;
      }
      if (c == L'/' && pos_ + 1 < s_.size() && s_[pos_ + 1] == L'>') {
        Advance(2);
        return true;
      }
      if (c == L'"' || c == L'\'' || c == L'=' || c == L'<') {
        Fail(L"unexpected character in tag <" + tag->name + L">", line_);
        return false;
      }
      std::wstring name;
      while (pos_ < s_.size() && !IsSpace(s_[pos_]) && s_[pos_] != L'>' && s_[pos_] != L'=' &&
             !(s_[pos_] == L'/' && pos_ + 1 < s_.size() && s_[pos_ + 1] == L'>')) {
        name.push_back(FoldAscii(s_[pos_]));
        Advance(1);
      }
      while (pos_ < s_.size() && IsSpace(s_[pos_])) Advance(1);
      std::wstring value;
      if (pos_ < s_.size() && s_[pos_] == L'=') {
        Advance(1);
        while (pos_ < s_.size() && IsSpace(s_[pos_])) Advance(1);
        if (pos_ < s_.size() && (s_[pos_] == L'"' || s_[pos_] == L'\'')) {
          wchar_t quote = s_[pos_];
          unsigned start = line_;
          size_t end = s_.find(quote, pos_ + 1);
          if (end == std::wstring::npos) {
            Fail(L"attribute " + name + L" without closing quote", start);
            return false;
          }
          value = s_.substr(pos_ + 1, end - pos_ - 1);
          Advance(end + 1 - pos_);
        } else {
          while (pos_ < s_.size() && !IsSpace(s_[pos_]) && s_[pos_] != L'>') {
            if (s_[pos_] == L'"' || s_[pos_] == L'\'' || s_[pos_] == L'<' || s_[pos_] == L'=') {
              Fail(L"unexpected character in attribute " + name, line_);
              return false;
            }
            value.push_back(s_[pos_]);
            Advance(1);
          }
        }
      }
      for (const auto& seen : tag->attributes)
        if (seen.first == name) {
          Fail(L"attribute " + name + L" given twice", tag->line);
          return false;
        }
      tag->attributes.emplace_back(name, DecodeCharacterReferences(value));
    }
  }

  void Handle(const Tag& tag) {
    if (tag.name == L"script") return HandleScript(tag);
    if (tag.name == L"object") return HandleObject(tag);
    if (tag.name == L"param") return HandleParam(tag);
    if (tag.name == L"/object") {
      if (!object_) return Fail(L"</object> without <object>", tag.line);
      result_.items.emplace_back(std::move(*object_));
      object_.reset();
      return;
    }
    if (tag.name == L"/script") return Fail(L"</script> without <script>", tag.line);
  }

  void HandleScript(const Tag& tag) {
    if (object_) return Fail(L"<script> inside <object>", tag.line);
    if (tag.Find(L"src")) return Fail(L"<script src> is not supported", tag.line);
    const std::wstring* type = tag.Find(L"type");
    const std::wstring* language = tag.Find(L"language");
    if (type) {
      std::wstring t = AsciiLower(*type);
      if (t != L"text/javascript" && t != L"application/javascript" && t != L"text/jscript")
        return Fail(L"script type \"" + *type + L"\" is not JScript", tag.line);
    }
    if (language) {
      std::wstring l = AsciiLower(*language);
      if (l != L"javascript" && l != L"jscript")
        return Fail(L"script language \"" + *language + L"\" is not JScript", tag.line);
    }
    // The text runs to the first "</script", whatever it looks like.
    size_t end = pos_;
    for (;; ++end) {
      end = s_.find(L"</", end);
      if (end == std::wstring::npos) return Fail(L"<script> without </script>", tag.line);
      if (AsciiLower(s_.substr(end, 8)) == L"</script") break;
    }
    PageScript script;
    script.line = line_;
    script.text = s_.substr(pos_, end - pos_);
    Advance(end - pos_);
    Tag close;
    if (!ReadTag(&close)) return;
    result_.items.emplace_back(std::move(script));
  }

  void HandleObject(const Tag& tag) {
    if (object_) return Fail(L"<object> inside <object>", tag.line);
    const std::wstring* id = tag.Find(L"id");
    const std::wstring* class_id = tag.Find(L"classid");
    if (!id || id->empty()) return Fail(L"<object> without id", tag.line);
    for (wchar_t c : *id)
      if (!(IsAsciiLetter(c) || IsDigit(c) || c == L'_' || c == L'$'))
        return Fail(L"<object> id \"" + *id + L"\" is not a script name", tag.line);
    if (IsDigit((*id)[0]))
      return Fail(L"<object> id \"" + *id + L"\" is not a script name", tag.line);
    if (!ids_.insert(*id).second) return Fail(L"<object> id \"" + *id + L"\" used twice", tag.line);
    if (!class_id) return Fail(L"<object> without classid", tag.line);
    std::wstring guid;
    if (AsciiLower(class_id->substr(0, 6)) == L"clsid:") guid = NormalizeClassId(class_id->substr(6));
    if (guid.empty())
      return Fail(L"<object> classid \"" + *class_id + L"\" is not \"clsid:\" and a GUID", tag.line);
    object_ = PageObject{*id, guid, {}, tag.line};
  }

  void HandleParam(const Tag& tag) {
    if (!object_) return Fail(L"<param> outside <object>", tag.line);
    const std::wstring* name = tag.Find(L"name");
    if (!name || name->empty()) return Fail(L"<param> without name", tag.line);
    const std::wstring* value = tag.Find(L"value");
    object_->params.emplace_back(*name, value ? *value : std::wstring());
  }

  const std::wstring& s_;
  size_t pos_ = 0;
  unsigned line_ = 1;
  PageParse result_;
  std::optional<PageObject> object_;
  std::set<std::wstring> ids_;
};

}  // namespace

std::wstring NormalizeClassId(const std::wstring& text) {
  std::wstring t = text;
  if (t.size() == 38 && t.front() == L'{' && t.back() == L'}') t = t.substr(1, 36);
  if (t.size() != 36) return L"";
  for (size_t i = 0; i < t.size(); ++i) {
    bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash ? t[i] != L'-' : !IsHex(t[i])) return L"";
  }
  return L"{" + t + L"}";
}

PageParse ParsePage(const std::wstring& html) { return Parser(html).Run(); }
