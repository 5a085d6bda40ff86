#pragma once
// Small 24-bit bitmap files for the painted-control tests.
#include <windows.h>

#include <functional>
#include <string>

namespace zu::test {

// pixel(x, y) gives the colour of the pixel x from the left, y from the top.
bool WriteBitmapFile(const std::wstring& path, int width, int height,
                     const std::function<COLORREF(int, int)>& pixel);

}  // namespace zu::test
