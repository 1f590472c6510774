#include "main_window_win32.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cwchar>
#include <iterator>
#include <utility>

#include "app_state.h"
#include "clipboard.h"
#include "sort_choices.h"
#include "vantrel/device_export.h"
#include "vantrel/diagnostics.h"
#include "vantrel/file_save.h"
#include "win32_list_control.h"
#include "win32_texts.h"

namespace {

constexpr wchar_t kClassName[] = L"VantrelDiscoveryWindow";
constexpr int kMargin = layout::kMargin;
constexpr int kGap = layout::kGap;
constexpr int kButtonPadding = layout::kButtonPadding;

// Command and control ids, above IDOK and IDCANCEL, which the dialog manager sends for Enter and Escape.
constexpr WORD kRefreshId = 101;
constexpr WORD kCopyId = 102;
constexpr WORD kCopyAllId = 103;
constexpr WORD kSelectAllId = 104;
constexpr WORD kListId = 105;
constexpr WORD kStatusId = 106;
constexpr WORD kSaveId = 107;
constexpr WORD kFindId = 108;
constexpr WORD kCloseFindId = 109;
constexpr WORD kFindFieldId = 110;
// One per SortKey, in its order (the test driver sends kSortFirstId + 1 for Address).
constexpr WORD kSortFirstId = 120;

using words::kFileTypes;  // the save dialog's types (nFilterIndex counts from 1)
using words::kSortChoices;

// WM_COMMAND's notification code for a menu item or a button click, and for an accelerator.
constexpr WORD kFromMenuOrClick = 0;
constexpr WORD kFromAccelerator = 1;

// Brings the next slice of replies while input or painting waits (see replies_waiting).
constexpr UINT_PTR kRepliesTimer = 1;

// Brings the hint that nobody answered a probe.
constexpr UINT_PTR kSilenceTimer = 3;

// A copy finding the clipboard held by another program tries again on a timer, never by sleeping on
// the GUI thread: kClipboardTries attempts in all, over about 200 ms.
constexpr UINT_PTR kClipboardTimer = 2;
constexpr UINT kClipboardRetryMs = 20;
constexpr int kClipboardTries = 10;

void report_failure(const MainWindow::Failure& failure) {
  diag::print(diag::Stream::err, "vantrel-discovery: cannot %s (error %lu)\n", failure.step, failure.code);
}

// The IDI_ICON1 resource at the size Windows wants for `metric`; null (Windows' default icon) without it.
HICON load_icon(HINSTANCE instance, int metric_x, int metric_y) {
  return static_cast<HICON>(LoadImageW(instance, L"IDI_ICON1", IMAGE_ICON, GetSystemMetrics(metric_x),
                                       GetSystemMetrics(metric_y), LR_DEFAULTCOLOR));
}

bool register_class(HINSTANCE instance, WNDPROC procedure) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = instance;
  window_class.hIcon = load_icon(instance, SM_CXICON, SM_CYICON);
  window_class.hIconSm = load_icon(instance, SM_CXSMICON, SM_CYSMICON);
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  window_class.lpszClassName = kClassName;
  return RegisterClassExW(&window_class) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// The system's message font (what dialogs use today); controls otherwise get the old bitmap system font.
// `owned`: the caller must delete it, which a stock object must not be.
HFONT message_font(bool& owned) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0)) {
    if (HFONT font = CreateFontIndirectW(&metrics.lfMessageFont)) {
      owned = true;
      return font;
    }
  }
  owned = false;
  return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

SIZE text_extent(HWND window, HFONT font, const wchar_t* text) {
  SIZE extent{};
  HDC dc = GetDC(window);
  if (dc == nullptr) return extent;
  HGDIOBJ previous = SelectObject(dc, font);
  GetTextExtentPoint32W(dc, text, static_cast<int>(std::wcslen(text)), &extent);
  SelectObject(dc, previous);
  ReleaseDC(window, dc);
  return extent;
}

HACCEL make_accelerators() {
  ACCEL keys[] = {
      {FVIRTKEY, VK_F5, kRefreshId},
      {FVIRTKEY | FCONTROL, 'C', kCopyId},
      {FVIRTKEY | FCONTROL, 'A', kSelectAllId},
      {FVIRTKEY | FCONTROL, 'F', kFindId},
      {FVIRTKEY | FCONTROL, 'S', kSaveId},
      {FVIRTKEY, VK_ESCAPE, kCloseFindId},
  };
  return CreateAcceleratorTableW(keys, static_cast<int>(std::size(keys)));
}

UINT menu_item(bool enabled) {
  return UINT{MF_STRING} | (enabled ? UINT{MF_ENABLED} : UINT{MF_GRAYED});
}

// A hidden label just before a control in the Z-order: what screen readers give as the control's name.
HWND make_label(HWND parent, HINSTANCE instance, const std::wstring& name) {
  return CreateWindowExW(0, L"STATIC", name.c_str(), WS_CHILD | SS_LEFT, 0, 0, 0, 0, parent, nullptr,
                         instance, nullptr);
}

// Whether the last part of `path` has an extension of its own.
bool has_extension(const std::wstring& path) {
  const std::size_t dot = path.find_last_of(L'.');
  const std::size_t slash = path.find_last_of(L"\\/");
  return dot != std::wstring::npos && dot + 1 < path.size() && (slash == std::wstring::npos || dot > slash);
}

HWND make_control(HWND parent, HINSTANCE instance, DWORD ex_style, const wchar_t* window_class,
                  const wchar_t* text, DWORD style, WORD id) {
  return CreateWindowExW(ex_style, window_class, text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, 0, 0, 0, 0,
                         parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), instance, nullptr);
}

}  // namespace

MainWindow::MainWindow(std::function<void()> on_refresh, std::function<bool()> show_replies)
    : on_refresh_(std::move(on_refresh)), show_replies_(std::move(show_replies)) {}

MainWindow::~MainWindow() {
  if (window_ != nullptr) DestroyWindow(window_);
  if (accelerators_ != nullptr) DestroyAcceleratorTable(accelerators_);
  if (own_font_) DeleteObject(font_);  // only now that no control uses it
}

bool MainWindow::create(HINSTANCE instance) {
  // Loads comctl32, so that the manifest's common controls 6 (visual styles) apply to the controls.
  // ICC_BAR_CLASSES: the status bar and the tooltips.
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  if (!register_class(instance, &MainWindow::window_proc)) {
    report_failure({"register the window class", GetLastError()});
    return false;
  }
  const int screen_width = GetSystemMetrics(SM_CXSCREEN);
  const int screen_height = GetSystemMetrics(SM_CYSCREEN);
  const int width = screen_width / 4;
  const int height = screen_height / 4;
  // WM_NCCREATE stores `this` in the window, so that its messages reach handle(). A control that cannot
  // be made ends the creation from WM_CREATE, whose failure is recorded there: by the time CreateWindowExW
  // returns, destroying the half-made window has overwritten the last error.
  failure_ = {};
  const HWND made = CreateWindowExW(0, kClassName, texts::kWindowTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                    (screen_width - width) / 2, (screen_height - height) / 2, width, height,
                                    nullptr, nullptr, instance, this);
  if (made == nullptr) {
    if (failure_.step == nullptr) failure_ = {"create the window", GetLastError()};
    report_failure(failure_);
    return false;
  }
  accelerators_ = make_accelerators();
  return true;
}

bool MainWindow::translate(MSG& message) {
  if (window_ == nullptr) return false;
  if (accelerators_ != nullptr && TranslateAcceleratorW(window_, accelerators_, &message)) return true;
  return IsDialogMessageW(window_, &message) != FALSE;
}

LRESULT CALLBACK MainWindow::window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->window_ = self->refresh_ = self->list_ = self->status_ = self->find_ = self->tooltip_ = nullptr;
    return DefWindowProcW(window, message, wparam, lparam);
  }
  return self->handle(message, wparam, lparam);
}

LRESULT MainWindow::handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      return create_controls(reinterpret_cast<CREATESTRUCTW*>(lparam)->hInstance) ? 0 : -1;
    case WM_SIZE:
      lay_out(LOWORD(lparam), HIWORD(lparam));
      return 0;
    case WM_SETFOCUS:
      if (list_ != nullptr) SetFocus(list_);
      return 0;
    case WM_COMMAND:
      if (find_ != nullptr && reinterpret_cast<HWND>(lparam) == find_) {
        if (HIWORD(wparam) == EN_CHANGE) find_changed();
        return 0;
      }
      if (HIWORD(wparam) == kFromMenuOrClick || HIWORD(wparam) == kFromAccelerator)
        on_command(LOWORD(wparam));
      return 0;
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wparam) != list_) break;
      show_context_menu(lparam);
      return 0;
    case WM_DRAWITEM:
      if (wparam != kListId) break;
      draw_list_item(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
      return TRUE;
    case WM_NOTIFY:
      return on_notify(*reinterpret_cast<const NMHDR*>(lparam));
    case kRepliesWaiting:
      replies_waiting();
      return 0;
    case WM_TIMER:
      if (wparam == kRepliesTimer) {
        KillTimer(window_, kRepliesTimer);
        replies_waiting();
        return 0;
      }
      if (wparam == kClipboardTimer) {
        try_copy();
        return 0;
      }
      if (wparam == kSilenceTimer) {
        KillTimer(window_, kSilenceTimer);
        if (on_silence_) on_silence_();
        return 0;
      }
      break;
    case WM_CLOSE:
    case WM_DESTROY:
      // Only ends the message loop: the window stays until main has stopped the listener, which posts to
      // it, and has detached the list control, which is its list.
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wparam, lparam);
}

bool MainWindow::create_controls(HINSTANCE instance) {
  font_ = message_font(own_font_);
  const std::wstring refresh_words = wide(words::kRefresh);
  refresh_ = make_control(window_, instance, 0, L"BUTTON", refresh_words.c_str(), BS_PUSHBUTTON, kRefreshId);
  if (refresh_ == nullptr) return failed("create the window's Refresh button");
  // Created in the Tab order: button, list, find field. Owner-drawn for the warning marks; the strings
  // stay in the control, so that LB_GETTEXT gives every line exactly.
  make_label(window_, instance, wide(words::kListName));
  list_ = make_control(window_, instance, WS_EX_CLIENTEDGE, L"LISTBOX", L"",
                       WS_VSCROLL | WS_HSCROLL | LBS_NOINTEGRALHEIGHT | LBS_EXTENDEDSEL | LBS_OWNERDRAWFIXED |
                           LBS_HASSTRINGS | LBS_NOTIFY,
                       kListId);
  if (list_ == nullptr) return failed("create the window's list");
  SetWindowSubclass(list_, &MainWindow::list_proc, 0, reinterpret_cast<DWORD_PTR>(this));
  make_label(window_, instance, wide(words::kFind));
  find_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_TABSTOP | ES_AUTOHSCROLL, 0, 0, 0, 0,
                          window_, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kFindFieldId)), instance,
                          nullptr);
  if (find_ == nullptr) return failed("create the window's find field");
  const std::wstring hint = wide(words::kFindHint);
  SendMessageW(find_, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(hint.c_str()));
  // SBARS_TOOLTIPS with SBT_TOOLTIPS text: the tooltip shows the whole text when the line is cut.
  status_ =
      CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_TOOLTIPS, 0, 0, 0, 0, window_,
                      reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kStatusId)), instance, nullptr);
  if (status_ == nullptr) return failed("create the window's status line");
  SendMessageW(refresh_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  SendMessageW(status_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  SendMessageW(find_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  const SIZE text = text_extent(refresh_, font_, refresh_words.c_str());
  button_ = {text.cx + 2 * kButtonPadding, text.cy + 2 * kButtonPadding};
  // An owner-drawn list asks its item height before it has a font: the font's line height, set here.
  SendMessageW(list_, LB_SETITEMHEIGHT, 0, MAKELPARAM(text.cy + 2, 0));
  find_height_ = text.cy + 2 * GetSystemMetrics(SM_CYEDGE) + 4;
  // The tooltip asks for its text each time it shows (TTN_GETDISPINFOW): that of the item under the mouse.
  tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                             instance, nullptr);
  if (tooltip_ != nullptr) {
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(list_);
    tool.lpszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, 480);  // several problems: one line each
  }
  // Laid out now, not only on the WM_SIZE that ShowWindow sends once the window is already visible:
  // nobody sees the window with its controls half placed.
  RECT client{};
  GetClientRect(window_, &client);
  lay_out(client.right, client.bottom);
  return true;
}

bool MainWindow::failed(const char* step) {
  failure_ = {step, GetLastError()};
  return false;
}

void MainWindow::lay_out(int width, int height) {
  if (refresh_ == nullptr || list_ == nullptr || status_ == nullptr) return;
  // The status bar places itself along the window's foot; the button keeps its size, centred at the top;
  // the list takes the rest, inside the margins and a gap above the status line.
  SendMessageW(status_, WM_SIZE, 0, 0);
  RECT status{};
  GetWindowRect(status_, &status);
  const int status_height = status.bottom - status.top;
  const int list_top = kMargin + button_.cy + kGap;
  const int find_room = find_open_ ? find_height_ + kGap : 0;  // the open find field, below the list
  const int list_height = std::max(0, height - status_height - kGap - list_top - find_room);
  const int inner_width = std::max(0, width - 2 * kMargin);
  MoveWindow(refresh_, (width - button_.cx) / 2, kMargin, button_.cx, button_.cy, TRUE);
  MoveWindow(list_, kMargin, list_top, inner_width, list_height, TRUE);
  if (find_ != nullptr)
    MoveWindow(find_, kMargin, list_top + list_height + kGap, inner_width, find_height_, TRUE);
}

void MainWindow::show_status(const std::wstring& line, const std::wstring& details) {
  if (status_ == nullptr) return;
  SendMessageW(status_, SB_SETTEXTW, MAKEWPARAM(0, SBT_TOOLTIPS), reinterpret_cast<LPARAM>(line.c_str()));
  SendMessageW(status_, SB_SETTIPTEXTW, 0, reinterpret_cast<LPARAM>(details.c_str()));
}

void MainWindow::start_silence_timer(UINT delay_ms, std::function<void()> on_silence) {
  on_silence_ = std::move(on_silence);
  SetTimer(window_, kSilenceTimer, delay_ms, nullptr);
}

void MainWindow::on_command(WORD id) {
  switch (id) {
    case kRefreshId:
      on_refresh_();
      break;
    case kCopyId:
      if (GetFocus() == find_) {
        SendMessageW(find_, WM_COPY, 0, 0);
      } else {
        copy(selected_lines(list_));
      }
      break;
    case kCopyAllId:
      copy(all_lines(list_));
      break;
    case kSelectAllId:
      if (GetFocus() == find_) {
        SendMessageW(find_, EM_SETSEL, 0, -1);
      } else {
        SendMessageW(list_, LB_SETSEL, TRUE, -1);
      }
      break;
    case kFindId:
      open_find();
      break;
    case kCloseFindId:
      close_find();
      break;
    case kSaveId:
      save_list();
      break;
    default:
      if (id >= kSortFirstId && id - kSortFirstId < static_cast<int>(kSortChoices.size()))
        sort_by(kSortChoices[static_cast<std::size_t>(id - kSortFirstId)].key);
      break;
  }
}

void MainWindow::copy(const std::vector<std::wstring>& lines) {
  if (lines.empty()) return;  // leaves the clipboard alone
  pending_copy_ = join_lines(lines);
  copy_tries_ = 0;
  try_copy();
}

void MainWindow::try_copy() {
  KillTimer(window_, kClipboardTimer);
  const ClipboardResult result = copy_text_to_clipboard(window_, pending_copy_);
  if (result.busy() && ++copy_tries_ < kClipboardTries) {
    SetTimer(window_, kClipboardTimer, kClipboardRetryMs, nullptr);
    return;
  }
  std::wstring().swap(pending_copy_);  // a copy of thousands of lines gives its memory back
  if (!result.ok()) tell_copy_failed(result);
}

// A Windows user sees no standard error: the window says it, and the line stays for logs.
void MainWindow::tell_copy_failed(const ClipboardResult& result) {
  diag::print(diag::Stream::err, "Copy: clipboard not written: error %lu\n", result.code);
  wchar_t message[256];
  if (result.busy()) {
    std::swprintf(message, std::size(message), texts::kCopyBusy, result.code);
  } else {
    std::swprintf(message, std::size(message), texts::kCopyFailed, result.code);
  }
  MessageBoxW(window_, message, texts::kWindowTitle, MB_OK | MB_ICONWARNING);
}

void MainWindow::show_context_menu(LPARAM where) {
  POINT at{static_cast<short>(LOWORD(where)), static_cast<short>(HIWORD(where))};
  if (at.x == -1 && at.y == -1) {  // from the keyboard (Shift+F10, the menu key): at the list's corner
    at = {0, 0};
    ClientToScreen(list_, &at);
  }
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return;
  const bool any = SendMessageW(list_, LB_GETCOUNT, 0, 0) > 0;
  const bool selected = SendMessageW(list_, LB_GETSELCOUNT, 0, 0) > 0;
  AppendMenuW(menu, menu_item(selected), kCopyId, wide(words::kCopy).c_str());
  AppendMenuW(menu, menu_item(any), kCopyAllId, wide(words::kCopyAll).c_str());
  AppendMenuW(menu, menu_item(any), kSaveId, wide(words::kSaveList).c_str());
  if (HMENU sorts = CreatePopupMenu()) {
    for (std::size_t i = 0; i < kSortChoices.size(); ++i) {
      const UINT checked = kSortChoices[i].key == list_sort_key() ? UINT{MF_CHECKED} : UINT{MF_UNCHECKED};
      AppendMenuW(sorts, UINT{MF_STRING} | checked, kSortFirstId + i, wide(kSortChoices[i].words).c_str());
    }
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sorts), wide(words::kSortBy).c_str());
  }
  const BOOL chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, window_, nullptr);
  DestroyMenu(menu);
  if (chosen > 0) on_command(static_cast<WORD>(chosen));
}

void MainWindow::replies_waiting() {
  if (!show_replies_()) return;
  // More wait. A posted message is taken before input and painting, so posting the next slice at once
  // would leave a flood's window unpainted and deaf until the flood ends. Paint now; while input waits,
  // a timer (taken after input) brings the next slice instead.
  RedrawWindow(window_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  if (HIWORD(GetQueueStatus(QS_INPUT)) != 0) {
    SetTimer(window_, kRepliesTimer, USER_TIMER_MINIMUM, nullptr);
  } else {
    PostMessageW(window_, kRepliesWaiting, 0, 0);
  }
}

void MainWindow::open_find(wchar_t first) {
  if (!find_open_) {
    find_open_ = true;
    RECT client{};
    GetClientRect(window_, &client);
    lay_out(client.right, client.bottom);
    ShowWindow(find_, SW_SHOW);
    find_changed();  // the status line says "N of M devices" from now on
  }
  SetFocus(find_);
  if (first != 0) {
    SendMessageW(find_, WM_CHAR, first, 0);
  } else {
    SendMessageW(find_, EM_SETSEL, 0, -1);
  }
}

void MainWindow::close_find() {
  if (!find_open_) return;
  find_open_ = false;
  SetWindowTextW(find_, L"");  // empty for the next find; its EN_CHANGE comes while closed
  ShowWindow(find_, SW_HIDE);
  RECT client{};
  GetClientRect(window_, &client);
  lay_out(client.right, client.bottom);
  set_list_view(std::nullopt, list_sort_key());
  SetFocus(list_);
}

void MainWindow::find_changed() {
  if (!find_open_) return;
  const int length = GetWindowTextLengthW(find_);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(find_, text.data(), length + 1)));
  set_list_view(to_utf8(text), list_sort_key());
}

void MainWindow::sort_by(SortKey key) {
  if (key == list_sort_key()) return;
  std::optional<std::string> find;
  if (find_open_) {
    const int length = GetWindowTextLengthW(find_);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(find_, text.data(), length + 1)));
    find = to_utf8(text);
  }
  set_list_view(find, key);
}

void MainWindow::save_list() {
  // The types, "name\0pattern\0" each, and one more zero to end them.
  std::wstring filter;
  for (const words::FileType& type : kFileTypes) {
    filter += wide(type.words);
    filter.push_back(L'\0');
    filter += L"*" + wide(type.extension);
    filter.push_back(L'\0');
  }
  filter.push_back(L'\0');
  const std::wstring title = wide(words::kSaveTitle);
  std::array<wchar_t, 32768> name{};  // the longest path Windows takes
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window_;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = name.data();
  dialog.nMaxFile = static_cast<DWORD>(name.size());
  dialog.lpstrTitle = title.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  if (!GetSaveFileNameW(&dialog)) {
    if (const DWORD error = CommDlgExtendedError(); error != 0)
      tell_save_failed("the save dialog failed (error " + std::to_string(error) + ")");
    return;
  }
  std::wstring path = name.data();
  // The name's own extension decides; without one, the chosen type gives both extension and format.
  const std::size_t type = std::clamp<std::size_t>(dialog.nFilterIndex, 1, kFileTypes.size()) - 1;
  if (!has_extension(path)) path += wide(kFileTypes[type].extension);
  const std::string utf8_path = to_utf8(path);
  const std::string contents = export_rows(::list, shown_rows(list_), format_for(utf8_path));
  if (const std::optional<std::string> error = save_file(utf8_path, contents)) tell_save_failed(*error);
}

void MainWindow::tell_save_failed(const std::string& reason) {
  diag::print(diag::Stream::err, "Save: %s\n", reason.c_str());
  std::array<char, 1024> message{};
  std::snprintf(message.data(), message.size(), words::kSaveFailed, reason.c_str());
  MessageBoxW(window_, to_utf16(message.data()).c_str(), texts::kWindowTitle, MB_OK | MB_ICONWARNING);
}

void MainWindow::on_list_mouse_move(LPARAM where) {
  const auto hit = static_cast<DWORD>(SendMessageW(list_, LB_ITEMFROMPOINT, 0, where));
  const int item = HIWORD(hit) == 0 ? static_cast<int>(LOWORD(hit)) : -1;
  if (item == tip_item_ || tooltip_ == nullptr) return;
  tip_item_ = item;
  SendMessageW(tooltip_, TTM_POP, 0, 0);  // the next item's tip comes after the usual pause, with its text
}

LRESULT MainWindow::on_notify(const NMHDR& header) {
  if (header.hwndFrom != tooltip_ || header.code != TTN_GETDISPINFOW) return 0;
  auto& info = reinterpret_cast<NMTTDISPINFOW&>(const_cast<NMHDR&>(header));
  POINT at{};
  GetCursorPos(&at);
  ScreenToClient(list_, &at);
  const auto hit = static_cast<DWORD>(SendMessageW(list_, LB_ITEMFROMPOINT, 0, MAKELPARAM(at.x, at.y)));
  tip_ = HIWORD(hit) == 0 ? problem_tip(list_, static_cast<int>(LOWORD(hit))) : std::wstring();
  info.lpszText = tip_.data();  // empty: no tip over a line without problems
  return 0;
}

LRESULT CALLBACK MainWindow::list_proc(HWND list_box, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                       DWORD_PTR self) {
  auto* window = reinterpret_cast<MainWindow*>(self);
  switch (message) {
    case WM_CHAR:
      // Typing into the list starts a find with what was typed, instead of the list box's own jump.
      if (wparam >= 0x20 && wparam != 0x7F) {
        window->open_find(static_cast<wchar_t>(wparam));
        return 0;
      }
      break;
    case WM_MOUSEMOVE:
      window->on_list_mouse_move(lparam);
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(list_box, &MainWindow::list_proc, 0);
      break;
    default:
      break;
  }
  return DefSubclassProc(list_box, message, wparam, lparam);
}
