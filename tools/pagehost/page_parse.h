#pragma once
// The little HTML the page host understands: <object> elements with a class
// id (and <param> children), <script> blocks in JScript, comments. Anything
// else is skipped as markup or text. Strict: what a support page should not
// contain is an error with its line, not a guess.
#include <string>
#include <utility>
#include <variant>
#include <vector>

struct PageObject {
  std::wstring id;
  std::wstring class_id;  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
  std::vector<std::pair<std::wstring, std::wstring>> params;  // name, value
  unsigned line = 0;  // 1-based, of the tag
};

struct PageScript {
  std::wstring text;
  unsigned line = 0;  // 1-based line of the script text's first character
};

using PageItem = std::variant<PageObject, PageScript>;

struct PageParse {
  std::vector<PageItem> items;  // document order
  std::wstring error;           // empty: parsed
  unsigned error_line = 0;
  bool ok() const { return error.empty(); }
};

PageParse ParsePage(const std::wstring& html);

// The text with the character references a page may use ("&amp;", "&lt;",
// "&gt;", "&quot;", "&apos;", "&nbsp;", "&#N;", "&#xN;") replaced; anything
// else that looks like one stays as it is.
std::wstring DecodeCharacterReferences(const std::wstring& text);

// "{...}" from a class id text with or without braces; empty when it is not
// a well-formed GUID.
std::wstring NormalizeClassId(const std::wstring& text);
