// Letting the GUI thread's event loop run while a test waits for the window to get somewhere.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <functional>

// Runs the event loop until `done` or the timeout; whether `done` holds.
inline bool pump_until(const std::function<bool()>& done, int timeout_ms = 5000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < timeout_ms) {
    QApplication::processEvents(QEventLoop::AllEvents, 5);
    QTest::qWait(2);
  }
  return done();
}

inline void pump_for(int ms) {
  pump_until([] { return false; }, ms);
}
