// What a list view shows, read as a user would see it.
#pragma once

#include <QItemSelectionModel>
#include <QListView>
#include <string>

inline int shown_count(const QListView* view) {
  return view->model()->rowCount();
}

inline std::string shown_line(const QListView* view, int row) {
  return view->model()->index(row, 0).data().toString().toStdString();
}

inline void select_row(QListView* view, int row) {
  view->selectionModel()->select(view->model()->index(row, 0), QItemSelectionModel::Select);
}
