// Every text the window shows, in one place (UTF-16, for the W functions).
#pragma once

namespace texts {
inline constexpr wchar_t kWindowTitle[] = L"Vantrel Discovery Tool 1.003";
inline constexpr wchar_t kRefresh[] = L"Refresh";
inline constexpr wchar_t kCopy[] = L"Copy";
inline constexpr wchar_t kCopyAll[] = L"Copy all";
}  // namespace texts
