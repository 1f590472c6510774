#include "clipboard.h"

#include <cstring>

namespace {

std::wstring join_lines(const std::vector<std::wstring>& lines) {
  std::wstring text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += L"\r\n";
    text += lines[i];
  }
  return text;
}

// A movable global block holding `text` and its terminating zero, as SetClipboardData wants it.
HGLOBAL global_copy(const std::wstring& text) {
  const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (block == nullptr) return nullptr;
  void* target = GlobalLock(block);
  if (target == nullptr) {
    GlobalFree(block);
    return nullptr;
  }
  std::memcpy(target, text.c_str(), bytes);
  GlobalUnlock(block);
  return block;
}

// The last error, never ERROR_SUCCESS: a failed call that set none still counts as failed.
DWORD failure() {
  const DWORD error = GetLastError();
  return error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
}

}  // namespace

DWORD copy_lines_to_clipboard(HWND owner, const std::vector<std::wstring>& lines) {
  if (lines.empty()) return ERROR_SUCCESS;
  HGLOBAL block = global_copy(join_lines(lines));
  if (block == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  if (!OpenClipboard(owner)) {
    const DWORD error = failure();
    GlobalFree(block);
    return error;
  }
  EmptyClipboard();
  // On success the clipboard owns the block; on failure it is still ours to free.
  const DWORD error = SetClipboardData(CF_UNICODETEXT, block) != nullptr ? ERROR_SUCCESS : failure();
  CloseClipboard();
  if (error != ERROR_SUCCESS) GlobalFree(block);
  return error;
}
