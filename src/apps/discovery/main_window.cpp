#include "main_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

#include "window_texts.h"

namespace {

constexpr int kMargin = 10;
constexpr int kGap = 10;
constexpr int kButtonPadding = 10;

QIcon appIcon() {
  QIcon icon;
  for (const int size : {16, 32, 48, 64, 128, 256}) {
    icon.addFile(QStringLiteral(":/IDI_ICON1/%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

QString joinRows(const QList<QListWidgetItem*>& items, const QListWidget* list) {
  QList<QListWidgetItem*> ordered = items;
  std::sort(ordered.begin(), ordered.end(),
            [list](QListWidgetItem* a, QListWidgetItem* b) { return list->row(a) < list->row(b); });
  QStringList lines;
  for (const QListWidgetItem* item : ordered) lines << item->text();
  return lines.join(QLatin1Char('\n'));
}

}  // namespace

MainWindow::MainWindow(std::function<void()> on_refresh)
    : on_refresh_(std::move(on_refresh)),
      refresh_(new QPushButton(texts::kRefresh, this)),
      list_(new QListWidget(this)),
      statusBar_(new QStatusBar(this)),
      status_(new StatusLabel(statusBar_)),
      silence_(new QTimer(this)) {
  silence_->setSingleShot(true);
  setWindowTitle(texts::kWindowTitle);
  setWindowIcon(appIcon());
  buildLayout();
  addShortcuts();
  connect(refresh_, &QPushButton::clicked, this, [this] { on_refresh_(); });
}

void MainWindow::buildLayout() {
  // The status bar spans the window's foot; above it, inside the margins, the button and the list.
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
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setUniformItemSizes(true);  // keeps layout cheap with many thousands of lines
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(list_, &QWidget::customContextMenuRequested, this, &MainWindow::showContextMenu);
}

void MainWindow::addShortcuts() {
  auto* copy = new QAction(texts::kCopy, list_);
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  connect(copy, &QAction::triggered, this, [this] { QGuiApplication::clipboard()->setText(selectedText()); });
  list_->addAction(copy);

  auto* refresh = new QShortcut(QKeySequence(Qt::Key_F5), this);
  connect(refresh, &QShortcut::activated, this, [this] { on_refresh_(); });
}

void MainWindow::showContextMenu(const QPoint& where) {
  QMenu menu(this);
  QAction* copy = menu.addAction(texts::kCopy);
  copy->setEnabled(!list_->selectedItems().isEmpty());
  QAction* copyAll = menu.addAction(texts::kCopyAll);
  copyAll->setEnabled(list_->count() > 0);
  QAction* chosen = menu.exec(list_->viewport()->mapToGlobal(where));
  if (chosen == copy) QGuiApplication::clipboard()->setText(selectedText());
  if (chosen == copyAll) QGuiApplication::clipboard()->setText(allText());
}

void MainWindow::placeOnScreen() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->geometry();
  resize(area.width() / 4, area.height() / 4);
  move(area.center() - QPoint(width() / 2, height() / 2));
}

QString MainWindow::selectedText() const {
  return joinRows(list_->selectedItems(), list_);
}

QString MainWindow::allText() const {
  QStringList lines;
  for (int row = 0; row < list_->count(); ++row) lines << list_->item(row)->text();
  return lines.join(QLatin1Char('\n'));
}
