// Drives vantrel-discovery.exe from outside, the way a person would, through the Win32 API only: finds the
// window by its title, checks its placement and layout, waits for the devices and the status line, copies
// (keys and menu, and while the clipboard is held), refreshes (button and F5), and closes it. With
// DEVICES 0 it only waits for the status line to say TEXT, then closes the window. With --find it also
// checks the list as a view: sorted by address, narrowed by a find of TEXT to N lines (Ctrl+F, typing,
// Esc, Refresh keeping it), and saved through the save dialog into DIR (list.json sorted by address,
// list.csv while the find is open, "list" without an extension as list.txt); it prints how long a
// re-filter and a sort took, and the problem marks of the flagged lines. --only views: those checks
// alone.
//
//   window_driver.exe TOOL.exe DEVICES [--tool-stdout FILE] [--tool-stderr FILE] [--status TEXT]
//                     [--find TEXT --found N] [--save DIR] [--only views]
//
// Standard output: the listed lines (UTF-8), one per line, in list order. Standard error: each step, then
// "window_driver: PASS" or "window_driver: FAIL: <why>". Exit code 0 passed, 1 failed, 2 bad arguments.
// The tool's standard output and error go to the files given, or to this program's standard error.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "vantrel/product.h"
#include "window_words.h"

namespace {

constexpr wchar_t kTitle[] = L"" VANTREL_WINDOW_TITLE;
constexpr int kMargin = layout::kMargin;  // around the button and the list, in the window's client area
constexpr int kGap = layout::kGap;        // between the button, the list, the find field and the status line
constexpr int kSizeSlack = 4;             // pixels the window's size and place may be off (frame rounding)
constexpr DWORD kReplyMs = 5000;          // longest wait for something the window does on its own
// Longest wait for the window to answer one message: a refill of 10,000 lines under Wine on a loaded
// machine keeps it busy for seconds.
constexpr DWORD kAnswerMs = 30000;
constexpr DWORD kAppearMs = 30000;  // for the window to show up (a fresh Wine prefix starts slowly)
constexpr DWORD kFillMs = 60000;    // for the devices to be listed (thousands, on a busy machine)
constexpr DWORD kExitMs = 15000;    // for the process to end after WM_CLOSE

std::string utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), size, out.data(), bytes, nullptr, nullptr);
  return out;
}

void step(const std::string& what) {
  std::fprintf(stderr, "window_driver: %s\n", what.c_str());
  std::fflush(stderr);
}

// A failed check: says what, and ends the run.
struct Failure {
  std::string why;
};

void check(bool condition, const std::string& why) {
  if (!condition) throw Failure{why};
}

std::string px(long value) {
  return std::to_string(value);
}

// ---- The window, seen from outside -------------------------------------------------------------------

// A message the window must answer within `ms`; fails the run when it does not. A window busy for
// seconds counts as hung to SMTO_ABORTIFHUNG: only the time limit decides here.
LRESULT ask(HWND window, UINT message, WPARAM wparam = 0, LPARAM lparam = 0, DWORD ms = kAnswerMs) {
  DWORD_PTR result = 0;
  const LRESULT answered = SendMessageTimeoutW(window, message, wparam, lparam, SMTO_NORMAL, ms, &result);
  check(answered != 0, "the window did not answer message " + std::to_string(message) + " (error " +
                           std::to_string(GetLastError()) + ")");
  return static_cast<LRESULT>(result);
}

std::wstring class_of(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

std::wstring text_of(HWND window) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  return text;
}

bool same_class(const std::wstring& actual, const wchar_t* wanted) {
  return _wcsicmp(actual.c_str(), wanted) == 0;
}

struct Controls {
  HWND refresh = nullptr;
  HWND list = nullptr;
  HWND status = nullptr;
  int buttons = 0;
  int lists = 0;
  int status_bars = 0;
};

BOOL CALLBACK note_control(HWND child, LPARAM into) {
  auto* controls = reinterpret_cast<Controls*>(into);
  const std::wstring name = class_of(child);
  if (same_class(name, L"Button")) {
    ++controls->buttons;
    if (text_of(child) == L"Refresh") controls->refresh = child;
  }
  if (same_class(name, L"ListBox")) {
    ++controls->lists;
    controls->list = child;
  }
  if (same_class(name, L"msctls_statusbar32")) {
    ++controls->status_bars;
    controls->status = child;
  }
  return TRUE;
}

// A rectangle in the client coordinates of `parent`.
RECT rect_in(HWND parent, HWND child) {
  RECT rect{};
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

RECT client_of(HWND window) {
  RECT rect{};
  GetClientRect(window, &rect);
  return rect;
}

// The status line's text. WM_GETTEXT, unlike a status bar's own messages, is carried across processes.
std::wstring status_of(HWND status) {
  const auto length = static_cast<std::size_t>(ask(status, WM_GETTEXTLENGTH));
  std::wstring text(length + 1, L'\0');
  const auto got = static_cast<std::size_t>(
      ask(status, WM_GETTEXT, static_cast<WPARAM>(text.size()), reinterpret_cast<LPARAM>(text.data())));
  text.resize(std::min(got, length));
  return text;
}

int count_of(HWND list) {
  return static_cast<int>(ask(list, LB_GETCOUNT));
}

std::vector<std::wstring> lines_of(HWND list) {
  std::vector<std::wstring> lines;
  const int count = count_of(list);
  for (int row = 0; row < count; ++row) {
    const LRESULT length = ask(list, LB_GETTEXTLEN, static_cast<WPARAM>(row));
    check(length != LB_ERR, "LB_GETTEXTLEN failed for row " + std::to_string(row));
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT got =
        ask(list, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text.data()));
    check(got == length,
          "LB_GETTEXT gave " + std::to_string(got) + " characters, LB_GETTEXTLEN " + std::to_string(length));
    text.resize(static_cast<std::size_t>(got));
    lines.push_back(text);
  }
  return lines;
}

// ---- The process ------------------------------------------------------------------------------------

struct Options {
  std::wstring tool;
  int devices = 0;  // 0: only the status line is looked at
  std::wstring tool_stdout;
  std::wstring tool_stderr;
  std::wstring status;  // a text the status line must come to hold
  std::wstring find;    // a text that narrows the list to `found` lines; empty: no view checks
  int found = -1;
  std::wstring save_dir;
  bool only_views = false;  // skips the copy, clipboard and Refresh checks (a big list's view is timed)
};

bool parse(int argc, wchar_t** argv, Options& options) {
  if (argc < 3) return false;
  options.tool = argv[1];
  wchar_t* end = nullptr;
  options.devices = static_cast<int>(std::wcstol(argv[2], &end, 10));
  if (*end != L'\0' || options.devices < 0) return false;
  for (int i = 3; i + 1 < argc; i += 2) {
    const std::wstring flag = argv[i];
    if (flag == L"--tool-stdout") {
      options.tool_stdout = argv[i + 1];
    } else if (flag == L"--tool-stderr") {
      options.tool_stderr = argv[i + 1];
    } else if (flag == L"--status") {
      options.status = argv[i + 1];
    } else if (flag == L"--find") {
      options.find = argv[i + 1];
    } else if (flag == L"--found") {
      options.found = static_cast<int>(std::wcstol(argv[i + 1], &end, 10));
      if (*end != L'\0' || options.found < 0) return false;
    } else if (flag == L"--save") {
      options.save_dir = argv[i + 1];
    } else if (flag == L"--only" && std::wstring(argv[i + 1]) == L"views") {
      options.only_views = true;
    } else {
      return false;
    }
  }
  return (argc - 3) % 2 == 0 && options.find.empty() == (options.found < 0);
}

// An inheritable handle for the tool's output: the file, or this program's standard error.
HANDLE output_for_tool(const std::wstring& path) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  if (!path.empty()) {
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  HANDLE copy = INVALID_HANDLE_VALUE;
  DuplicateHandle(GetCurrentProcess(), GetStdHandle(STD_ERROR_HANDLE), GetCurrentProcess(), &copy, 0, TRUE,
                  DUPLICATE_SAME_ACCESS);
  return copy;
}

class Tool {
 public:
  explicit Tool(const Options& options) {
    HANDLE out = output_for_tool(options.tool_stdout);
    HANDLE err = output_for_tool(options.tool_stderr);
    check(out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE, "cannot open the tool's output files");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = out;
    startup.hStdError = err;
    std::wstring command = L"\"" + options.tool + L"\"";
    const BOOL started = CreateProcessW(options.tool.c_str(), command.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &process_);
    const DWORD error = GetLastError();
    CloseHandle(out);
    CloseHandle(err);
    check(started != FALSE, "CreateProcessW failed with error " + std::to_string(error));
  }
  ~Tool() {
    if (process_.hProcess == nullptr) return;
    if (running()) TerminateProcess(process_.hProcess, 99);  // a failed run must not leave it behind
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  Tool(const Tool&) = delete;
  Tool& operator=(const Tool&) = delete;

  DWORD id() const { return process_.dwProcessId; }
  bool running() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }

  // The exit code, or a failure when it does not end within `ms`.
  DWORD wait_for_exit(DWORD ms) const {
    check(WaitForSingleObject(process_.hProcess, ms) == WAIT_OBJECT_0, "the tool did not end after WM_CLOSE");
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
  }

 private:
  PROCESS_INFORMATION process_{};
};

// Polls `done` every 20 ms until it is true, the tool ends, or `ms` pass.
template <typename Done>
bool wait_until(const Tool& tool, DWORD ms, Done done) {
  const ULONGLONG deadline = GetTickCount64() + ms;
  while (!done()) {
    check(tool.running(), "the tool ended by itself");
    if (GetTickCount64() >= deadline) return false;
    Sleep(20);
  }
  return true;
}

// ---- Keyboard and clipboard ---------------------------------------------------------------------------

// Real key strokes, as typed, to the foreground window: they reach it through its message loop,
// accelerators and all.
void type_keys(const std::vector<WORD>& held, WORD key) {
  std::vector<INPUT> strokes;
  auto stroke = [&strokes](WORD code, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = code;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    strokes.push_back(input);
  };
  for (const WORD modifier : held) stroke(modifier, false);
  stroke(key, false);
  stroke(key, true);
  for (auto modifier = held.rbegin(); modifier != held.rend(); ++modifier) stroke(*modifier, true);
  const UINT sent = SendInput(static_cast<UINT>(strokes.size()), strokes.data(), sizeof(INPUT));
  check(sent == strokes.size(), "SendInput failed with error " + std::to_string(GetLastError()));
}

// A right click at `where` (screen coordinates), as the mouse would make it.
void right_click(POINT where) {
  SetCursorPos(where.x, where.y);
  INPUT clicks[2] = {};
  for (INPUT& click : clicks) click.type = INPUT_MOUSE;
  clicks[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
  clicks[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
  check(SendInput(2, clicks, sizeof(INPUT)) == 2,
        "SendInput (mouse) failed with error " + std::to_string(GetLastError()));
}

// The clipboard is read only once its content has changed and nobody holds it open: opening it while
// the window tries to write it would make the window's copy fail (as polling it once did).
bool clipboard_free() {
  return GetOpenClipboardWindow() == nullptr;
}

// Opens the clipboard for this process once nobody else holds it; fails the run when it cannot.
void open_clipboard(const Tool& tool) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    wait_until(tool, kReplyMs, clipboard_free);
    if (OpenClipboard(nullptr)) return;
  }
  check(false, "cannot open the clipboard (error " + std::to_string(GetLastError()) + ")");
}

// The clipboard's text once a copy after `before` (a GetClipboardSequenceNumber) has landed; empty when
// none lands within kReplyMs.
std::wstring copied_since(const Tool& tool, DWORD before) {
  const bool changed =
      wait_until(tool, kReplyMs, [&] { return GetClipboardSequenceNumber() != before && clipboard_free(); });
  if (!changed) return {};
  open_clipboard(tool);
  std::wstring text;
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (data != nullptr) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = chars;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

// Empties the clipboard; its sequence number after.
DWORD clear_clipboard(const Tool& tool) {
  open_clipboard(tool);
  EmptyClipboard();
  CloseClipboard();
  return GetClipboardSequenceNumber();
}

// ---- The checks -------------------------------------------------------------------------------------

HWND find_window(const Tool& tool) {
  HWND window = nullptr;
  const bool found = wait_until(tool, kAppearMs, [&] {
    window = FindWindowW(nullptr, kTitle);
    return window != nullptr && IsWindowVisible(window);
  });
  check(found, "no visible window titled \"" VANTREL_WINDOW_TITLE "\"");
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  check(owner == tool.id(), "the window titled so belongs to another process");
  // Visible is not yet finished: ShowWindow lays the window out again while it already shows. A sent
  // message is answered only once the window's thread is back in its message loop.
  ask(window, WM_NULL);
  return window;
}

Controls find_controls(HWND window) {
  Controls controls;
  EnumChildWindows(window, note_control, reinterpret_cast<LPARAM>(&controls));
  check(controls.refresh != nullptr, "no button labelled \"Refresh\"");
  check(controls.buttons == 1 && controls.lists == 1 && controls.status_bars == 1,
        "want one button, one list box and one status bar, found " + std::to_string(controls.buttons) + ", " +
            std::to_string(controls.lists) + " and " + std::to_string(controls.status_bars));
  const auto style = static_cast<DWORD>(GetWindowLongW(controls.list, GWL_STYLE));
  // Scroll bar styles come and go as Windows shows and hides the bars; these stay.
  const DWORD wanted = LBS_NOINTEGRALHEIGHT | LBS_EXTENDEDSEL;
  check((style & wanted) == wanted, "the list box lacks extended selection or free height");
  return controls;
}

bool running_on_wine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Windows tells another process a class's icons; Wine answers 0 without an error. There the program's
// own icon group is checked instead (the Linux test looks at the icon on the X window).
void check_icon(HWND window, const std::wstring& tool) {
  if (!running_on_wine()) {
    check(GetClassLongPtrW(window, GCLP_HICON) != 0 && GetClassLongPtrW(window, GCLP_HICONSM) != 0,
          "the window class has no icon (IDI_ICON1)");
    return;
  }
  HMODULE image =
      LoadLibraryExW(tool.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  const bool carried = image != nullptr && FindResourceW(image, L"IDI_ICON1", RT_GROUP_ICON) != nullptr;
  if (image != nullptr) FreeLibrary(image);
  check(carried, "the program carries no icon group named IDI_ICON1");
}

void check_placement(HWND window) {
  const long screen_width = GetSystemMetrics(SM_CXSCREEN);
  const long screen_height = GetSystemMetrics(SM_CYSCREEN);
  RECT frame{};
  GetWindowRect(window, &frame);
  const long width = frame.right - frame.left;
  const long height = frame.bottom - frame.top;
  const std::string seen = px(width) + "x" + px(height) + "+" + px(frame.left) + "+" + px(frame.top) +
                           " on a screen of " + px(screen_width) + "x" + px(screen_height);
  check(std::labs(width - screen_width / 4) <= kSizeSlack &&
            std::labs(height - screen_height / 4) <= kSizeSlack,
        "the window is not a quarter of the screen: " + seen);
  check(std::labs(frame.left + frame.right - screen_width) <= kSizeSlack &&
            std::labs(frame.top + frame.bottom - screen_height) <= kSizeSlack,
        "the window is not centred: " + seen);
  step("window " + seen);
}

// The button centred at the top at its own size; the status line along the foot; the list between them
// filling the rest, inside the margins and a gap above the status line.
void check_layout(HWND window, const Controls& controls) {
  const RECT client = client_of(window);
  const RECT button = rect_in(window, controls.refresh);
  const RECT list = rect_in(window, controls.list);
  const RECT status = rect_in(window, controls.status);
  const std::string seen = "button " + px(button.left) + "," + px(button.top) + "-" + px(button.right) + "," +
                           px(button.bottom) + ", list " + px(list.left) + "," + px(list.top) + "-" +
                           px(list.right) + "," + px(list.bottom) + ", status " + px(status.left) + "," +
                           px(status.top) + "-" + px(status.right) + "," + px(status.bottom) + " in " +
                           px(client.right) + "x" + px(client.bottom);
  check(button.top == kMargin, "the button is not at the top margin: " + seen);
  check(std::labs(button.left + button.right - client.right) <= 1, "the button is not centred: " + seen);
  check(button.bottom - button.top > 2 * kMargin && button.right - button.left > button.bottom - button.top,
        "the button is not its text plus the padding: " + seen);
  check(list.top == button.bottom + kGap, "the list does not start below the button: " + seen);
  check(status.left == 0 && status.right == client.right && status.bottom == client.bottom &&
            status.bottom - status.top > 0,
        "the status line does not span the window's foot: " + seen);
  check(list.left == kMargin && client.right - list.right == kMargin && status.top - list.bottom == kGap,
        "the list does not fill the client area inside the margins, above the status line: " + seen);
  step("layout " + seen);
}

// Layout redone on a resize: the list takes the new room, the button keeps its size and stays centred.
void check_resize(HWND window, const Controls& controls) {
  const RECT before_client = client_of(window);
  const RECT before_button = rect_in(window, controls.refresh);
  const RECT before_list = rect_in(window, controls.list);
  RECT frame{};
  GetWindowRect(window, &frame);
  SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left + 200, frame.bottom - frame.top + 150,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  const RECT client = client_of(window);
  const RECT button = rect_in(window, controls.refresh);
  const RECT list = rect_in(window, controls.list);
  const long grew_x = client.right - before_client.right;
  const long grew_y = client.bottom - before_client.bottom;
  check(grew_x > 0 && grew_y > 0, "the window did not grow");
  check(list.right - list.left == before_list.right - before_list.left + grew_x &&
            list.bottom - list.top == before_list.bottom - before_list.top + grew_y,
        "the list did not grow with the window");
  check(button.right - button.left == before_button.right - before_button.left &&
            button.bottom - button.top == before_button.bottom - before_button.top,
        "the button changed its size");
  check_layout(window, controls);
  SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::vector<std::wstring> wait_for_devices(const Tool& tool, HWND list, int devices,
                                           const std::string& when) {
  const bool filled = wait_until(tool, kFillMs, [&] { return count_of(list) >= devices; });
  check(filled, when + ": the list holds " + std::to_string(count_of(list)) + " lines, want " +
                    std::to_string(devices));
  Sleep(500);  // a repeat or a stray line would show up by now
  std::vector<std::wstring> lines = lines_of(list);
  check(static_cast<int>(lines.size()) == devices, when + ": the list holds " + std::to_string(lines.size()) +
                                                       " lines, want " + std::to_string(devices));
  check(ask(list, LB_GETHORIZONTALEXTENT) > 0, when + ": no horizontal extent set for the lines");
  return lines;
}

std::vector<std::wstring> sorted(std::vector<std::wstring> lines) {
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::wstring joined(const std::vector<std::wstring>& lines) {
  std::wstring text;
  for (std::size_t i = 0; i < lines.size(); ++i) text += (i > 0 ? L"\r\n" : L"") + lines[i];
  return text;
}

// Ctrl+C, and what it put on the clipboard.
std::wstring copy_with_keys(const Tool& tool, HWND window) {
  const DWORD before = clear_clipboard(tool);
  SetForegroundWindow(window);
  type_keys({VK_CONTROL}, 'C');
  return copied_since(tool, before);
}

// Ctrl+C with the first and last lines selected (chosen last-first) copies them in list order; Ctrl+A
// selects every line, and Ctrl+C then copies them all.
void check_copy(const Tool& tool, HWND window, HWND list, const std::vector<std::wstring>& lines) {
  ask(list, LB_SETSEL, FALSE, -1);
  ask(list, LB_SETSEL, TRUE, static_cast<LPARAM>(lines.size() - 1));
  ask(list, LB_SETSEL, TRUE, 0);
  std::vector<std::wstring> wanted = {lines.front()};
  if (lines.size() > 1) wanted.push_back(lines.back());
  std::wstring copied = copy_with_keys(tool, window);
  check(copied == joined(wanted),
        "Ctrl+C copied \"" + utf8(copied) + "\", want \"" + utf8(joined(wanted)) + "\"");
  step("Ctrl+C copied the selected lines in list order");

  ask(list, LB_SETSEL, FALSE, -1);
  SetForegroundWindow(window);
  type_keys({VK_CONTROL}, 'A');
  const auto count = static_cast<LRESULT>(lines.size());
  const bool all = wait_until(tool, kReplyMs, [&] { return ask(list, LB_GETSELCOUNT) == count; });
  check(all, "Ctrl+A selected " + std::to_string(ask(list, LB_GETSELCOUNT)) + " lines, want all");
  copied = copy_with_keys(tool, window);
  check(copied == joined(lines), "Ctrl+A, Ctrl+C did not copy every line in list order");
  step("Ctrl+A, Ctrl+C copied every line");
}

// The list's right-click menu with nothing selected: "Copy all" copies every line ("Copy" is greyed).
void check_context_menu(const Tool& tool, HWND window, HWND list, const std::vector<std::wstring>& lines) {
  ask(list, LB_SETSEL, FALSE, -1);
  const DWORD before = clear_clipboard(tool);
  RECT area{};
  GetWindowRect(list, &area);
  SetForegroundWindow(window);
  right_click({(area.left + area.right) / 2, (area.top + area.bottom) / 2});
  Sleep(300);  // the menu opens
  // The open menu takes the keys (a change of foreground now would close it). Greyed items are
  // highlighted too, so "Copy all" is the second.
  type_keys({}, VK_DOWN);
  type_keys({}, VK_DOWN);
  type_keys({}, VK_RETURN);
  const std::wstring copied = copied_since(tool, before);
  check(copied == joined(lines), "the right-click menu's \"Copy all\" copied \"" + utf8(copied) + "\"");
  step("right-click menu: Copy all copied every line");
}

// A top-level window of the tool's process of class `window_class`, visible; null when there is none.
HWND window_of(const Tool& tool, const wchar_t* window_class) {
  struct Search {
    DWORD process;
    const wchar_t* window_class;
    HWND found = nullptr;
  } search{tool.id(), window_class};
  EnumWindows(
      [](HWND window, LPARAM into) -> BOOL {
        auto* wanted = reinterpret_cast<Search*>(into);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != wanted->process || !IsWindowVisible(window) ||
            !same_class(class_of(window), wanted->window_class))
          return TRUE;
        wanted->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The texts of a dialog's static controls, one after the other.
std::wstring dialog_text(HWND dialog) {
  std::wstring text;
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!same_class(class_of(child), L"Static")) continue;
    wchar_t part[1024] = {};
    GetWindowTextW(child, part, 1024);
    text += part;
  }
  return text;
}

// "Copy all" asked for while this process holds the clipboard. The command is sent, not typed, so that
// the window's first attempt surely meets the held clipboard: SendMessage returns after it.
constexpr WPARAM kCopyAllCommand = 103;  // the window's id of "Copy all"
constexpr DWORD kBriefHoldMs = 100;      // a clipboard manager's moment: the window must outlast it

void copy_all_while_held(const Tool& tool, HWND window) {
  open_clipboard(tool);
  EmptyClipboard();
  ask(window, WM_COMMAND, kCopyAllCommand);
}

// Held for a moment, then let go: the window tries again and the copy lands.
void check_copy_outlasts_a_held_clipboard(const Tool& tool, HWND window,
                                          const std::vector<std::wstring>& lines) {
  copy_all_while_held(tool, window);
  Sleep(kBriefHoldMs);
  CloseClipboard();
  const DWORD before = GetClipboardSequenceNumber();
  const std::wstring copied = copied_since(tool, before);
  check(copied == joined(lines), "with the clipboard held for " + std::to_string(kBriefHoldMs) +
                                     " ms, Copy all copied \"" + utf8(copied.substr(0, 200)) + "\"");
  step("clipboard held for " + std::to_string(kBriefHoldMs) + " ms: Copy all copied every line");
}

// Held for good: the window gives up and says so in a message box, which is dismissed here.
void check_copy_gives_up_and_says_so(const Tool& tool, HWND window) {
  copy_all_while_held(tool, window);
  const DWORD before = GetClipboardSequenceNumber();
  HWND box = nullptr;
  const bool shown =
      wait_until(tool, kReplyMs, [&] { return (box = window_of(tool, L"#32770")) != nullptr; });
  const std::wstring said = shown ? dialog_text(box) : L"";
  if (shown) PostMessageW(box, WM_COMMAND, IDOK, 0);
  const bool dismissed = shown && wait_until(tool, kReplyMs, [&] { return !IsWindow(box); });
  CloseClipboard();
  check(shown, "with the clipboard held, the window did not say that the copy failed");
  check(said.find(L"clipboard") != std::wstring::npos,
        "the window's message names no clipboard: \"" + utf8(said) + "\"");
  check(dismissed, "the window's message did not close on OK");
  check(GetClipboardSequenceNumber() == before, "the window wrote the clipboard after giving up");
  step("clipboard held: the window said \"" + utf8(said) + "\"");
}

// After Refresh (button or F5) the list is emptied and filled again with the same devices. Every line is
// selected first: if a line survives, it is still selected, and emptying is seen even when the devices
// answer before the list is looked at.
void check_refresh(const Tool& tool, HWND list, const std::vector<std::wstring>& lines,
                   const std::string& how, const auto& press) {
  ask(list, LB_SETSEL, TRUE, -1);
  press();
  bool emptied = false;
  wait_until(tool, kFillMs, [&] {
    emptied = emptied || count_of(list) == 0;
    return emptied || ask(list, LB_GETSELCOUNT) == 0;
  });
  const std::vector<std::wstring> again = wait_for_devices(tool, list, static_cast<int>(lines.size()), how);
  check(ask(list, LB_GETSELCOUNT) == 0, how + ": the old lines were not removed");
  std::vector<std::wstring> before = lines;
  std::vector<std::wstring> after = again;
  std::sort(before.begin(), before.end());
  std::sort(after.begin(), after.end());
  check(before == after, how + ": the list was filled again with other lines");
  step(how + ": emptied" + (emptied ? " (seen empty)" : "") + " and filled again with " +
       std::to_string(again.size()) + " lines");
}

// "No devices yet", "1 device", "5,000 devices": how the status line starts.
std::wstring thousands(int number) {
  std::wstring digits = std::to_wstring(number);
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, L",");
  return digits;
}

std::wstring count_words(int devices) {
  if (devices == 0) return L"No devices yet";
  return thousands(devices) + (devices == 1 ? L" device" : L" devices");
}

// The status line comes to start with the count and to hold `wanted`.
void check_status(const Tool& tool, HWND status, int devices, const std::wstring& wanted) {
  const std::wstring count = count_words(devices);
  std::wstring said;
  const bool shown = wait_until(tool, kFillMs, [&] {
    said = status_of(status);
    return said.rfind(count, 0) == 0 && said.find(wanted) != std::wstring::npos;
  });
  check(shown, "the status line says \"" + utf8(said) + "\", want it to start with \"" + utf8(count) +
                   "\" and hold \"" + utf8(wanted) + "\"");
  step("status line: " + utf8(said));
}

// The status line comes to start with `start`.
void check_status_starts(const Tool& tool, HWND status, const std::wstring& start) {
  std::wstring said;
  const bool shown =
      wait_until(tool, kReplyMs, [&] { return (said = status_of(status)).rfind(start, 0) == 0; });
  check(shown, "the status line says \"" + utf8(said) + "\", want it to start with \"" + utf8(start) + "\"");
  step("status line: " + utf8(said));
}

// ---- The list as a view ------------------------------------------------------------------------------

// The window's command ids the driver sends (the menu's own, as a click on the item sends them).
constexpr WPARAM kSortArrivalCommand = 120;
constexpr WPARAM kSortAddressCommand = 121;

double milliseconds_since(LARGE_INTEGER start) {
  LARGE_INTEGER now{};
  LARGE_INTEGER frequency{};
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart - start.QuadPart) * 1000.0 /
         static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER now_counter() {
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  return now;
}

std::string ms_words(double ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f ms", ms);
  return text;
}

// The find field: the window's one Edit child.
HWND find_field(HWND window) {
  return FindWindowExW(window, nullptr, L"Edit", nullptr);
}

// The line's address ("10.77.0.50, Model: ...") as a number, host order.
unsigned long address_of(const std::wstring& line) {
  unsigned long address = 0;
  unsigned long part = 0;
  for (const wchar_t c : line.substr(0, line.find(L','))) {
    if (c == L'.') {
      address = (address << 8) | part;
      part = 0;
    } else {
      part = part * 10 + static_cast<unsigned long>(c - L'0');
    }
  }
  return (address << 8) | part;
}

bool holds_ignoring_case(const std::wstring& line, const std::wstring& needle) {
  const auto lower = [](std::wstring text) {
    for (wchar_t& c : text)
      if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return text;
  };
  return lower(line).find(lower(needle)) != std::wstring::npos;
}

// In arrival order every item's data is its row, and its low byte the row's problems; the flagged lines
// are printed as "marks BITS LINE" steps.
void check_marks(HWND list, const std::vector<std::wstring>& lines, bool print = true) {
  for (std::size_t row = 0; row < lines.size(); ++row) {
    const auto data = static_cast<unsigned long long>(ask(list, LB_GETITEMDATA, row));
    check(data >> 8 == row, "item " + std::to_string(row) + " holds row " + std::to_string(data >> 8));
    if ((data & 0xFF) != 0 && print) step("marks " + std::to_string(data & 0xFF) + " " + utf8(lines[row]));
  }
}

// Sort by address: every line still there, in numeric address order, ties in arrival order; back to
// arrival order after.
void check_sort(HWND window, HWND list, const std::vector<std::wstring>& lines) {
  ask(window, WM_NULL);
  const LARGE_INTEGER start = now_counter();
  ask(window, WM_COMMAND, kSortAddressCommand, 0, kFillMs);
  const double took = milliseconds_since(start);
  const std::vector<std::wstring> sorted = lines_of(list);
  std::vector<std::wstring> wanted = lines;
  std::stable_sort(wanted.begin(), wanted.end(), [](const std::wstring& a, const std::wstring& b) {
    return address_of(a) < address_of(b);
  });
  check(sorted == wanted, "sorted by address, the list does not hold its lines in address order");
  step("sort by address of " + std::to_string(lines.size()) + " lines: " + ms_words(took));
}

void check_arrival_order(HWND window, HWND list, const std::vector<std::wstring>& lines) {
  ask(window, WM_COMMAND, kSortArrivalCommand, 0, kFillMs);
  check(lines_of(list) == lines, "sorted by arrival again, the list is not in its first order");
}

// The save dialog's file name field: edt1, else the first visible Edit anywhere in it (inside a combo box
// in some versions).
HWND file_name_field(HWND dialog) {
  struct Search {
    HWND named = nullptr;
    HWND any = nullptr;
  } search;
  EnumChildWindows(
      dialog,
      [](HWND child, LPARAM into) -> BOOL {
        auto* found = reinterpret_cast<Search*>(into);
        if (!same_class(class_of(child), L"Edit") || !IsWindowVisible(child)) return TRUE;
        if (GetDlgCtrlID(child) == 0x480) found->named = child;
        if (found->any == nullptr) found->any = child;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.named != nullptr ? search.named : search.any;
}

// Ctrl+S, the file name typed into the save dialog, OK: the file is written.
void save_as(const Tool& tool, HWND window, const std::wstring& name, const std::wstring& written) {
  SetForegroundWindow(window);
  type_keys({VK_CONTROL}, 'S');
  HWND dialog = nullptr;
  check(wait_until(tool, kReplyMs, [&] { return (dialog = window_of(tool, L"#32770")) != nullptr; }),
        "Ctrl+S opened no save dialog");
  HWND field = nullptr;
  wait_until(tool, kReplyMs, [&] { return (field = file_name_field(dialog)) != nullptr; });
  check(field != nullptr, "the save dialog has no file name field");
  ask(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  check(wait_until(tool, kReplyMs, [&] { return !IsWindow(dialog); }), "the save dialog did not close on OK");
  ask(window, WM_NULL);  // the save is done once the window answers again
  check(GetFileAttributesW(written.c_str()) != INVALID_FILE_ATTRIBUTES,
        "no file " + utf8(written) + " written");
  step("saved " + utf8(written));
}

std::wstring field_text(HWND field) {
  wchar_t text[256] = {};
  ask(field, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
  return text;
}

// The find field below the list: the list shrank by its height and a gap, the status line stays.
void check_find_layout(HWND window, const Controls& controls, HWND field) {
  const RECT list = rect_in(window, controls.list);
  const RECT edit = rect_in(window, field);
  const RECT status = rect_in(window, controls.status);
  const std::string seen = "list " + px(list.left) + "," + px(list.top) + "-" + px(list.right) + "," +
                           px(list.bottom) + ", find " + px(edit.left) + "," + px(edit.top) + "-" +
                           px(edit.right) + "," + px(edit.bottom) + ", status top " + px(status.top);
  check(edit.left == list.left && edit.right == list.right && edit.top == list.bottom + kGap &&
            status.top - edit.bottom == kGap && edit.bottom > edit.top,
        "the find field is not between the list and the status line: " + seen);
  step("find layout " + seen);
}

// Ctrl+F, the text, the narrowed list and status line; Copy all and Save act on it; Refresh keeps it;
// Esc brings every line back. Then a character typed into the list opens the find with it.
void check_find(const Tool& tool, HWND window, const Controls& controls, const Options& options,
                const std::vector<std::wstring>& lines) {
  const HWND field = find_field(window);
  check(field != nullptr && !IsWindowVisible(field), "no hidden find field before Ctrl+F");
  SetForegroundWindow(window);
  type_keys({VK_CONTROL}, 'F');
  check(wait_until(tool, kReplyMs, [&] { return IsWindowVisible(field) != FALSE; }),
        "Ctrl+F showed no find field");
  check_find_layout(window, controls, field);

  ask(window, WM_NULL);  // the window is idle: only the re-filter is timed
  const LARGE_INTEGER start = now_counter();
  ask(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(options.find.c_str()), kFillMs);
  const double took = milliseconds_since(start);
  std::vector<std::wstring> wanted;
  for (const std::wstring& line : lines)
    if (holds_ignoring_case(line, options.find)) wanted.push_back(line);
  check(static_cast<int>(wanted.size()) == options.found, "--found does not match the lines holding --find");
  const std::vector<std::wstring> narrowed = lines_of(controls.list);
  check(narrowed == wanted, "finding \"" + utf8(options.find) + "\" shows " +
                                std::to_string(narrowed.size()) + " lines, want the " +
                                std::to_string(wanted.size()) + " that hold it");
  step("re-filter of " + std::to_string(lines.size()) + " lines to " + std::to_string(narrowed.size()) +
       ": " + ms_words(took));
  check_status_starts(tool, controls.status,
                      thousands(options.found) + L" of " + count_words(static_cast<int>(lines.size())));

  const DWORD before = clear_clipboard(tool);
  ask(window, WM_COMMAND, kCopyAllCommand);
  const std::wstring copied = copied_since(tool, before);
  check(copied == joined(narrowed),
        "with the find open, Copy all copied \"" + utf8(copied.substr(0, 200)) + "\"");
  step("Copy all copied the lines the find shows");
  if (!options.save_dir.empty())
    save_as(tool, window, options.save_dir + L"\\list.csv", options.save_dir + L"\\list.csv");

  ask(controls.refresh, BM_CLICK);
  check(wait_until(tool, kFillMs, [&] { return count_of(controls.list) == options.found; }),
        "Refresh with the find open");
  Sleep(500);
  // The devices may answer in another order this time.
  check(sorted(lines_of(controls.list)) == sorted(narrowed) && IsWindowVisible(field) &&
            field_text(field) == options.find,
        "Refresh did not keep the find");
  step("Refresh kept the find");

  SetForegroundWindow(window);
  type_keys({}, VK_ESCAPE);
  check(wait_until(tool, kFillMs, [&] { return !IsWindowVisible(field); }),
        "Esc did not hide the find field");
  ask(window, WM_NULL, 0, 0, kFillMs);  // the list is refilled once the field is hidden
  const std::vector<std::wstring> again = lines_of(controls.list);
  check(sorted(again) == sorted(lines), "after Esc the list does not show every line");
  check_marks(controls.list, again, false);  // in arrival order again
  check_status_starts(tool, controls.status, count_words(static_cast<int>(lines.size())));
  check_layout(window, controls);
  step("Esc closed the find and brought every line back");

  type_keys({}, 'Q');
  check(wait_until(tool, kReplyMs, [&] { return IsWindowVisible(field) != FALSE; }),
        "a character typed into the list opened no find");
  const std::wstring typed = field_text(field);
  check(typed == L"q" || typed == L"Q", "the find field holds \"" + utf8(typed) + "\", want the typed q");
  type_keys({}, VK_ESCAPE);
  check(wait_until(tool, kReplyMs, [&] { return !IsWindowVisible(field); }),
        "Esc did not hide the find field");
  ask(window, WM_NULL, 0, 0, kFillMs);
  step("typing into the list opened the find with the character");
}

void check_views(const Tool& tool, HWND window, const Controls& controls, const Options& options,
                 const std::vector<std::wstring>& lines) {
  check_marks(controls.list, lines);
  check_sort(window, controls.list, lines);
  if (!options.save_dir.empty())
    save_as(tool, window, options.save_dir + L"\\list.json", options.save_dir + L"\\list.json");
  check_arrival_order(window, controls.list, lines);
  check_find(tool, window, controls, options, lines);
  if (!options.save_dir.empty())
    save_as(tool, window, options.save_dir + L"\\list", options.save_dir + L"\\list.txt");
}

void close_and_check_exit(const Tool& tool, HWND window) {
  PostMessageW(window, WM_CLOSE, 0, 0);
  const DWORD code = tool.wait_for_exit(kExitMs);
  check(code == 0, "the tool exited with " + std::to_string(code) + " after WM_CLOSE");
  check(!IsWindow(window), "the window outlived its process");
}

void print_lines(const std::vector<std::wstring>& lines) {
  for (const std::wstring& line : lines) std::printf("%s\n", utf8(line).c_str());
  std::fflush(stdout);
}

void drive(const Options& options) {
  Tool tool(options);
  const HWND window = find_window(tool);
  const Controls controls = find_controls(window);
  check_icon(window, options.tool);
  check_placement(window);
  check_layout(window, controls);
  if (options.devices == 0) {
    check_status(tool, controls.status, 0, options.status);
    close_and_check_exit(tool, window);
    return;
  }
  const std::vector<std::wstring> lines = wait_for_devices(tool, controls.list, options.devices, "start");
  print_lines(lines);
  check_status(tool, controls.status, options.devices, options.status);
  if (options.only_views && !options.find.empty()) {
    check_views(tool, window, controls, options, lines);
    close_and_check_exit(tool, window);
    return;
  }
  check_resize(window, controls);
  check_copy(tool, window, controls.list, lines);
  check_context_menu(tool, window, controls.list, lines);
  check_copy_outlasts_a_held_clipboard(tool, window, lines);
  check_copy_gives_up_and_says_so(tool, window);
  if (!options.find.empty()) check_views(tool, window, controls, options, lines);
  check_refresh(tool, controls.list, lines, "Refresh button", [&] { ask(controls.refresh, BM_CLICK); });
  check_refresh(tool, controls.list, lines, "F5", [&] {
    SetForegroundWindow(window);
    type_keys({}, VK_F5);
  });
  close_and_check_exit(tool, window);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);  // lines end in LF alone, as the reader on Linux expects
  Options options;
  if (!parse(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: window_driver.exe TOOL.exe DEVICES [--tool-stdout FILE] [--tool-stderr FILE] "
                 "[--status TEXT] [--find TEXT --found N] [--save DIR] [--only views]\n");
    return 2;
  }
  try {
    drive(options);
  } catch (const Failure& failure) {
    step("FAIL: " + failure.why);
    return 1;
  }
  step("PASS");
  return 0;
}
