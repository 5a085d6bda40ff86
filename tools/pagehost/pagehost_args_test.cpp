#include "tools/pagehost/pagehost_args.h"

#include <gtest/gtest.h>

namespace {

TEST(ParsePageHostArgs, PageWithAddressAndOptions) {
  PageHostArgsResult r = ParsePageHostArgs({L"--url", L"https://support.vexa.example/", L"a.HTML"});
  ASSERT_TRUE(r.args) << r.error;
  EXPECT_EQ(r.args->url, L"https://support.vexa.example/");
  EXPECT_EQ(r.args->page, L"a.HTML");
  EXPECT_EQ(r.args->kind, PageKind::kHtml);
  EXPECT_FALSE(r.args->allow_unsafe);

  r = ParsePageHostArgs({L"C:\\t\\check.JS", L"--allow-unsafe"});
  ASSERT_TRUE(r.args) << r.error;
  EXPECT_EQ(r.args->kind, PageKind::kScript);
  EXPECT_TRUE(r.args->allow_unsafe);
  EXPECT_EQ(r.args->url, L"");

  r = ParsePageHostArgs({L"--clsid", L"ee09b103-97e0-11cf-978f-00a02463e06f", L"x.js"});
  ASSERT_TRUE(r.args) << r.error;
  EXPECT_EQ(r.args->script_control, L"{ee09b103-97e0-11cf-978f-00a02463e06f}");

  r = ParsePageHostArgs({L"--", L"-odd.htm"});
  ASSERT_TRUE(r.args) << r.error;
  EXPECT_EQ(r.args->page, L"-odd.htm");
  EXPECT_FALSE(r.args->frame_url);
  EXPECT_FALSE(r.args->no_document_url);
}

TEST(ParsePageHostArgs, FrameDocuments) {
  PageHostArgsResult r = ParsePageHostArgs(
      {L"--url", L"https://support.vexa.example/", L"--frame-url", L"about:blank", L"f.js"});
  ASSERT_TRUE(r.args) << r.error;
  EXPECT_EQ(r.args->url, L"https://support.vexa.example/");
  EXPECT_EQ(r.args->frame_url, L"about:blank");
  // A frame may have an empty address; a document may have none at all.
  r = ParsePageHostArgs({L"--frame-url", L"", L"f.js"});
  ASSERT_TRUE(r.args) << r.error;
  EXPECT_EQ(r.args->frame_url, L"");
  r = ParsePageHostArgs({L"--no-document-url", L"f.htm"});
  ASSERT_TRUE(r.args) << r.error;
  EXPECT_TRUE(r.args->no_document_url);
  for (const std::vector<std::wstring>& bad :
       {std::vector<std::wstring>{L"--frame-url", L"a", L"--frame-url", L"b", L"f.js"},
        {L"f.js", L"--frame-url"},
        {L"--frame-url", L"a", L"--no-document-url", L"f.js"}}) {
    r = ParsePageHostArgs(bad);
    EXPECT_FALSE(r.args) << bad[0];
    EXPECT_FALSE(r.error.empty());
  }
}

TEST(ParsePageHostArgs, WebAddressesAreFetchedAndRunWithTheirAddress) {
  const struct {
    std::vector<std::wstring> args;
    PageKind kind;
    bool close;
  } cases[] = {
      {{L"http://127.0.0.1:8080/zefo/support.html"}, PageKind::kHtml, false},
      {{L"HTTPS://support.vexa.example/update/"}, PageKind::kHtml, false},
      {{L"http://support.vexa.example/update"}, PageKind::kHtml, false},
      {{L"--close-after-run", L"http://a.example/x.JS?v=1#top"}, PageKind::kScript, true},
      {{L"http://a.example/x.js/page?name=y.js"}, PageKind::kHtml, false},
      {{L"http://a.example"}, PageKind::kHtml, false},
  };
  for (const auto& c : cases) {
    PageHostArgsResult r = ParsePageHostArgs(c.args);
    ASSERT_TRUE(r.args) << c.args.back() << ": " << r.error;
    EXPECT_TRUE(r.args->from_address) << c.args.back();
    EXPECT_EQ(r.args->url, c.args.back());
    EXPECT_EQ(r.args->page, c.args.back());
    EXPECT_EQ(r.args->kind, c.kind) << c.args.back();
    EXPECT_EQ(r.args->close_after_run, c.close) << c.args.back();
  }
  EXPECT_FALSE(ParsePageHostArgs({L"C:\\p.htm"}).args->from_address);
  for (const std::vector<std::wstring>& bad :
       {std::vector<std::wstring>{L"--url", L"http://a/", L"http://b/"},
        {L"--clsid", L"{EE09B103-97E0-11CF-978F-00A02463E06F}", L"http://a/x.js"},
        {L"--close-after-run", L"page.htm"},
        {L"http://"}}) {
    PageHostArgsResult r = ParsePageHostArgs(bad);
    EXPECT_FALSE(r.args) << bad.back();
    EXPECT_FALSE(r.error.empty());
  }
}

TEST(ParsePageHostArgs, BadCommandLines) {
  const std::vector<std::vector<std::wstring>> bad = {
      {},
      {L"--url", L"http://a/"},
      {L"a.htm", L"--url"},
      {L"--url", L"", L"a.htm"},
      {L"--url", L"http://a/", L"--url", L"http://b/", L"a.htm"},
      {L"a.htm", L"b.htm"},
      {L"--verbose", L"a.htm"},
      {L"page.txt"},
      {L"--clsid", L"Scripting.Dictionary", L"x.js"},
      {L"--clsid"},
      {L"--clsid", L"{EE09B103-97E0-11CF-978F-00A02463E06F}", L"x.htm"},
      {L"js"},
      {L""},
  };
  for (const auto& args : bad) {
    PageHostArgsResult r = ParsePageHostArgs(args);
    EXPECT_FALSE(r.args) << (args.empty() ? L"(none)" : args[0]);
    EXPECT_FALSE(r.error.empty());
  }
}

}  // namespace
