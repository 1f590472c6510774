#include "win32_list_control.h"

#include <algorithm>
#include <string_view>

#include "app_state.h"
#include "utf16.h"
#include "vantrel/diagnostics.h"

namespace {

// GUI thread only: the widest line shown since the last clear, in pixels. A LISTBOX has no idea of its
// lines' widths; without an extent it offers no horizontal scrolling.
int widest_line = 0;

// Room for the item's own inset on both sides, so that the last character is not cut off.
constexpr int kExtentSlack = 8;

// Widens the horizontal extent to the widest of `lines`, measured in the list box's own font.
void widen_extent(HWND list_box, const std::vector<std::wstring>& lines) {
  HDC dc = GetDC(list_box);
  if (dc == nullptr) return;
  const auto font = reinterpret_cast<HFONT>(SendMessageW(list_box, WM_GETFONT, 0, 0));
  HGDIOBJ previous = font != nullptr ? SelectObject(dc, font) : nullptr;
  int widest = widest_line;
  for (const std::wstring& text : lines) {
    SIZE extent{};
    if (GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent)) {
      widest = std::max(widest, static_cast<int>(extent.cx) + kExtentSlack);
    }
  }
  if (previous != nullptr) SelectObject(dc, previous);
  ReleaseDC(list_box, dc);
  if (widest == widest_line) return;
  widest_line = widest;
  SendMessageW(list_box, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest), 0);
}

void append_lines(HWND list_box, const std::vector<std::string_view>& lines) {
  std::vector<std::wstring> texts;
  texts.reserve(lines.size());
  for (const std::string_view line : lines) texts.push_back(to_utf16(line));
  // One repaint per batch instead of one per line (the scroll bar is redrawn with every item otherwise).
  SendMessageW(list_box, WM_SETREDRAW, FALSE, 0);
  for (const std::wstring& text : texts) {
    const LRESULT index = SendMessageW(list_box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (index == LB_ERR || index == LB_ERRSPACE) {
      diag::print(diag::Stream::err, "list control: a line could not be added (out of memory)\n");
      break;
    }
  }
  SendMessageW(list_box, WM_SETREDRAW, TRUE, 0);
  widen_extent(list_box, texts);
  RedrawWindow(list_box, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE);
}

void clear_lines(HWND list_box) {
  SendMessageW(list_box, LB_RESETCONTENT, 0, 0);
  widest_line = 0;
  SendMessageW(list_box, LB_SETHORIZONTALEXTENT, 0, 0);
}

std::wstring line_at(HWND list_box, int index) {
  const LRESULT length = SendMessageW(list_box, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == LB_ERR) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT got =
      SendMessageW(list_box, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  text.resize(got == LB_ERR ? 0 : static_cast<std::size_t>(got));
  return text;
}

}  // namespace

void attach_list_control(HWND list_box) {
  widest_line = 0;
  if (list_box == nullptr) {
    list_control = {};
    return;
  }
  list_control.rows_added = [list_box](std::size_t first, std::size_t count) {
    std::vector<std::string_view> lines;
    lines.reserve(count);
    for (std::size_t row = first; row < first + count; ++row) lines.push_back(list[row].line);
    append_lines(list_box, lines);
  };
  list_control.clear = [list_box] { clear_lines(list_box); };
}

std::vector<std::wstring> selected_lines(HWND list_box) {
  const LRESULT count = SendMessageW(list_box, LB_GETSELCOUNT, 0, 0);
  if (count == LB_ERR || count <= 0) return {};
  std::vector<int> rows(static_cast<std::size_t>(count));
  const LRESULT got = SendMessageW(list_box, LB_GETSELITEMS, static_cast<WPARAM>(count),
                                   reinterpret_cast<LPARAM>(rows.data()));
  rows.resize(got == LB_ERR ? 0 : static_cast<std::size_t>(got));
  std::sort(rows.begin(), rows.end());  // list order, whatever order the control reports them in
  std::vector<std::wstring> lines;
  lines.reserve(rows.size());
  for (const int row : rows) lines.push_back(line_at(list_box, row));
  return lines;
}

std::vector<std::wstring> all_lines(HWND list_box) {
  const LRESULT count = SendMessageW(list_box, LB_GETCOUNT, 0, 0);
  std::vector<std::wstring> lines;
  for (int row = 0; row < static_cast<int>(count); ++row) lines.push_back(line_at(list_box, row));
  return lines;
}
