#include "qt_status_control.h"

#include "main_window.h"
#include "status_line.h"

void attach_status_control(MainWindow* window) {
  if (window == nullptr) {
    status_control = {};
    return;
  }
  status_control.show = [window](const StatusText& text) {
    window->statusLine()->setStatus(QString::fromStdString(text.line), QString::fromStdString(text.details));
  };
  QTimer* timer = window->silenceTimer();
  QObject::connect(timer, &QTimer::timeout, timer, [] { status_silence_elapsed(); });
  status_control.start_silence_timer = [timer](int delay_ms) { timer->start(delay_ms); };
  window->onViewChanged([](std::optional<std::size_t> shown) { status_view_changed(shown); });
  status_control.show(status_text(status));
}
