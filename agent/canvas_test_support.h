#pragma once
// Writes small 24-bit bitmap files for the painted-control tests.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace zu_test {

// pixel(x, y) gives the colour of the pixel x from the left, y from the top.
inline bool WriteBitmapFile(const std::wstring& path, int width, int height,
                            const std::function<COLORREF(int, int)>& pixel) {
  const int stride = (width * 3 + 3) & ~3;
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  info.biSize = sizeof(info);
  info.biWidth = width;
  info.biHeight = height;  // bottom-up
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  info.biSizeImage = static_cast<DWORD>(stride * height);
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(file) + sizeof(info);
  file.bfSize = file.bfOffBits + info.biSizeImage;
  std::vector<BYTE> rows(info.biSizeImage, 0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const COLORREF c = pixel(x, y);
      BYTE* p = &rows[static_cast<size_t>((height - 1 - y) * stride + x * 3)];
      p[0] = GetBValue(c);
      p[1] = GetGValue(c);
      p[2] = GetRValue(c);
    }
  HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD n = 0;
  bool ok = ::WriteFile(f, &file, sizeof(file), &n, nullptr) &&
            ::WriteFile(f, &info, sizeof(info), &n, nullptr) &&
            ::WriteFile(f, rows.data(), static_cast<DWORD>(rows.size()), &n, nullptr);
  ::CloseHandle(f);
  return ok;
}

}  // namespace zu_test
