// Vantrel Discovery: the window, Win32 front end. Lists every device that answers the discovery probe;
// Refresh asks again.
#include <windows.h>

#include <memory>
#include <thread>

#include "listener.h"
#include "main_window_win32.h"
#include "refresh.h"
#include "win32_list_control.h"
#include "win32_status_control.h"

namespace {

// Until WM_QUIT. The window's keys (F5, Ctrl+C, Tab) are taken before the focused control sees them.
void run_message_loop(MainWindow& window) {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (window.translate(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

std::thread start_listener(HWND window) {
  return start_listener_thread([window] {
    // Runs on the listener thread: only posts; the window and its list belong to the GUI thread.
    PostMessageW(window, MainWindow::kRepliesWaiting, 0, 0);
  });
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
  auto window = std::make_unique<MainWindow>([] { btn_exit_cb(); }, [] { return show_waiting_replies(); });
  if (!window->create(instance)) return 1;
  attach_list_control(window->list());
  attach_status_control(window.get());
  ShowWindow(window->window(), show_command);
  UpdateWindow(window->window());
  std::thread listener = start_listener(window->window());  // only once the window is on screen
  run_message_loop(*window);

  stop_listener_and_release(listener);  // before the window it posts to and the list it fills go away
  attach_status_control(nullptr);
  attach_list_control(nullptr);
  window.reset();
  return 0;
}
