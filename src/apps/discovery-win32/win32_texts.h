// Every text the window shows, in one place (UTF-16, for the W functions).
#pragma once

#include "vantrel/product.h"

namespace texts {
inline constexpr wchar_t kWindowTitle[] = L"" VANTREL_WINDOW_TITLE;
inline constexpr wchar_t kRefresh[] = L"Refresh";
inline constexpr wchar_t kCopy[] = L"Copy";
inline constexpr wchar_t kCopyAll[] = L"Copy all";
// A copy that gave up; %lu is Windows' error code.
inline constexpr wchar_t kCopyBusy[] =
    L"The lines were not copied: another program is using the clipboard. Try again in a moment.\n\n"
    L"(Windows error %lu)";
inline constexpr wchar_t kCopyFailed[] =
    L"The lines were not copied: the clipboard could not be written.\n\n"
    L"(Windows error %lu)";
}  // namespace texts
