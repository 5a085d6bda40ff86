#pragma once
// The self update's rules on version texts: which offered versions a page
// may ask for, and how two version texts compare. Plain C++ (no Windows
// headers).
#include <string>

// The offered version: only "0"-"9" and "."; exactly four parts, each
// compared as text by character codes with its bounds (first above "0" and
// at most "9", second "0" to "9", third "00" to "99", fourth "01010" to
// "99999"). So "10" passes as a first part, since it sorts before "9".
bool IsOfferedVersionAllowed(const std::wstring& version);

// Negative, zero or positive as a is smaller, equal or greater: part by
// part (split at "."), each part as text by character codes, a missing
// part smaller than any. For texts of digits and dots this is the order of
// the whole texts by character codes.
int CompareVersionTexts(const std::wstring& a, const std::wstring& b);

// Whether the control's version text (first line of its "Version.txt",
// empty when missing) is older than the offered version, so that there is
// something to install.
bool IsOlderThanOffered(const std::wstring& installed, const std::wstring& offered);
