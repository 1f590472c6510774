#include "clipboard.h"

#include <cstring>

namespace {

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

// The step with the last error, never ERROR_SUCCESS: a failed call that set none still counts as failed.
ClipboardResult failure(ClipboardResult::Step step) {
  const DWORD error = GetLastError();
  return {step, error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE};
}

}  // namespace

std::wstring join_lines(const std::vector<std::wstring>& lines) {
  std::wstring text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += L"\r\n";
    text += lines[i];
  }
  return text;
}

ClipboardResult copy_text_to_clipboard(HWND owner, const std::wstring& text) {
  HGLOBAL block = global_copy(text);
  if (block == nullptr) return {ClipboardResult::Step::allocate, ERROR_NOT_ENOUGH_MEMORY};
  if (!OpenClipboard(owner)) {
    const ClipboardResult busy = failure(ClipboardResult::Step::open);
    GlobalFree(block);
    return busy;
  }
  EmptyClipboard();
  // On success the clipboard owns the block; on failure it is still ours to free.
  const ClipboardResult result = SetClipboardData(CF_UNICODETEXT, block) != nullptr
                                     ? ClipboardResult{}
                                     : failure(ClipboardResult::Step::write);
  CloseClipboard();
  if (!result.ok()) GlobalFree(block);
  return result;
}
