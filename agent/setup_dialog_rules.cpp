#include "agent/setup_dialog_rules.h"

std::vector<std::string> SplitAnsiLines(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

OptionsCheckState CheckStateFromStored(int stored) {
  if (stored == 2) return {false, false, false};
  return {true, stored == 1, true};
}

OptionsOkStep DecideOk(bool auto_check, bool suppressed, int stored) {
  if (auto_check) return {OptionsOkStep::kWrite, suppressed ? 1 : 0};
  if (stored != 2) return {OptionsOkStep::kAskFirst, 2};
  return {OptionsOkStep::kNothing, 2};
}

int SeparatorBelow(const LayoutRect& icon_frame) { return icon_frame.bottom + 11; }

OptionsLayout LayOutWithHeader(const OptionsControls& t, int width, int height) {
  OptionsLayout out;
  OptionsControls& c = out.controls;
  c = t;
  out.header_x = 2;
  out.header_y = t.info_text.top;

  c.icon_frame = t.icon_frame.At(20, height + 10);
  c.version = t.version.At(c.icon_frame.right + 20, height + 15);
  out.separator_y = SeparatorBelow(c.icon_frame);
  c.web_support = t.web_support.At(c.icon_frame.left + 10, height + 70);
  c.ok = t.ok.At(t.ok.left + width, c.web_support.top);
  c.cancel = t.cancel.At(t.cancel.left + width, c.web_support.top);
  c.suppressed = t.suppressed.At(t.suppressed.left + width - 12, t.suppressed.top);
  c.auto_check = t.auto_check.At(t.auto_check.left + width - 12, t.auto_check.top);
  c.info_text = t.info_text.At(t.info_text.left + width - 12, t.info_text.top);

  out.window_width = c.info_text.right + 30;
  out.window_height = c.web_support.bottom + 50;
  return out;
}
