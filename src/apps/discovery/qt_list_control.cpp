#include "qt_list_control.h"

#include <QMetaObject>

#include "app_state.h"
#include "listener.h"
#include "main_window.h"

QListView* flatList = nullptr;

void attach_list_control(MainWindow* window) {
  if (window == nullptr) {
    flatList = nullptr;
    list_control = {};
    return;
  }
  flatList = window->deviceList();
  DeviceModel* model = window->deviceModel();
  list_control.rows_added = [model](std::size_t first, std::size_t count) { model->rowsAdded(first, count); };
  list_control.rows_flagged = [model](const std::vector<std::size_t>& rows) { model->rowsFlagged(rows); };
  list_control.clear = [model] { model->emptied(); };
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
