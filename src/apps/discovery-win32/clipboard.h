// Puts lines of text on the clipboard.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The lines, joined with CRLF (the Windows line break), as CF_UNICODETEXT owned by `owner`. An empty
// `lines` leaves the clipboard alone. ERROR_SUCCESS, or the error of the step that failed.
DWORD copy_lines_to_clipboard(HWND owner, const std::vector<std::wstring>& lines);
