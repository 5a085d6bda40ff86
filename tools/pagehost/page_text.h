#pragma once
// What a page wrote with document.write, as the lines of text a reader of
// the page sees: block elements (paragraphs, headings, list items, table
// rows, line breaks) end lines, table cells are set apart by " | ", check
// boxes show as "[x]" or "[ ]", buttons as "[caption]", and the content of
// scripts and styles is not shown. Runs of white space become one blank;
// empty lines are dropped.
#include <string>
#include <vector>

std::vector<std::wstring> PageTextLines(const std::wstring& html);

// The text of the first <title> element, blanks collapsed; empty when none.
std::wstring PageTitle(const std::wstring& html);
