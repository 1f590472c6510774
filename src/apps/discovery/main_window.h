// The one window: the Refresh button centred at the top, the list of device lines below it, the find
// field (on demand) under the list, the status line at the bottom.
#pragma once

#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>

#include "device_model.h"
#include "status_label.h"

class MainWindow : public QWidget {
 public:
  // `on_refresh` runs on the GUI thread for the button and for F5. The list shows `table`'s rows.
  MainWindow(std::function<void()> on_refresh, const DeviceTable& table);

  QListView* deviceList() const { return list_; }
  QPushButton* refreshButton() const { return refresh_; }
  QLineEdit* findField() const { return find_; }
  QStatusBar* statusBar() const { return statusBar_; }
  StatusLabel* statusLine() const { return status_; }
  DeviceModel* deviceModel() const { return model_; }
  DeviceViewProxy* deviceView() const { return view_; }
  // Single-shot; started and connected by whoever keeps the status.
  QTimer* silenceTimer() const { return silence_; }
  // Told how many rows a find lets through while one is open, nothing when it closes.
  void onViewChanged(std::function<void(std::optional<std::size_t>)> told) {
    view_changed_ = std::move(told);
  }

  // A quarter of the screen's width and height, centred on it.
  void placeOnScreen();

  // The selected lines (or all shown), in the order shown, one per line, exactly as shown.
  QString selectedText() const;
  QString allText() const;

  void openFind(const QString& typed = QString());
  void closeFind();
  void sortBy(SortKey key);
  // Writes what is shown to `path` in the format its extension names. The reason when it could not.
  std::optional<QString> saveTo(const QString& path) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildLayout();
  void addShortcuts();
  void showContextMenu(const QPoint& where);
  void askWhereToSave();
  void tellView();

  std::function<void()> on_refresh_;
  std::function<void(std::optional<std::size_t>)> view_changed_;
  DeviceModel* model_;
  DeviceViewProxy* view_;
  QPushButton* refresh_;
  QListView* list_;
  QLineEdit* find_;
  QStatusBar* statusBar_;
  StatusLabel* status_;
  QTimer* silence_;
};
