// Puts lines of text on the clipboard.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// What one attempt to write the clipboard came to: done, or the step that failed with Windows' error.
struct ClipboardResult {
  enum class Step { none, allocate, open, write };
  Step failed = Step::none;
  DWORD code = ERROR_SUCCESS;

  bool ok() const { return failed == Step::none; }
  // Another program has the clipboard open (clipboard managers and remote-desktop sessions do, for
  // moments): worth another try shortly.
  bool busy() const { return failed == Step::open; }
};

// The lines joined with CRLF, the Windows line break.
std::wstring join_lines(const std::vector<std::wstring>& lines);

// `text` as CF_UNICODETEXT owned by `owner`, in one attempt: the caller decides whether to try again.
ClipboardResult copy_text_to_clipboard(HWND owner, const std::wstring& text);
