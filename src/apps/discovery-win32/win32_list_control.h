// The Win32 front end's list control (an owner-drawn LISTBOX): a view of `list`, the rows a find lets
// through in the chosen order. Each item's data is (row << 8) | its problem bits.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "vantrel/device_view.h"

// Makes the LISTBOX `list_box` the list control that device lines go to (null detaches it). GUI thread.
void attach_list_control(HWND list_box);

// Shows the rows holding `find` (none: the find is closed, every row) in `key` order, and tells the
// status line what is shown. GUI thread.
void set_list_view(const std::optional<std::string>& find, SortKey key);
SortKey list_sort_key();

// The table rows shown, in list order; the selected ones. GUI thread.
std::vector<std::size_t> shown_rows(HWND list_box);

// The selected lines, or all of them, in list order, exactly as shown. GUI thread.
std::vector<std::wstring> selected_lines(HWND list_box);
std::vector<std::wstring> all_lines(HWND list_box);

// Draws one item: its warning mark when flagged, then its line. From the parent's WM_DRAWITEM.
void draw_list_item(const DRAWITEMSTRUCT& item);

// What the item at `index` is flagged for, for the tooltip; empty when nothing.
std::wstring problem_tip(HWND list_box, int index);
