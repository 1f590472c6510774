// Vantrel Discovery: the window. Lists every device that answers the discovery probe; Refresh asks again.
#include <QApplication>
#include <memory>

#include "app_state.h"
#include "display_guard.h"
#include "listener.h"
#include "main_window.h"
#include "qt_list_control.h"
#include "qt_status_control.h"
#include "quit_on_signal.h"
#include "refresh.h"

int main(int argc, char* argv[]) {
  std::unique_ptr<QApplication> app;
  {
    DisplayGuard guard;
    app = std::make_unique<QApplication>(argc, argv);
  }
  auto window = std::make_unique<MainWindow>([] { btn_exit_cb(); }, list);
  attach_list_control(window.get());
  attach_status_control(window.get());
  window->placeOnScreen();
  window->show();
  std::thread listener = start_listener();  // only once the window is on screen
  quit_on_termination_signals(app.get());
  QApplication::exec();

  stop_listener_and_release(listener);  // before anything it uses goes away
  attach_status_control(nullptr);
  window.reset();
  attach_list_control(nullptr);
  return 0;
}
