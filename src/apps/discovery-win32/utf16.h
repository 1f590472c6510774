// UTF-8 (device lines, the shared logic's texts) to UTF-16, for the W functions, and back (file names).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// Invalid sequences become U+FFFD.
std::wstring to_utf16(std::string_view text);
std::string to_utf8(std::wstring_view text);
