#pragma once
// The first line of a version text file ("Version.txt"), as bytes of the
// system code page. Plain C++ (no Windows headers).
#include <cstddef>
#include <string>

// Only this many bytes at the start of the file are read.
inline constexpr std::size_t kVersionTextBytes = 128;

// The bytes up to the first carriage return, line feed or zero byte, and
// never more than the first 128.
std::string FirstVersionLine(const std::string& head);
