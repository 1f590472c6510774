// UTF-8 (device lines, the shared logic's texts) to UTF-16, for the W functions.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// Invalid sequences become U+FFFD.
std::wstring to_utf16(std::string_view text);
