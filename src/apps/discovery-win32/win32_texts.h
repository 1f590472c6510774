// The window's texts as the W functions want them: the shared words converted, and the messages only
// this front end shows.
#pragma once

#include <string>

#include "utf16.h"
#include "vantrel/product.h"
#include "window_words.h"

namespace texts {
inline constexpr wchar_t kWindowTitle[] = L"" VANTREL_WINDOW_TITLE;
// A copy that gave up; %lu is Windows' error code.
inline constexpr wchar_t kCopyBusy[] =
    L"The lines were not copied: another program is using the clipboard. Try again in a moment.\n\n"
    L"(Windows error %lu)";
inline constexpr wchar_t kCopyFailed[] =
    L"The lines were not copied: the clipboard could not be written.\n\n"
    L"(Windows error %lu)";
}  // namespace texts

// One of window_words.h's texts for the W functions.
inline std::wstring wide(const char* words) {
  return to_utf16(words);
}
