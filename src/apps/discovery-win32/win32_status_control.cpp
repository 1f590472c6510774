#include "win32_status_control.h"

#include "main_window_win32.h"
#include "status_line.h"
#include "utf16.h"

void attach_status_control(MainWindow* window) {
  if (window == nullptr) {
    status_control = {};
    return;
  }
  status_control.show = [window](const StatusText& text) {
    window->show_status(to_utf16(text.line), to_utf16(text.details));
  };
  status_control.start_silence_timer = [window](int delay_ms) {
    window->start_silence_timer(static_cast<UINT>(delay_ms), [] { status_silence_elapsed(); });
  };
  status_control.show(status_text(status));
}
