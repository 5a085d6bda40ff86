#include "tools/pagehost/page_parse.h"

#include <gtest/gtest.h>

namespace {

const PageObject& ObjectAt(const PageParse& p, size_t i) { return std::get<PageObject>(p.items.at(i)); }
const PageScript& ScriptAt(const PageParse& p, size_t i) { return std::get<PageScript>(p.items.at(i)); }

TEST(ParsePage, ObjectsAndScriptsInDocumentOrder) {
  PageParse p = ParsePage(
      L"<!DOCTYPE html>\n"
      L"<html><head><title>Support</title>\n"
      L"<script type=\"text/javascript\">var a = 1;</script>\n"
      L"</head><body>\n"
      L"<OBJECT ID='zuax' CLASSID='CLSID:5a0c1e29-7b44-4f1d-9c3a-2e8b61d47f05' width=0 height=0>\n"
      L"  <param name=\"Mode\" value='fast &amp; quiet'>\n"
      L"  Fallback text for browsers without the control.\n"
      L"</OBJECT>\n"
      L"<script>\nhost.Echo(zuax);\n</SCRIPT >\n"
      L"<object id=dict classid=\"clsid:{EE09B103-97E0-11CF-978F-00A02463E06F}\"></object>\n"
      L"<script language=\"JScript\">b();</script>\n"
      L"</body></html>\n");
  ASSERT_TRUE(p.ok()) << p.error << " line " << p.error_line;
  ASSERT_EQ(p.items.size(), 5u);
  EXPECT_EQ(ScriptAt(p, 0).text, L"var a = 1;");
  EXPECT_EQ(ScriptAt(p, 0).line, 3u);
  const PageObject& zuax = ObjectAt(p, 1);
  EXPECT_EQ(zuax.id, L"zuax");
  EXPECT_EQ(zuax.class_id, L"{5a0c1e29-7b44-4f1d-9c3a-2e8b61d47f05}");
  EXPECT_EQ(zuax.line, 5u);
  ASSERT_EQ(zuax.params.size(), 1u);
  EXPECT_EQ(zuax.params[0].first, L"Mode");
  EXPECT_EQ(zuax.params[0].second, L"fast & quiet");
  EXPECT_EQ(ScriptAt(p, 2).text, L"\nhost.Echo(zuax);\n");
  EXPECT_EQ(ScriptAt(p, 2).line, 9u);
  EXPECT_EQ(ObjectAt(p, 3).class_id, L"{EE09B103-97E0-11CF-978F-00A02463E06F}");
  EXPECT_EQ(ScriptAt(p, 4).text, L"b();");
}

TEST(ParsePage, CommentsHideMarkupAndCountLines) {
  PageParse p = ParsePage(
      L"<!-- <object id=x classid=\"clsid:bad\"></object>\n<script>no()</script>\n -->\n"
      L"<p>a < b and 1<2</p>\n"
      L"<script>\n// </scrip is not the end; \"</p>\" neither\nx = '<!--';\n</script>");
  ASSERT_TRUE(p.ok()) << p.error;
  ASSERT_EQ(p.items.size(), 1u);
  EXPECT_EQ(ScriptAt(p, 0).line, 5u);
  EXPECT_EQ(ScriptAt(p, 0).text, L"\n// </scrip is not the end; \"</p>\" neither\nx = '<!--';\n");
}

TEST(ParsePage, AttributeForms) {
  PageParse p = ParsePage(
      L"<object\n id = \"a\"\n classid = '{EE09B103-97E0-11CF-978F-00A02463E06F}'></object>");
  // A class id needs its "clsid:" scheme.
  EXPECT_FALSE(p.ok());
  p = ParsePage(L"<object id=\"a\" data-x=\"it's\" hidden classid='clsid:EE09B103-97E0-11CF-978F-"
                L"00A02463E06F' /></object>");
  ASSERT_TRUE(p.ok()) << p.error;
  EXPECT_EQ(ObjectAt(p, 0).id, L"a");
}

struct BadPage {
  const wchar_t* html;
  unsigned line;
};

TEST(ParsePage, RefusesWhatItCannotRunFaithfully) {
  const BadPage cases[] = {
      {L"<!-- never closed\n<script>x</script>", 1},
      {L"\n<script>x = 1;", 2},
      {L"<script type=\"text/vbscript\">x</script>", 1},
      {L"<script language=VBScript>x</script>", 1},
      {L"<script src=\"a.js\"></script>", 1},
      {L"\n\n<object classid=\"clsid:EE09B103-97E0-11CF-978F-00A02463E06F\"></object>", 3},
      {L"<object id=\"a\"></object>", 1},
      {L"<object id=\"a\" classid=\"clsid:EE09B103-97E0-11CF-978F\"></object>", 1},
      {L"<object id=\"a\" classid=\"progid:Scripting.Dictionary\"></object>", 1},
      {L"<object id=\"a b\" classid=\"clsid:EE09B103-97E0-11CF-978F-00A02463E06F\"></object>", 1},
      {L"<object id=\"1a\" classid=\"clsid:EE09B103-97E0-11CF-978F-00A02463E06F\"></object>", 1},
      {L"<object id=a classid=\"clsid:EE09B103-97E0-11CF-978F-00A02463E06F\"></object>\n"
       L"<object id=a classid=\"clsid:EE09B103-97E0-11CF-978F-00A02463E06F\"></object>",
       2},
      {L"<object id=a classid=\"clsid:EE09B103-97E0-11CF-978F-00A02463E06F\">\n<p>", 1},
      {L"<object id=a classid=\"clsid:EE09B103-97E0-11CF-978F-00A02463E06F\">\n"
       L"<script>x</script></object>",
       2},
      {L"<param name=a value=b>", 1},
      {L"</object>", 1},
      {L"<object id='a classid=\"clsid:x\"></object>", 1},
      {L"<p class=\"a\" class=\"b\">", 1},
      {L"<p\n\nclass=\"a\"", 1},
  };
  for (const BadPage& c : cases) {
    PageParse p = ParsePage(c.html);
    EXPECT_FALSE(p.ok()) << c.html;
    EXPECT_FALSE(p.error.empty()) << c.html;
    EXPECT_EQ(p.error_line, c.line) << c.html << " : " << p.error;
  }
}

TEST(ParsePage, EmptyAndPlainPages) {
  EXPECT_TRUE(ParsePage(L"").ok());
  PageParse p = ParsePage(L"<html><body><p>Nothing to run.</p></body></html>");
  EXPECT_TRUE(p.ok());
  EXPECT_TRUE(p.items.empty());
}

TEST(NormalizeClassId, ShapesOfAGuid) {
  EXPECT_EQ(NormalizeClassId(L"5A0C1E29-7B44-4F1D-9C3A-2E8B61D47F05"),
            L"{5A0C1E29-7B44-4F1D-9C3A-2E8B61D47F05}");
  EXPECT_EQ(NormalizeClassId(L"{5A0C1E29-7B44-4F1D-9C3A-2E8B61D47F05}"),
            L"{5A0C1E29-7B44-4F1D-9C3A-2E8B61D47F05}");
  EXPECT_EQ(NormalizeClassId(L"{5A0C1E29-7B44-4F1D-9C3A-2E8B61D47F05"), L"");
  EXPECT_EQ(NormalizeClassId(L"5A0C1E297B444F1D9C3A2E8B61D47F05"), L"");
  EXPECT_EQ(NormalizeClassId(L"5A0C1E29-7B44-4F1D-9C3A-2E8B61D47F0G"), L"");
  EXPECT_EQ(NormalizeClassId(L""), L"");
}

}  // namespace
