// The one window: the Refresh button centred at the top, the list of device lines below it, the status
// line (a status bar) at the bottom.
#pragma once

#include <windows.h>
// After windows.h, whose types it uses.
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "clipboard.h"
#include "vantrel/device_view.h"

class MainWindow {
 public:
  // Posted to window() by the listener thread when replies start waiting in the mailbox.
  static constexpr UINT kRepliesWaiting = WM_APP + 1;

  // Both run on the GUI thread. `on_refresh`: the button and F5. `show_replies`: lists a slice of the
  // waiting replies and says whether more wait; the window calls it again later while they do.
  MainWindow(std::function<void()> on_refresh, std::function<bool()> show_replies);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // A step of the window's creation that Windows refused, with the error it gave right then.
  struct Failure {
    const char* step = nullptr;  // as in "cannot <step>"
    DWORD code = 0;
  };

  // Registers the class and creates the window, hidden, at a quarter of the screen, centred. False (with
  // a diagnostic line naming the step and its error) when Windows refuses.
  bool create(HINSTANCE instance);

  // F5, Ctrl+F, Ctrl+S, Ctrl+C, Ctrl+A, Esc and Tab between the controls, wherever the focus is. True
  // when `message` was used.
  bool translate(MSG& message);

  HWND window() const { return window_; }
  HWND list() const { return list_; }

  // The status line: `line` shown (cut where it does not fit), `details` its tooltip. GUI thread.
  void show_status(const std::wstring& line, const std::wstring& details);

  // (Re)starts the single-shot timer that calls `on_silence` after `delay_ms`. GUI thread.
  void start_silence_timer(UINT delay_ms, std::function<void()> on_silence);

 private:
  static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);
  bool create_controls(HINSTANCE instance);
  bool failed(const char* step);  // records the step with the last error; false
  void lay_out(int width, int height);
  void on_command(WORD id);
  void copy(const std::vector<std::wstring>& lines);
  void try_copy();
  void tell_copy_failed(const ClipboardResult& result);
  void show_context_menu(LPARAM where);
  void replies_waiting();
  void open_find(wchar_t first = 0);  // `first`: a character typed into the list, carried over
  void close_find();
  void find_changed();
  void sort_by(SortKey key);
  void save_list();
  void tell_save_failed(const std::string& reason);
  void on_list_mouse_move(LPARAM where);
  LRESULT on_notify(const NMHDR& header);
  static LRESULT CALLBACK list_proc(HWND list_box, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                    DWORD_PTR self);

  std::function<void()> on_refresh_;
  std::function<bool()> show_replies_;

  // GUI thread only: made, used and destroyed by the thread that runs the message loop.
  HWND window_ = nullptr;
  HWND refresh_ = nullptr;
  HWND list_ = nullptr;
  HWND status_ = nullptr;
  HWND find_ = nullptr;     // the find field, shown while a find is open
  HWND tooltip_ = nullptr;  // explains a flagged line under the mouse
  bool find_open_ = false;
  int find_height_ = 0;
  int tip_item_ = -1;  // the item the tooltip last spoke of
  std::wstring tip_;   // its text, kept while the tooltip shows it
  std::function<void()> on_silence_;
  HFONT font_ = nullptr;
  bool own_font_ = false;  // made from the system message font, not a stock object
  SIZE button_{};          // the button's size: its text's extent plus the padding
  HACCEL accelerators_ = nullptr;
  Failure failure_;            // the step of create() that failed
  std::wstring pending_copy_;  // the text of a copy still trying to open the clipboard
  int copy_tries_ = 0;
};
