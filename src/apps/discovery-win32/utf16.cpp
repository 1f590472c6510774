#include "utf16.h"

#include <algorithm>

std::wstring to_utf16(std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int wide = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring converted(static_cast<std::size_t>(std::max(wide, 0)), L'\0');
  const int written = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, converted.data(), wide);
  converted.resize(static_cast<std::size_t>(std::max(written, 0)));
  return converted;
}

std::string to_utf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string converted(static_cast<std::size_t>(std::max(bytes, 0)), '\0');
  const int written =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), size, converted.data(), bytes, nullptr, nullptr);
  converted.resize(static_cast<std::size_t>(std::max(written, 0)));
  return converted;
}
