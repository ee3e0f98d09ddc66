#pragma once
#include <string>

// Converts a byte string in the given code page (932 = Shift-JIS) to UTF-16.
// An empty input or a failed conversion gives an empty string.
std::u16string AxToWideString(const std::string& text, unsigned codePage = 932);
