#include "win32_list_control.h"

#include <algorithm>
#include <string_view>
#include <unordered_set>

#include "app_state.h"
#include "status_line.h"
#include "utf16.h"
#include "vantrel/device_export.h"
#include "vantrel/device_problems.h"
#include "vantrel/diagnostics.h"

namespace {

// GUI thread only.
HWND shown_in = nullptr;
std::optional<std::string> find_text;  // none: the find field is closed
SortKey sort_key = SortKey::arrival;

// The widest line shown since the last clear, in pixels. A LISTBOX has no idea of its lines' widths;
// without an extent it offers no horizontal scrolling.
int widest_line = 0;

// Room for the item's own inset on both sides, so that the last character is not cut off.
constexpr int kExtentSlack = 8;

// Room for the warning mark before every line, flagged or not, so that the lines stay aligned.
int mark_width(HWND list_box) {
  return static_cast<int>(SendMessageW(list_box, LB_GETITEMHEIGHT, 0, 0));
}

LPARAM item_data(std::size_t row) {
  return static_cast<LPARAM>((row << 8) | list[row].problems);
}

std::size_t row_at(HWND list_box, int index) {
  return static_cast<std::size_t>(SendMessageW(list_box, LB_GETITEMDATA, static_cast<WPARAM>(index), 0)) >> 8;
}

int item_count(HWND list_box) {
  return static_cast<int>(SendMessageW(list_box, LB_GETCOUNT, 0, 0));
}

// Widens the horizontal extent to the widest of `lines`, measured in the list box's own font.
void widen_extent(HWND list_box, const std::vector<std::wstring>& lines) {
  HDC dc = GetDC(list_box);
  if (dc == nullptr) return;
  const auto font = reinterpret_cast<HFONT>(SendMessageW(list_box, WM_GETFONT, 0, 0));
  HGDIOBJ previous = font != nullptr ? SelectObject(dc, font) : nullptr;
  int widest = widest_line;
  const int mark = mark_width(list_box);
  for (const std::wstring& text : lines) {
    SIZE extent{};
    if (GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent)) {
      widest = std::max(widest, static_cast<int>(extent.cx) + mark + kExtentSlack);
    }
  }
  if (previous != nullptr) SelectObject(dc, previous);
  ReleaseDC(list_box, dc);
  if (widest == widest_line) return;
  widest_line = widest;
  SendMessageW(list_box, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest), 0);
}

bool shows(std::size_t row) {
  return !find_text || line_matches(list[row].line, *find_text);
}

void tell_status(HWND list_box) {
  status_view_changed(find_text ? std::optional<std::size_t>(static_cast<std::size_t>(item_count(list_box)))
                                : std::nullopt);
}

// Where `row` goes among the items shown: after every item it does not go before.
int place_of(HWND list_box, std::size_t row) {
  int low = 0;
  int high = item_count(list_box);
  if (sort_key == SortKey::arrival) return high;  // rows come in arrival order
  while (low < high) {
    const int middle = low + (high - low) / 2;
    if (goes_before(list, row, row_at(list_box, middle), sort_key)) {
      high = middle;
    } else {
      low = middle + 1;
    }
  }
  return low;
}

// Inserts `rows` (in the order given) at their places; one repaint for the batch.
void insert_rows(HWND list_box, const std::vector<std::size_t>& rows, bool in_place) {
  std::vector<std::wstring> texts;
  texts.reserve(rows.size());
  for (const std::size_t row : rows) texts.push_back(to_utf16(list[row].line));
  // One repaint per batch instead of one per line (the scroll bar is redrawn with every item otherwise).
  SendMessageW(list_box, WM_SETREDRAW, FALSE, 0);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const int at = in_place ? place_of(list_box, rows[i]) : -1;
    const LRESULT index = SendMessageW(list_box, LB_INSERTSTRING, static_cast<WPARAM>(at),
                                       reinterpret_cast<LPARAM>(texts[i].c_str()));
    if (index == LB_ERR || index == LB_ERRSPACE) {
      diag::print(diag::Stream::err, "list control: a line could not be added (out of memory)\n");
      break;
    }
    SendMessageW(list_box, LB_SETITEMDATA, static_cast<WPARAM>(index), item_data(rows[i]));
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

void add_rows(HWND list_box, std::size_t first, std::size_t count) {
  std::vector<std::size_t> rows;
  rows.reserve(count);
  for (std::size_t row = first; row < first + count; ++row) {
    if (shows(row)) rows.push_back(row);
  }
  if (!rows.empty()) insert_rows(list_box, rows, true);
  tell_status(list_box);
}

void flag_rows(HWND list_box, const std::vector<std::size_t>& rows) {
  const std::unordered_set<std::size_t> flagged(rows.begin(), rows.end());
  const int count = item_count(list_box);
  for (int index = 0; index < count; ++index) {
    const std::size_t row = row_at(list_box, index);
    if (!flagged.contains(row)) continue;
    SendMessageW(list_box, LB_SETITEMDATA, static_cast<WPARAM>(index), item_data(row));
    RECT area{};
    if (SendMessageW(list_box, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&area)) !=
        LB_ERR)
      InvalidateRect(list_box, &area, TRUE);
  }
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

// A warning triangle, centred in `area`.
void draw_mark(HDC dc, const RECT& area) {
  const int size =
      std::max(4, static_cast<int>(std::min(area.right - area.left, area.bottom - area.top)) - 4);
  const int left = static_cast<int>(area.left + area.right - size) / 2;
  const int top = static_cast<int>(area.top + area.bottom - size) / 2;
  const POINT corners[] = {{left + size / 2, top}, {left + size, top + size}, {left, top + size}};
  HBRUSH fill = CreateSolidBrush(RGB(0xE0, 0x90, 0x00));
  HPEN edge = CreatePen(PS_SOLID, 1, RGB(0x80, 0x50, 0x00));
  HGDIOBJ old_brush = SelectObject(dc, fill);
  HGDIOBJ old_pen = SelectObject(dc, edge);
  Polygon(dc, corners, 3);
  SelectObject(dc, old_pen);
  SelectObject(dc, old_brush);
  DeleteObject(edge);
  DeleteObject(fill);
}

}  // namespace

void attach_list_control(HWND list_box) {
  widest_line = 0;
  shown_in = list_box;
  if (list_box == nullptr) {
    list_control = {};
    return;
  }
  list_control.rows_added = [list_box](std::size_t first, std::size_t count) {
    add_rows(list_box, first, count);
  };
  list_control.rows_flagged = [list_box](const std::vector<std::size_t>& rows) { flag_rows(list_box, rows); };
  list_control.clear = [list_box] {
    clear_lines(list_box);
    tell_status(list_box);
  };
}

void set_list_view(const std::optional<std::string>& find, SortKey key) {
  // Opening the find, or closing it while empty, changes what the status line says, not what is shown:
  // a refill of a big list costs a second under Wine.
  const bool same_rows = key == sort_key && find.value_or("").empty() && find_text.value_or("").empty();
  find_text = find;
  sort_key = key;
  if (shown_in == nullptr) return;
  if (same_rows) {
    tell_status(shown_in);
    return;
  }
  const std::vector<std::size_t> rows = view_rows(list, find ? *find : std::string_view(), key);
  SendMessageW(shown_in, WM_SETREDRAW, FALSE, 0);
  clear_lines(shown_in);
  std::size_t bytes = 0;
  for (const std::size_t row : rows) bytes += (list[row].line.size() + 1) * sizeof(wchar_t);
  SendMessageW(shown_in, LB_INITSTORAGE, static_cast<WPARAM>(rows.size()), static_cast<LPARAM>(bytes));
  insert_rows(shown_in, rows, false);  // turns redrawing back on
  tell_status(shown_in);
}

SortKey list_sort_key() {
  return sort_key;
}

std::vector<std::size_t> shown_rows(HWND list_box) {
  std::vector<std::size_t> rows;
  const int count = item_count(list_box);
  rows.reserve(static_cast<std::size_t>(std::max(count, 0)));
  for (int index = 0; index < count; ++index) rows.push_back(row_at(list_box, index));
  return rows;
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
  const int count = item_count(list_box);
  std::vector<std::wstring> lines;
  for (int row = 0; row < count; ++row) lines.push_back(line_at(list_box, row));
  return lines;
}

void draw_list_item(const DRAWITEMSTRUCT& item) {
  if (item.itemID == static_cast<UINT>(-1)) return;  // an empty list with the focus: nothing to draw
  HDC dc = item.hDC;
  RECT area = item.rcItem;
  if ((item.itemAction & (ODA_DRAWENTIRE | ODA_SELECT)) != 0) {
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    FillRect(dc, &area, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    const auto data = static_cast<std::size_t>(item.itemData);
    const int mark = area.bottom - area.top;
    if ((data & 0xFF) != 0) draw_mark(dc, {area.left, area.top, area.left + mark, area.bottom});
    const std::wstring text = line_at(item.hwndItem, static_cast<int>(item.itemID));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    RECT text_area{area.left + mark + 2, area.top, area.right, area.bottom};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &text_area,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  }
  // A focus change alone toggles the dotted frame (it is drawn by XOR); a repainted item gets it afresh.
  if ((item.itemAction & (ODA_DRAWENTIRE | ODA_SELECT)) == 0) {
    if ((item.itemAction & ODA_FOCUS) != 0) DrawFocusRect(dc, &area);
  } else if ((item.itemState & ODS_FOCUS) != 0) {
    DrawFocusRect(dc, &area);
  }
}

std::wstring problem_tip(HWND list_box, int index) {
  if (index < 0 || index >= item_count(list_box)) return {};
  const std::size_t row = row_at(list_box, index);
  if (row >= list.size() || list[row].problems == 0) return {};
  return to_utf16(problem_words(list[row].problems, interface_text(list[row])));
}
