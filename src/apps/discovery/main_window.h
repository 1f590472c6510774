// The one window: the Refresh button centred at the top, the list of device lines below it, the status
// line at the bottom.
#pragma once

#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "status_label.h"

class MainWindow : public QWidget {
 public:
  // `on_refresh` runs on the GUI thread for the button and for F5.
  explicit MainWindow(std::function<void()> on_refresh);

  QListWidget* deviceList() const { return list_; }
  QPushButton* refreshButton() const { return refresh_; }
  QStatusBar* statusBar() const { return statusBar_; }
  StatusLabel* statusLine() const { return status_; }
  // Single-shot; started and connected by whoever keeps the status.
  QTimer* silenceTimer() const { return silence_; }

  // A quarter of the screen's width and height, centred on it.
  void placeOnScreen();

  // The selected lines (or all), in list order, one per line, exactly as shown.
  QString selectedText() const;
  QString allText() const;

 private:
  void buildLayout();
  void addShortcuts();
  void showContextMenu(const QPoint& where);

  std::function<void()> on_refresh_;
  QPushButton* refresh_;
  QListWidget* list_;
  QStatusBar* statusBar_;
  StatusLabel* status_;
  QTimer* silence_;
};
