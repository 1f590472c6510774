#include "qt_list_control.h"

#include <QMetaObject>

#include "app_state.h"
#include "listener.h"

QListWidget* flatList = nullptr;

void attach_list_control(QListWidget* widget) {
  flatList = widget;
  if (widget == nullptr) {
    list_control = {};
    return;
  }
  list_control.rows_added = [widget](std::size_t first, std::size_t count) {
    // Device lines are UTF-8; invalid sequences show as replacement characters.
    for (std::size_t row = first; row < first + count; ++row) {
      const std::string& line = list[row].line;
      widget->addItem(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
    }
  };
  list_control.clear = [widget] { widget->clear(); };
}

namespace {

// GUI thread: one slice per pass of the event loop, queued again while more wait.
void show_replies_slice() {
  if (show_waiting_replies()) {
    QMetaObject::invokeMethod(flatList, &show_replies_slice, Qt::QueuedConnection);
  }
}

}  // namespace

std::thread start_listener() {
  return start_listener_thread([] {
    // Runs on the listener thread: only queues the call, the widget itself is not touched here.
    QMetaObject::invokeMethod(flatList, &show_replies_slice, Qt::QueuedConnection);
  });
}
