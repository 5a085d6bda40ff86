#include "control/version_text.h"

std::string FirstVersionLine(const std::string& head) {
  const std::string first = head.substr(0, kVersionTextBytes);
  return first.substr(0, first.find_first_of(std::string("\r\n\0", 3)));
}
