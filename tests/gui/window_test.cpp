// The window without any network: layout, Refresh before set-up, copying, F5.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include "app_state.h"
#include "device_lines.h"
#include "diag_capture.h"
#include "listener.h"
#include "main_window.h"
#include "qt_list_control.h"
#include "refresh.h"
#include "shown_lines.h"
#include "vantrel/product.h"

namespace {

class Window : public testing::Test {
 protected:
  void SetUp() override {
    window_ = std::make_unique<MainWindow>(
        [this] {
          ++refreshes_;
          btn_exit_cb();
        },
        list);
    attach_list_control(window_.get());
    window_->placeOnScreen();
    window_->show();
    QApplication::processEvents();
  }
  void TearDown() override {
    list.clear();
    window_.reset();
    attach_list_control(nullptr);
  }

  void showLines(const std::vector<std::string>& lines) {
    SightingBatch batch;
    for (const std::string& line : lines) batch.push_back(Sighting{"", {}, line, 1, "\x01"});
    DiagCapture quiet;
    show_new_device_lines(batch);
  }

  std::unique_ptr<MainWindow> window_;
  int refreshes_ = 0;
};

TEST_F(Window, TitleButtonOnTopCentredListBelowAndEmpty) {
  EXPECT_EQ(window_->windowTitle(), VANTREL_WINDOW_TITLE);
  EXPECT_FALSE(window_->windowIcon().isNull());
  QPushButton* button = window_->refreshButton();
  QListView* devices = window_->deviceList();
  EXPECT_EQ(button->text(), "Refresh");
  EXPECT_EQ(button->geometry().top(), 10);
  EXPECT_NEAR(button->geometry().center().x(), window_->width() / 2, 1);
  EXPECT_EQ(button->size(), button->sizeHint() + QSize(20, 20));
  EXPECT_EQ(devices->geometry().top(), button->geometry().bottom() + 1 + 10);
  EXPECT_EQ(devices->geometry().left(), 10);
  EXPECT_EQ(window_->width() - devices->geometry().right() - 1, 10);
  // The status line spans the window's foot; the list ends 10 px above it.
  const QRect status = window_->statusBar()->geometry();
  EXPECT_EQ(status.top(), devices->geometry().bottom() + 1 + 10);
  EXPECT_EQ(status.bottom(), window_->height() - 1);
  EXPECT_EQ(status.left(), 0);
  EXPECT_EQ(status.width(), window_->width());
  EXPECT_GT(status.height(), 0);
  EXPECT_EQ(shown_count(devices), 0);
}

TEST_F(Window, StartsAtAQuarterOfTheScreenCentred) {
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(window_->size(), QSize(screen.width() / 4, screen.height() / 4));
  EXPECT_NEAR(window_->geometry().center().x(), screen.center().x(), 1);
  EXPECT_NEAR(window_->geometry().center().y(), screen.center().y(), 1);
}

TEST_F(Window, ListGrowsWithTheWindowButtonKeepsItsSizeAndPlace) {
  const QSize button = window_->refreshButton()->size();
  const QSize before = window_->deviceList()->size();
  window_->resize(window_->width() + 200, window_->height() + 150);
  QApplication::processEvents();
  EXPECT_EQ(window_->deviceList()->size(), before + QSize(200, 150));
  EXPECT_EQ(window_->refreshButton()->size(), button);
  EXPECT_EQ(window_->refreshButton()->geometry().top(), 10);
  EXPECT_NEAR(window_->refreshButton()->geometry().center().x(), window_->width() / 2, 1);
}

TEST_F(Window, RefreshBeforeSetUpEmptiesListSaysSoAndKeepsTheWindowOpen) {
  showLines({"10.0.0.1, Model: A, Serial Number: 1"});
  ASSERT_EQ(shown_count(window_->deviceList()), 1);
  DiagCapture capture;
  QTest::mouseClick(window_->refreshButton(), Qt::LeftButton);
  EXPECT_EQ(refreshes_, 1);
  EXPECT_EQ(shown_count(window_->deviceList()), 0);
  EXPECT_TRUE(list.empty());
  EXPECT_TRUE(window_->isVisible());
  EXPECT_EQ(capture.out(), "") << "nothing may be sent without a socket";
  EXPECT_EQ(capture.err(), "Refresh: discovery socket or group address not set up; no probe sent\n");
}

TEST_F(Window, ShutdownWithoutASocketLeavesStandardInputOpen) {
  // The listener never ran: there is no socket, and "no socket" is not descriptor 0.
  {
    std::lock_guard lock(endpoint_mutex);
    EXPECT_EQ(endpoint.socket(), INVALID_SOCKET);
  }
  std::thread never_started;
  stop_listener_and_release(never_started);
  EXPECT_NE(fcntl(0, F_GETFD), -1) << "standard input was closed";
}

TEST_F(Window, F5RefreshesToo) {
  QTest::keyClick(window_.get(), Qt::Key_F5);
  EXPECT_EQ(refreshes_, 1);
}

TEST_F(Window, ListAndControlMatchAndRepeatsAreDropped) {
  showLines({"a", "b", "a", "c", "b"});
  ASSERT_EQ(list.lines(), (std::vector<std::string>{"a", "b", "c"}));
  ASSERT_EQ(shown_count(window_->deviceList()), 3);
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(shown_line(window_->deviceList(), row), list[static_cast<size_t>(row)].line);
  }
}

TEST_F(Window, LinesShownAsUtf8WithReplacementForInvalidBytes) {
  showLines({"10.0.0.1, Model: caf\xC3\xA9, Serial Number: \xE6\x97\xA5", "bad \xFF byte"});
  EXPECT_EQ(QString::fromStdString(shown_line(window_->deviceList(), 0)),
            QString::fromUtf8("10.0.0.1, Model: café, Serial Number: 日"));
  EXPECT_EQ(QString::fromStdString(shown_line(window_->deviceList(), 1)),
            QString::fromUtf8("bad \xEF\xBF\xBD byte"));
}

TEST_F(Window, CopyGivesSelectedLinesInListOrderAndCopyAllEverything) {
  showLines({"first", "second", "third"});
  QListView* devices = window_->deviceList();
  select_row(devices, 2);
  select_row(devices, 0);
  devices->setFocus();
  QTest::keyClick(devices, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "first\nthird");
  EXPECT_EQ(window_->allText(), "first\nsecond\nthird");
}

}  // namespace
