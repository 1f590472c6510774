// Every text the window shows, for both front ends, in UTF-8 (the Win32 one converts them for the W
// functions), and the layout's measures.
#pragma once

#include <array>

#include "vantrel/product.h"

namespace words {
inline constexpr char kWindowTitle[] = VANTREL_WINDOW_TITLE;
inline constexpr char kRefresh[] = "Refresh";
inline constexpr char kCopy[] = "Copy";
inline constexpr char kCopyAll[] = "Copy all";
inline constexpr char kSaveList[] = "Save list\xE2\x80\xA6";  // "Save list…": it asks where first
inline constexpr char kSortBy[] = "Sort by";
inline constexpr char kSortArrival[] = "Arrival";
inline constexpr char kSortAddress[] = "Address";
inline constexpr char kSortModel[] = "Model";
inline constexpr char kSortSerial[] = "Serial number";
inline constexpr char kFind[] = "Find";
inline constexpr char kFindHint[] = "Find: part of a line (Esc closes)";
inline constexpr char kListName[] = "Devices";
inline constexpr char kStatusName[] = "Status";
inline constexpr char kSaveTitle[] = "Save the device list";
// The save dialog's file types, in the order offered; the chosen one decides the format.
inline constexpr char kTextFiles[] = "Text (*.txt)";
inline constexpr char kCsvFiles[] = "CSV (*.csv)";
inline constexpr char kJsonFiles[] = "JSON (*.json)";
// A save that failed; %s is the reason.
inline constexpr char kSaveFailed[] = "The list was not saved: %s";

// The save dialog's file types, in the order offered; a name without an extension gets its type's.
struct FileType {
  const char* words;
  const char* extension;
};
inline constexpr std::array<FileType, 3> kFileTypes = {
    {{kTextFiles, ".txt"}, {kCsvFiles, ".csv"}, {kJsonFiles, ".json"}}};
}  // namespace words

namespace layout {
inline constexpr int kMargin = 10;         // around the button and the list
inline constexpr int kGap = 10;            // between the button, the list, the find field, the status line
inline constexpr int kButtonPadding = 10;  // around the button's text, on every side
}  // namespace layout
