#include "main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>
#include <algorithm>

#include "sort_choices.h"
#include "vantrel/device_export.h"
#include "vantrel/file_save.h"
#include "window_texts.h"

namespace {

QIcon appIcon() {
  QIcon icon;
  for (const int size : {16, 32, 48, 64, 128, 256}) {
    icon.addFile(QStringLiteral(":/IDI_ICON1/%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

}  // namespace

MainWindow::MainWindow(std::function<void()> on_refresh, const DeviceTable& table)
    : on_refresh_(std::move(on_refresh)),
      model_(new DeviceModel(table, this)),
      view_(new DeviceViewProxy(model_, this)),
      refresh_(new QPushButton(texts::kRefresh, this)),
      list_(new QListView(this)),
      find_(new QLineEdit(this)),
      statusBar_(new QStatusBar(this)),
      status_(new StatusLabel(statusBar_)),
      silence_(new QTimer(this)) {
  silence_->setSingleShot(true);
  setWindowTitle(texts::kWindowTitle);
  setWindowIcon(appIcon());
  list_->setModel(view_);
  buildLayout();
  addShortcuts();
  connect(refresh_, &QPushButton::clicked, this, [this] { on_refresh_(); });
  connect(find_, &QLineEdit::textChanged, this, [this](const QString& text) {
    view_->setNeedle(text);
    tellView();
  });
  // Rows that arrive or go while a find is open change what it shows.
  for (const auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved}) {
    connect(view_, signal, this, [this] { tellView(); });
  }
  connect(view_, &QAbstractItemModel::modelReset, this, [this] { tellView(); });
}

void MainWindow::buildLayout() {
  using layout::kButtonPadding;
  using layout::kGap;
  using layout::kMargin;
  // The status bar spans the window's foot; above it, inside the margins, the button, the list and the
  // find field.
  auto* window = new QVBoxLayout(this);
  window->setContentsMargins(0, 0, 0, 0);
  window->setSpacing(0);
  auto* box = new QVBoxLayout;
  box->setContentsMargins(kMargin, kMargin, kMargin, kGap);
  box->setSpacing(kGap);
  window->addLayout(box, 1);
  statusBar_->setSizeGripEnabled(false);
  status_->setContentsMargins(kMargin / 2, 0, kMargin / 2, 0);  // the text clear of the window's edges
  statusBar_->addWidget(status_, 1);
  window->addWidget(statusBar_);
  // The button keeps its natural size plus the padding on every side, centred; the list takes the rest.
  refresh_->setFixedSize(refresh_->sizeHint() + QSize(2 * kButtonPadding, 2 * kButtonPadding));
  box->addWidget(refresh_, 0, Qt::AlignHCenter);
  box->addWidget(list_, 1);
  box->addWidget(find_);
  find_->hide();
  find_->setPlaceholderText(texts::kFindHint);
  find_->setClearButtonEnabled(true);
  find_->setAccessibleName(texts::kFind);
  find_->installEventFilter(this);
  list_->setAccessibleName(texts::kListName);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setUniformItemSizes(true);   // keeps layout cheap with many thousands of lines
  list_->setIconSize(QSize(16, 16));  // the problem flag: a line's height
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  list_->installEventFilter(this);
  connect(list_, &QWidget::customContextMenuRequested, this, &MainWindow::showContextMenu);
  setTabOrder(refresh_, list_);
  setTabOrder(list_, find_);
}

void MainWindow::addShortcuts() {
  auto* copy = new QAction(texts::kCopy, list_);
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  connect(copy, &QAction::triggered, this, [this] { QGuiApplication::clipboard()->setText(selectedText()); });
  list_->addAction(copy);

  const auto shortcut = [this](const QKeySequence& keys, auto&& action) {
    connect(new QShortcut(keys, this), &QShortcut::activated, this, action);
  };
  shortcut(QKeySequence(Qt::Key_F5), [this] { on_refresh_(); });
  shortcut(QKeySequence::Find, [this] { openFind(); });
  shortcut(QKeySequence::Save, [this] { askWhereToSave(); });
}

// Typing while the list has the focus starts a find; Esc in the find field ends it.
bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  if (watched == find_ && key->key() == Qt::Key_Escape) {
    closeFind();
    return true;
  }
  const bool plain = (key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier)) == 0;
  if (watched == list_ && plain && !key->text().isEmpty() && key->text().at(0).isPrint()) {
    openFind(find_->text() + key->text());
    return true;
  }
  if (watched == list_ && key->key() == Qt::Key_Escape && find_->isVisible()) {
    closeFind();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void MainWindow::openFind(const QString& typed) {
  find_->show();
  if (!typed.isNull()) find_->setText(typed);
  find_->setFocus();
  tellView();
}

void MainWindow::closeFind() {
  find_->clear();
  find_->hide();
  list_->setFocus();
  tellView();
}

void MainWindow::tellView() {
  if (!view_changed_) return;
  const bool finding = find_->isVisible() && !find_->text().isEmpty();
  view_changed_(finding ? std::optional<std::size_t>(static_cast<std::size_t>(view_->rowCount()))
                        : std::nullopt);
}

void MainWindow::sortBy(SortKey key) {
  view_->setKey(key);
}

void MainWindow::showContextMenu(const QPoint& where) {
  QMenu menu(this);
  QAction* copy = menu.addAction(texts::kCopy);
  copy->setEnabled(list_->selectionModel()->hasSelection());
  QAction* copyAll = menu.addAction(texts::kCopyAll);
  copyAll->setEnabled(view_->rowCount() > 0);
  QMenu* sort = menu.addMenu(texts::kSortBy);
  auto* choices = new QActionGroup(sort);
  for (const words::SortChoice& choice : words::kSortChoices) {
    QAction* item = sort->addAction(QString::fromUtf8(choice.words));
    item->setCheckable(true);
    item->setChecked(view_->key() == choice.key);
    choices->addAction(item);
    connect(item, &QAction::triggered, this, [this, key = choice.key] { sortBy(key); });
  }
  QAction* save = menu.addAction(texts::kSaveList);
  QAction* chosen = menu.exec(list_->viewport()->mapToGlobal(where));
  if (chosen == copy) QGuiApplication::clipboard()->setText(selectedText());
  if (chosen == copyAll) QGuiApplication::clipboard()->setText(allText());
  if (chosen == save) askWhereToSave();
}

void MainWindow::askWhereToSave() {
  QStringList types;
  for (const words::FileType& type : words::kFileTypes) types << QString::fromUtf8(type.words);
  QString chosen;
  QString path = QFileDialog::getSaveFileName(this, texts::kSaveTitle, QString(),
                                              types.join(QStringLiteral(";;")), &chosen);
  if (path.isEmpty()) return;
  // The type chosen names the format when the name itself does not.
  if (QFileInfo(path).suffix().isEmpty()) {
    const qsizetype type = std::max<qsizetype>(types.indexOf(chosen), 0);
    path += QString::fromUtf8(words::kFileTypes[static_cast<std::size_t>(type)].extension);
  }
  if (const std::optional<QString> failed = saveTo(path)) {
    QMessageBox::warning(this, texts::kWindowTitle, texts::kSaveFailed.arg(*failed));
  }
}

std::optional<QString> MainWindow::saveTo(const QString& path) const {
  const std::string file = path.toStdString();
  const std::string contents = export_rows(model_->table(), view_->shownRows(), format_for(file));
  if (const std::optional<std::string> failed = save_file(file, contents))
    return QString::fromStdString(*failed);
  return std::nullopt;
}

void MainWindow::placeOnScreen() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->geometry();
  resize(area.width() / 4, area.height() / 4);
  move(area.center() - QPoint(width() / 2, height() / 2));
}

QString MainWindow::selectedText() const {
  QModelIndexList rows = list_->selectionModel()->selectedRows();
  std::sort(rows.begin(), rows.end(),
            [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  QStringList lines;
  for (const QModelIndex& row : rows) lines << row.data().toString();
  return lines.join(QLatin1Char('\n'));
}

QString MainWindow::allText() const {
  QStringList lines;
  for (int row = 0; row < view_->rowCount(); ++row) lines << view_->index(row, 0).data().toString();
  return lines.join(QLatin1Char('\n'));
}
