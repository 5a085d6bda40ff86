#include "tools/uiauto/zuui_args.h"

#include <gtest/gtest.h>

namespace zu::ui {
namespace {

std::optional<CliCommand> Parse(std::vector<std::wstring> args) {
  std::wstring error;
  auto cmd = ParseCli(args, &error);
  if (!cmd) {
    EXPECT_FALSE(error.empty());
  }
  return cmd;
}

TEST(ZuuiArgs, ReadsEachCommandWithItsOptions) {
  auto wait = Parse({L"wait", L"--caption", L"ZEFO Update Options", L"--class", L"#32770",
                     L"--timeout", L"250", L"--pid", L"0x1c"});
  ASSERT_TRUE(wait);
  EXPECT_EQ(wait->verb, Verb::kWait);
  EXPECT_EQ(wait->caption, L"ZEFO Update Options");
  EXPECT_EQ(wait->class_name, L"#32770");
  EXPECT_EQ(wait->timeout_ms, 250u);
  EXPECT_EQ(wait->pid, 28u);

  auto press = Parse({L"press", L"--caption", L"X", L"--text", L"&Yes"});
  ASSERT_TRUE(press);
  EXPECT_EQ(press->verb, Verb::kPress);
  EXPECT_FALSE(press->id);
  EXPECT_EQ(press->text.value_or(L""), L"&Yes");
  EXPECT_EQ(press->timeout_ms, 5000u);

  auto check = Parse({L"check", L"--id", L"1001", L"--state", L"0", L"--caption", L"X"});
  ASSERT_TRUE(check);
  EXPECT_EQ(check->id.value_or(-1), 1001);
  EXPECT_FALSE(check->state);

  auto box = Parse({L"msgbox", L"--caption", L"ZEFO Update", L"--press", L"No"});
  ASSERT_TRUE(box);
  EXPECT_EQ(box->press.value_or(L""), L"No");

  auto shot = Parse({L"screenshot", L"C:\\shots\\a b.png"});
  ASSERT_TRUE(shot);
  EXPECT_EQ(shot->file, L"C:\\shots\\a b.png");

  auto close = Parse({L"close", L"--caption", L"ZEFO Update Support - ZUPageHost", L"--timeout", L"0"});
  ASSERT_TRUE(close);
  EXPECT_EQ(close->verb, Verb::kClose);
  EXPECT_EQ(close->timeout_ms, 0u);

  auto windows = Parse({L"windows"});
  ASSERT_TRUE(windows);
  EXPECT_EQ(windows->pid, 0u);

  // A balloon has no fixed caption: its class alone will do.
  auto balloon = Parse({L"wait", L"--class", L"tooltips_class32"});
  ASSERT_TRUE(balloon);
  EXPECT_TRUE(balloon->caption.empty());
}

TEST(ZuuiArgs, RefusesIncompleteOrContradictoryCommands) {
  EXPECT_FALSE(Parse({}));
  EXPECT_FALSE(Parse({L"click", L"--caption", L"X"}));
  EXPECT_FALSE(Parse({L"wait"}));                          // nothing to wait for
  EXPECT_FALSE(Parse({L"close"}));                         // nothing to close
  EXPECT_FALSE(Parse({L"close", L"--caption", L"X", L"--id", L"1"}));
  EXPECT_FALSE(Parse({L"wait", L"--caption", L""}));       // any window at all
  EXPECT_FALSE(Parse({L"wait", L"--caption"}));            // value missing
  EXPECT_FALSE(Parse({L"press", L"--caption", L"X"}));     // neither id nor text
  EXPECT_FALSE(Parse({L"press", L"--caption", L"X", L"--id", L"1", L"--text", L"OK"}));
  EXPECT_FALSE(Parse({L"check", L"--caption", L"X", L"--id", L"1001"}));  // no state
  EXPECT_FALSE(Parse({L"check", L"--caption", L"X", L"--id", L"1001", L"--state", L"2"}));
  EXPECT_FALSE(Parse({L"msgbox", L"--press", L"OK"}));     // no caption
  EXPECT_FALSE(Parse({L"screenshot"}));
  EXPECT_FALSE(Parse({L"screenshot", L"a.png", L"b.png"}));
  EXPECT_FALSE(Parse({L"windows", L"extra"}));
}

TEST(ZuuiArgs, RefusesOptionsTheCommandDoesNotTake) {
  EXPECT_FALSE(Parse({L"windows", L"--caption", L"X"}));
  EXPECT_FALSE(Parse({L"wait", L"--caption", L"X", L"--id", L"1"}));
  EXPECT_FALSE(Parse({L"msgbox", L"--caption", L"X", L"--class", L"Edit"}));
  EXPECT_FALSE(Parse({L"screenshot", L"a.png", L"--timeout", L"5"}));
  EXPECT_FALSE(Parse({L"wait", L"--caption", L"X", L"--tiemout", L"5"}));
}

TEST(ZuuiArgs, NumbersAreWholeAndInRange) {
  auto base = [](const wchar_t* opt, const wchar_t* value) {
    return Parse({L"press", L"--caption", L"X", L"--text", L"OK", opt, value});
  };
  EXPECT_TRUE(base(L"--timeout", L"0"));
  EXPECT_TRUE(base(L"--timeout", L"4294967294"));
  EXPECT_FALSE(base(L"--timeout", L"4294967295"));  // INFINITE: never wait forever
  EXPECT_FALSE(base(L"--timeout", L"-1"));
  EXPECT_FALSE(base(L"--timeout", L"10s"));
  EXPECT_FALSE(base(L"--timeout", L""));
  EXPECT_FALSE(base(L"--timeout", L"0x"));
  EXPECT_FALSE(base(L"--pid", L"99999999999"));

  auto id = [](const wchar_t* value) {
    return Parse({L"press", L"--caption", L"X", L"--id", value});
  };
  EXPECT_EQ(id(L"65535")->id.value_or(0), 0xFFFF);
  EXPECT_EQ(id(L"0xFFFF")->id.value_or(0), 0xFFFF);
  EXPECT_FALSE(id(L"65536"));
  EXPECT_FALSE(id(L"-1"));
  EXPECT_FALSE(id(L"1.5"));
}

}  // namespace
}  // namespace zu::ui
