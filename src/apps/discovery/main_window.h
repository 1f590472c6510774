// The one window: the Refresh button centred at the top, the list of device lines below it.
#pragma once

#include <QListWidget>
#include <QPushButton>
#include <QWidget>
#include <functional>

class MainWindow : public QWidget {
 public:
  // `on_refresh` runs on the GUI thread for the button and for F5.
  explicit MainWindow(std::function<void()> on_refresh);

  QListWidget* deviceList() const { return list_; }
  QPushButton* refreshButton() const { return refresh_; }

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
};
