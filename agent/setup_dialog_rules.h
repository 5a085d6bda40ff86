#pragma once
// Rules of the Options dialog that need no window: what the check boxes
// show for the stored option, what OK does, how the information text is
// split into lines, and where the controls go around a header picture.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// "Pim.txt" is read up to this many bytes; the rest is not shown.
constexpr std::size_t kInfoTextReadLimit = 1 << 20;

// The lines of an ANSI text, each without its line feed (and without a
// carriage return before it). A last line without a line feed counts; an
// empty text has no lines.
std::vector<std::string> SplitAnsiLines(std::string_view text);

// Check boxes 1001 (automatic checking) and 1002 (balloons suppressed) for
// a stored "SuppressBallonPopUp" value.
struct OptionsCheckState {
  bool auto_check = true;        // 1001 checked
  bool suppressed = false;       // 1002 checked
  bool suppressed_enabled = true;
  bool operator==(const OptionsCheckState&) const = default;
};
OptionsCheckState CheckStateFromStored(int stored);

// What OK does with the two switches and the option stored now.
struct OptionsOkStep {
  enum Kind { kWrite, kAskFirst, kNothing } kind = kNothing;
  int value = 0;  // written for kWrite, and for kAskFirst when the answer is yes
  bool operator==(const OptionsOkStep&) const = default;
};
OptionsOkStep DecideOk(bool auto_check, bool suppressed, int stored);

// Dialog client coordinates.
struct LayoutRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  // The same size at (x, y).
  LayoutRect At(int x, int y) const { return {x, y, x + width(), y + height()}; }
  bool operator==(const LayoutRect&) const = default;
};

// The controls the header picture moves, by id.
struct OptionsControls {
  LayoutRect icon_frame;   // 1008
  LayoutRect version;      // 1005
  LayoutRect web_support;  // 1000
  LayoutRect ok;           // 1
  LayoutRect cancel;       // 2
  LayoutRect auto_check;   // 1001
  LayoutRect suppressed;   // 1002
  LayoutRect info_text;    // 1011
  bool operator==(const OptionsControls&) const = default;
};

struct OptionsLayout {
  OptionsControls controls;
  int header_x = 0, header_y = 0;  // where the picture goes
  int separator_y = 0;
  int window_width = 0, window_height = 0;  // outer size
};

// Places the controls around a header picture of width x height pixels.
OptionsLayout LayOutWithHeader(const OptionsControls& template_controls, int width, int height);

// Where the band above the separator ends for a given icon frame.
int SeparatorBelow(const LayoutRect& icon_frame);
