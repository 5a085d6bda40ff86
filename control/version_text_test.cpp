#include "control/version_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(VersionText, FirstLineOfAtMost128Bytes) {
  const std::string long_line(200, '7');
  struct Case {
    std::string head, line;
  } const cases[] = {
      {"1.02.0003\r\nsecond", "1.02.0003"},
      {"1.0\nsecond", "1.0"},
      {"1.0\rsecond", "1.0"},
      {"1.0", "1.0"},
      {"\r\n1.0", ""},
      {std::string("1.0\0tail", 8), "1.0"},
      {"caf\xe9 2.0\r\n", "caf\xe9 2.0"},  // bytes above 0x7F stay for the code page
      {long_line, std::string(128, '7')},
      {std::string(127, 'a') + "\r\n", std::string(127, 'a')},
      {std::string(128, 'a') + "\r\n", std::string(128, 'a')},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.line, FirstVersionLine(c.head)) << c.head;
}

}  // namespace
