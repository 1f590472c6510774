// The Qt views of the device table: a list model over the rows (the table keeps them; the model holds no
// copy), and a proxy that filters and sorts them with the shared view functions.
#pragma once

#include <QAbstractListModel>
#include <QIcon>
#include <QSortFilterProxyModel>
#include <optional>
#include <string>
#include <vector>

#include "vantrel/device_table.h"
#include "vantrel/device_view.h"

class DeviceModel : public QAbstractListModel {
 public:
  // The row's problem::* bits.
  static constexpr int kProblemsRole = Qt::UserRole + 1;

  explicit DeviceModel(const DeviceTable& table, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  // The table changed: rows [first, first + count) came; these rows gained a problem; it was emptied.
  void rowsAdded(std::size_t first, std::size_t count);
  void rowsFlagged(const std::vector<std::size_t>& rows);
  void emptied();

  const DeviceTable& table() const { return table_; }

 private:
  const DeviceTable& table_;
  int shown_ = 0;  // the rows this model has announced; the table may run ahead of it within a call
  QIcon flag_;
  QIcon blank_;  // as wide as the flag, so that every line starts at the same place
};

class DeviceViewProxy : public QSortFilterProxyModel {
 public:
  explicit DeviceViewProxy(DeviceModel* source, QObject* parent = nullptr);

  void setNeedle(const QString& needle);
  void setKey(SortKey key);
  SortKey key() const { return key_; }

  // The table rows shown, in the order shown.
  std::vector<std::size_t> shownRows() const;

 protected:
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override;
  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

 private:
  const DeviceTable& table_;
  std::string needle_;  // UTF-8, as the lines are
  SortKey key_ = SortKey::arrival;
};
