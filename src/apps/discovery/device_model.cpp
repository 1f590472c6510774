#include "device_model.h"

#include <QApplication>
#include <QPixmap>
#include <QStyle>

#include "vantrel/device_export.h"

namespace {
constexpr int kIconSize = 16;

QString utf8(const std::string& text) {
  // Device strings are UTF-8; invalid sequences show as replacement characters.
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
}  // namespace

DeviceModel::DeviceModel(const DeviceTable& table, QObject* parent)
    : QAbstractListModel(parent), table_(table), shown_(static_cast<int>(table.size())) {
  flag_ = QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
  QPixmap clear(kIconSize, kIconSize);
  clear.fill(Qt::transparent);
  blank_ = QIcon(clear);
}

int DeviceModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : shown_;
}

QVariant DeviceModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= shown_) return {};
  const DeviceRecord& record = table_[static_cast<std::size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole:
      return utf8(record.line);
    case Qt::DecorationRole:
      return record.problems != 0 ? flag_ : blank_;
    case kProblemsRole:
      return record.problems;
    case Qt::ToolTipRole:
      return record.problems != 0 ? QVariant(utf8(problem_words(record.problems, interface_text(record))))
                                  : QVariant();
    default:
      return {};
  }
}

void DeviceModel::rowsAdded(std::size_t first, std::size_t count) {
  if (count == 0) return;
  beginInsertRows(QModelIndex(), static_cast<int>(first), static_cast<int>(first + count - 1));
  shown_ = static_cast<int>(first + count);
  endInsertRows();
}

void DeviceModel::rowsFlagged(const std::vector<std::size_t>& rows) {
  for (const std::size_t row : rows) {
    const QModelIndex at = index(static_cast<int>(row));
    emit dataChanged(at, at, {Qt::DecorationRole, Qt::ToolTipRole});
  }
}

void DeviceModel::emptied() {
  beginResetModel();
  shown_ = 0;
  endResetModel();
}

DeviceViewProxy::DeviceViewProxy(DeviceModel* source, QObject* parent)
    : QSortFilterProxyModel(parent), table_(source->table()) {
  setSourceModel(source);
  setDynamicSortFilter(true);  // rows that arrive go to their place at once
}

void DeviceViewProxy::setNeedle(const QString& needle) {
  const std::string text = needle.toStdString();
  if (text == needle_) return;
  needle_ = text;
  invalidateFilter();
}

void DeviceViewProxy::setKey(SortKey key) {
  key_ = key;
  // Arrival is the table's own order: no sorting at all.
  if (key == SortKey::arrival) {
    sort(-1);
    invalidate();
  } else {
    invalidate();
    sort(0);
  }
}

std::vector<std::size_t> DeviceViewProxy::shownRows() const {
  std::vector<std::size_t> rows;
  rows.reserve(static_cast<std::size_t>(rowCount()));
  for (int row = 0; row < rowCount(); ++row) {
    rows.push_back(static_cast<std::size_t>(mapToSource(index(row, 0)).row()));
  }
  return rows;
}

bool DeviceViewProxy::filterAcceptsRow(int row, const QModelIndex&) const {
  return line_matches(table_[static_cast<std::size_t>(row)].line, needle_);
}

bool DeviceViewProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const {
  return goes_before(table_, static_cast<std::size_t>(left.row()), static_cast<std::size_t>(right.row()),
                     key_);
}
