#include "tests/support/text.h"

namespace zu::test {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

void AppendWide(char32_t c, std::wstring* out) {
  if (sizeof(wchar_t) == 2 && c >= 0x10000) {
    c -= 0x10000;
    out->push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
    out->push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
  } else {
    out->push_back(static_cast<wchar_t>(c));
  }
}

bool IsHigh(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::string Utf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = static_cast<char32_t>(text[i]);
    if (IsHigh(c) && i + 1 < text.size() && IsLow(static_cast<char32_t>(text[i + 1]))) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
      ++i;
    } else if (IsHigh(c) || IsLow(c) || c > 0x10FFFF) {
      c = kReplacement;
    }
    AppendUtf8(c, &out);
  }
  return out;
}

std::wstring Utf16(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    // Sequence length, the bits of the lead byte, and the least value that
    // needs this length.
    size_t length = 0;
    char32_t c = 0, least = 0;
    if (lead < 0x80) {
      length = 1;
      c = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      c = lead & 0x1F;
      least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      c = lead & 0x0F;
      least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      c = lead & 0x07;
      least = 0x10000;
    }
    size_t taken = 1;
    bool ok = length != 0;
    for (; ok && taken < length; ++taken) {
      if (i + taken >= text.size()) {
        ok = false;
        break;
      }
      const unsigned char next = static_cast<unsigned char>(text[i + taken]);
      if ((next & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      c = (c << 6) | (next & 0x3F);
    }
    // Over-long forms, surrogates and values past U+10FFFF are malformed.
    if (ok && (c < least || IsHigh(c) || IsLow(c) || c > 0x10FFFF)) ok = false;
    AppendWide(ok ? c : kReplacement, &out);
    i += taken;
  }
  return out;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

}  // namespace zu::test
