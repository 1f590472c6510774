// The Win32 front end's list control (a LISTBOX), as the shared window logic reaches it, and its lines.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Makes the LISTBOX `list_box` the list control that device lines go to (null detaches it). GUI thread.
void attach_list_control(HWND list_box);

// The selected lines, or all of them, in list order, exactly as shown. GUI thread.
std::vector<std::wstring> selected_lines(HWND list_box);
std::vector<std::wstring> all_lines(HWND list_box);
