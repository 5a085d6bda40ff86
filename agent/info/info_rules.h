#pragma once
// Rules of the update information file that do not need the document or
// Windows: choosing an element for this PC's operating system, the
// serial-number ranges of the redirects, the component lists of the
// downloadable modules and the interval text. Plain C++ so that they can be
// tested on tables of cases.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// "Vista" above major version 5, "XP" at 5, empty before.
std::wstring OsTagForMajorVersion(unsigned major_version);

// The choice among the elements of one tag, fed in document order. An
// element whose parent has no "OS" is a default (the last one wins); one
// whose parent's "OS" equals the tag (ignoring case) is the answer at once;
// any other "OS" does not apply.
class COsSelection {
 public:
  explicit COsSelection(std::wstring os_tag) : os_tag_(std::move(os_tag)) {}
  // parent_os is null when the parent has no "OS" attribute. True once the
  // answer is known: the caller stops feeding.
  bool Offer(const std::wstring& text, const std::wstring* parent_os);
  // The specific match, else the last default, else none.
  std::optional<std::wstring> Result() const;

 private:
  std::wstring os_tag_;
  std::optional<std::wstring> default_;
  std::optional<std::wstring> match_;
};

// One element as the selection sees it.
struct OsCandidate {
  std::wstring text;
  std::optional<std::wstring> parent_os;
};
std::optional<std::wstring> SelectForOS(const std::vector<OsCandidate>& elements,
                                        const std::wstring& os_tag);

// One item of a serial range: "A100-A199", "B500-" (no upper end) or
// "C123" (that serial alone). The first "-" divides low from high.
struct SerialRangeItem {
  std::wstring low;
  std::wstring high;  // empty: no upper end
};
SerialRangeItem ParseSerialRangeItem(std::wstring_view item);

// Ordinal comparison of UTF-16 code units (a prefix sorts first).
int CompareOrdinal(std::wstring_view a, std::wstring_view b);

// Whether the serial lies in one of the comma-separated items, examined
// from the last to the first. An empty item (and so an empty range)
// matches every serial.
bool MatchSerialRange(std::wstring_view serial, std::wstring_view range);

// The comma-separated component list of a downloadable module, split at
// every "," without trimming; an empty text is one empty entry.
std::vector<std::wstring> SplitComponentList(std::wstring_view text);

// Whether one "esdmodule" applies: its parent's "OS" (when present) equals
// the tag, its own "spid" (when not empty) is not installed, it has a first
// child element (list_text present) and one of the listed components is
// installed. An empty identifier is never asked about.
bool EsdModuleApplies(const std::wstring& spid, const std::optional<std::wstring>& parent_os,
                      const std::wstring& os_tag, const std::optional<std::wstring>& list_text,
                      const std::function<bool(const std::wstring&)>& is_installed);

// Whether an address from the information file or the settings file may be
// stored, loaded or opened: it begins with "http://" or "https://", case
// ignored. Any other scheme (file:, javascript:, a program's path) would
// reach the browser or the shell as it stands.
bool IsWebAddress(std::wstring_view address);

// The interval in days that an "interval" text gives: its leading decimal
// number (ASCII blanks before it are skipped, as the start-up conversion of
// the stored text does). None when the text does not begin with digits or
// the number does not fit a 32-bit int; such a text names no interval.
std::optional<int> IntervalDaysFromText(std::wstring_view text);
