#include "tools/pagehost/page_text.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::wstring>;

TEST(PageTextLines, WhatAReaderSees) {
  const struct {
    const wchar_t* html;
    Lines lines;
  } cases[] = {
      {L"", {}},
      {L"plain   text\r\n  on two\tlines", {L"plain text on two lines"}},
      {L"<h1>Updates</h1><p>Two apply.</p>one<br>two<BR/>three", {L"Updates", L"Two apply.", L"one", L"two", L"three"}},
      {L"<ul><li>first <b>bold</b></li><li>second</ul>", {L"- first bold", L"- second"}},
      {L"<table><tr><th>Name</th><th>State</th></tr><tr><td>Driver</td><td>new</td></tr></table>",
       {L"Name | State", L"Driver | new"}},
      {L"<input type=checkbox checked id=a> Touch pad<br><input type='checkbox'> Audio",
       {L"[x] Touch pad", L"[ ] Audio"}},
      {L"<input type=\"button\" value=\"Install selected\" onclick=\"go()\"><input type=hidden value=x>",
       {L"[Install selected]"}},
      {L"<button onclick='f()'> Update the control </button>", {L"[Update the control]"}},
      {L"a<script>document.write('<p>no')</script>b<style>p{}</style>c<title>T</title>d", {L"abcd"}},
      {L"<!-- <p>hidden --><p>&lt;shown&gt; &amp; &quot;kept&quot;&nbsp;&#65;&#x42;", {L"<shown> & \"kept\" AB"}},
      {L"x < y and <3", {L"x < y and <3"}},
      {L"<div>unclosed <b attr=\"a>b\">tag", {L"unclosed tag"}},
      {L"<p></p><p> </p><div><p>only</p></div>", {L"only"}},
      {L"<img src=x.png alt=\"[logo]\"> Vexa", {L"[logo] Vexa"}},
      {L"<script>never closed", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(PageTextLines(c.html), c.lines) << c.html;
}

TEST(PageTitle, FirstTitleCollapsed) {
  EXPECT_EQ(PageTitle(L"<html><head><TITLE>\n ZEFO  Update &amp; Support </TITLE></head>"),
            L"ZEFO Update & Support");
  EXPECT_EQ(PageTitle(L"<p>none</p>"), L"");
  EXPECT_EQ(PageTitle(L"<title>open to the end"), L"open to the end");
}

}  // namespace
