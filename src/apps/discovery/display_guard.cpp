#include "display_guard.h"

#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {

struct HeldMessage {
  QtMsgType type;
  QString text;
};

QtMessageHandler previous = nullptr;
// Qt's own complaints while it looks for a display; shown only if it finds one, so that a machine without
// a display gets exactly one line. Main thread only: nothing else runs before the application stands.
std::vector<HeldMessage> held;

void onStartupMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type != QtFatalMsg) {
    held.push_back({type, message});
    return;
  }
  // A fatal message while the application is being made means no platform (display) could be opened.
  std::fprintf(stderr,
               "vantrel-discovery: no display available (check DISPLAY or WAYLAND_DISPLAY); "
               "for headless discovery use vantrel-discover\n");
  std::fflush(stderr);
  std::_Exit(1);
}

}  // namespace

DisplayGuard::DisplayGuard() {
  previous = qInstallMessageHandler(onStartupMessage);
}

DisplayGuard::~DisplayGuard() {
  qInstallMessageHandler(previous);
  for (const HeldMessage& message : std::exchange(held, {})) {
    if (message.type == QtWarningMsg || message.type == QtCriticalMsg)
      qWarning("%s", qPrintable(message.text));
  }
}
