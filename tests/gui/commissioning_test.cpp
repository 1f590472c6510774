// The window for commissioning many devices: find, sort, save, and the problems flagged. First on lines
// given to the window directly, then end to end in a namespace bed with a stray device and an address
// conflict.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QTest>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "app_state.h"
#include "device_lines.h"
#include "diag_capture.h"
#include "listener.h"
#include "main_window.h"
#include "pump.h"
#include "qt_list_control.h"
#include "qt_status_control.h"
#include "refresh.h"
#include "shown_lines.h"
#include "simulator_bed.h"
#include "status_line.h"

namespace {

using nlohmann::json;
using namespace std::chrono_literals;

Sighting sighting(const std::string& host, const std::string& serial, const std::string& model = "VX") {
  Sighting s;
  s.host = host;
  s.device = {model, serial, std::nullopt};
  s.line = protocol::device_line(host, s.device);
  s.bytes = 1;
  s.text = "\x01";
  unsigned a = 0, b = 0, c = 0, d = 0;
  std::sscanf(host.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d);
  s.address = (a << 24) | (b << 16) | (c << 8) | d;
  return s;
}

std::vector<std::string> shown(const QListView* view) {
  std::vector<std::string> lines;
  for (int row = 0; row < shown_count(view); ++row) lines.push_back(shown_line(view, row));
  return lines;
}

std::string slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The window with its list and status line attached, no network.
class Commissioning : public testing::Test {
 protected:
  void SetUp() override {
    window_ = std::make_unique<MainWindow>([] { btn_exit_cb(); }, list);
    attach_list_control(window_.get());
    attach_status_control(window_.get());
    window_->show();
    QApplication::processEvents();
    dir_ = std::filesystem::temp_directory_path() / ("vantrel-save-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    clear_device_lines();
    status_reset();
    attach_status_control(nullptr);
    window_.reset();
    attach_list_control(nullptr);
    std::filesystem::remove_all(dir_);
  }
  void add(const std::vector<Sighting>& batch) {
    DiagCapture quiet;
    show_new_device_lines(batch);
    status_devices_changed(list.size(), list.flagged());
    QApplication::processEvents();
  }
  std::string status_line() const { return window_->statusLine()->fullText().toStdString(); }
  QListView* view() const { return window_->deviceList(); }

  std::unique_ptr<MainWindow> window_;
  std::filesystem::path dir_;
};

const std::string kA = "10.0.0.10, Model: Beta, Serial Number: S-2";
const std::string kB = "10.0.0.9, Model: alpha, Serial Number: S-10";
const std::string kC = "10.0.0.100, Model: Gamma, Serial Number: X-1";

TEST_F(Commissioning, FindShowsMatchingLinesCountsThemAndEscBringsAllBack) {
  add({sighting("10.0.0.10", "S-2", "Beta"), sighting("10.0.0.9", "S-10", "alpha"),
       sighting("10.0.0.100", "X-1", "Gamma")});
  EXPECT_FALSE(window_->findField()->isVisible());
  QTest::keyClick(window_.get(), Qt::Key_F, Qt::ControlModifier);
  ASSERT_TRUE(window_->findField()->isVisible());
  EXPECT_TRUE(window_->findField()->hasFocus());
  QTest::keyClicks(window_->findField(), "s-");
  EXPECT_EQ(shown(view()), (std::vector<std::string>{kA, kB})) << "case does not matter";
  EXPECT_EQ(status_line().rfind("2 of 3 devices", 0), 0u) << status_line();

  // Copy and Copy all act on what is shown.
  window_->deviceList()->selectAll();
  EXPECT_EQ(window_->selectedText().toStdString(), kA + "\n" + kB);
  EXPECT_EQ(window_->allText().toStdString(), kA + "\n" + kB);

  // Refresh keeps the find: the lines that come back are found again.
  btn_exit_cb();
  add({sighting("10.0.0.100", "X-1", "Gamma"), sighting("10.0.0.10", "S-2", "Beta")});
  EXPECT_EQ(window_->findField()->text(), "s-");
  EXPECT_EQ(shown(view()), std::vector<std::string>{kA});
  EXPECT_EQ(status_line().rfind("1 of 2 devices", 0), 0u) << status_line();

  QTest::keyClick(window_->findField(), Qt::Key_Escape);
  EXPECT_FALSE(window_->findField()->isVisible());
  EXPECT_EQ(window_->findField()->text(), "");
  EXPECT_EQ(shown(view()), (std::vector<std::string>{kC, kA}));
  EXPECT_EQ(status_line().rfind("2 devices", 0), 0u) << status_line();

  // Typing while the list has the focus starts a find with what was typed.
  view()->setFocus();
  QTest::keyClicks(view(), "gam");
  EXPECT_TRUE(window_->findField()->isVisible());
  EXPECT_EQ(window_->findField()->text(), "gam");
  EXPECT_EQ(shown(view()), std::vector<std::string>{kC});
}

TEST_F(Commissioning, SortIsAViewAndListKeepsArrivalOrder) {
  add({sighting("10.0.0.10", "S-2", "Beta"), sighting("10.0.0.9", "S-10", "alpha"),
       sighting("10.0.0.100", "X-1", "Gamma")});
  struct Case {
    SortKey key;
    std::vector<std::string> lines;
  };
  const Case cases[] = {{SortKey::address, {kB, kA, kC}},  // 10.0.0.9 before 10.0.0.10
                        {SortKey::model, {kB, kA, kC}},
                        {SortKey::serial_number, {kB, kA, kC}},
                        {SortKey::arrival, {kA, kB, kC}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.key));
    window_->sortBy(c.key);
    EXPECT_EQ(shown(view()), c.lines);
    EXPECT_EQ(list.lines(), (std::vector<std::string>{kA, kB, kC}));
  }
  // A line that arrives goes to its place in the order shown.
  window_->sortBy(SortKey::address);
  add({sighting("10.0.0.50", "M")});
  EXPECT_EQ(shown_line(view(), 2), "10.0.0.50, Model: VX, Serial Number: M");
}

TEST_F(Commissioning, SaveWritesWhatIsShownInTheFormatTheNameAsksFor) {
  add({sighting("10.0.0.10", "S-2", "Beta"), sighting("10.0.0.9", "=cmd", "al,pha")});
  window_->sortBy(SortKey::address);
  ASSERT_EQ(window_->saveTo(QString::fromStdString((dir_ / "list.txt").string())), std::nullopt);
  EXPECT_EQ(slurp(dir_ / "list.txt"),
            "10.0.0.9, Model: al,pha, Serial Number: =cmd\n10.0.0.10, Model: Beta, Serial Number: S-2\n");

  ASSERT_EQ(window_->saveTo(QString::fromStdString((dir_ / "list.csv").string())), std::nullopt);
  const std::string rows = testbed::shell_output(
      "python3 -c 'import csv, json, sys\n"
      "print(json.dumps(list(csv.reader(open(sys.argv[1], newline=\"\", encoding=\"utf-8\")))))' " +
      (dir_ / "list.csv").string());
  EXPECT_EQ(json::parse(rows, nullptr, false),
            json::parse(R"([["address","model","serial_number","boot_state","interface","problems"],
                            ["10.0.0.9","al,pha","'=cmd","","",""],["10.0.0.10","Beta","S-2","","",""]])"))
      << rows;

  ASSERT_EQ(window_->saveTo(QString::fromStdString((dir_ / "list.json").string())), std::nullopt);
  EXPECT_EQ(testbed::shell_output("jq -c '[.[].serial_number]' " + (dir_ / "list.json").string()),
            "[\"=cmd\",\"S-2\"]\n");

  // A find narrows what is saved too.
  window_->openFind("beta");
  ASSERT_EQ(window_->saveTo(QString::fromStdString((dir_ / "found.txt").string())), std::nullopt);
  EXPECT_EQ(slurp(dir_ / "found.txt"), "10.0.0.10, Model: Beta, Serial Number: S-2\n");
}

TEST_F(Commissioning, ASaveThatFailsSaysWhyAndLeavesNoPartOfAFile) {
  add({sighting("10.0.0.10", "S-2")});
  // A folder where the file should go: the rename over it fails; nothing half-written stays beside it.
  std::filesystem::create_directories(dir_ / "taken.txt" / "inside");
  const std::optional<QString> failed =
      window_->saveTo(QString::fromStdString((dir_ / "taken.txt").string()));
  ASSERT_TRUE(failed.has_value());
  EXPECT_FALSE(failed->isEmpty());
  EXPECT_FALSE(std::filesystem::exists(dir_ / "taken.txt.part"));
  EXPECT_TRUE(std::filesystem::is_directory(dir_ / "taken.txt" / "inside"));

  const std::optional<QString> nowhere =
      window_->saveTo(QString::fromStdString((dir_ / "no" / "such.csv").string()));
  ASSERT_TRUE(nowhere.has_value());
  EXPECT_EQ(nowhere->toStdString(), "No such file or directory");
}

TEST_F(Commissioning, ProblemsAreFlaggedOnBothLinesWithATooltipAndCounted) {
  add({sighting("10.0.0.10", "A"), sighting("10.0.0.11", "B")});
  EXPECT_EQ(view()->model()->index(0, 0).data(DeviceModel::kProblemsRole).toInt(), 0);
  add({sighting("10.0.0.10", "C")});  // a second device on A's address
  for (const int row : {0, 2}) {
    SCOPED_TRACE(row);
    const QModelIndex at = view()->model()->index(row, 0);
    EXPECT_EQ(at.data(DeviceModel::kProblemsRole).toInt(), problem::address_conflict);
    EXPECT_FALSE(qvariant_cast<QIcon>(at.data(Qt::DecorationRole)).isNull()) << "flagged with an icon";
    EXPECT_EQ(at.data(Qt::ToolTipRole).toString().toStdString(),
              "Address conflict: devices with different serial numbers answer from this address.");
  }
  EXPECT_EQ(view()->model()->index(1, 0).data(DeviceModel::kProblemsRole).toInt(), 0);
  EXPECT_FALSE(view()->model()->index(1, 0).data(Qt::ToolTipRole).isValid());
  EXPECT_EQ(status_line().rfind("3 devices  \xC2\xB7  2 problems", 0), 0u) << status_line();
  EXPECT_EQ(shown_line(view(), 0), "10.0.0.10, Model: VX, Serial Number: A")
      << "the line itself is unchanged";
}

TEST_F(Commissioning, KeysAndNamesForKeyboardAndScreenReaderUsers) {
  EXPECT_EQ(view()->accessibleName(), "Devices");
  EXPECT_EQ(window_->findField()->accessibleName(), "Find");
  EXPECT_EQ(window_->statusLine()->accessibleName(), "Status");
  EXPECT_EQ(window_->refreshButton()->text(), "Refresh");
  // Tab: button, list, find field.
  window_->openFind();
  window_->refreshButton()->setFocus();
  EXPECT_EQ(window_->refreshButton()->nextInFocusChain(), view());
  QWidget* after_list = view()->nextInFocusChain();
  while (after_list != nullptr && after_list->focusPolicy() == Qt::NoFocus)
    after_list = after_list->nextInFocusChain();
  EXPECT_EQ(after_list, window_->findField());
}

// End to end: the window in the tool namespace of a bed whose default route leaves by eth1; on eth0's
// segment a device left at 192.168.1.50, two devices on 10.77.0.50, and one in order.
class CommissioningInBed : public testbed::SimulatorBed {
 protected:
  void SetUp() override {
    SimulatorBed::SetUp();
    if (stopped()) return;
    build(2);
    if (stopped()) return;
    good_ = add_problem_devices();
    ASSERT_FALSE(HasFailure());
    enter("tool");
    capture_ = std::make_unique<DiagCapture>();
    window_ = std::make_unique<MainWindow>([] { btn_exit_cb(); }, list);
    attach_list_control(window_.get());
    attach_status_control(window_.get());
    window_->show();
    listener_ = start_listener();
  }
  void TearDown() override {
    if (window_) stop_listener_and_release(listener_);
    clear_device_lines();
    attach_status_control(nullptr);
    window_.reset();
    attach_list_control(nullptr);
    capture_.reset();
    leave();
    sims_.clear();
    bed_.reset();
  }

  std::string good_;  // the address of the device in order
  std::unique_ptr<DiagCapture> capture_;
  std::unique_ptr<MainWindow> window_;
  std::thread listener_;
};

TEST_F(CommissioningInBed, AStrayDeviceAndAnAddressConflictAreFlaggedShownAndSaved) {
  ASSERT_TRUE(pump_until([] { return list.size() == 4; })) << capture_->out() << capture_->err();
  std::map<std::string, const DeviceRecord*> by_serial;
  for (std::size_t row = 0; row < list.size(); ++row) by_serial[list[row].device.serial_number] = &list[row];
  EXPECT_EQ(by_serial["STRAY"]->problems, problem::outside_subnets);
  EXPECT_EQ(by_serial["TWIN-A"]->problems, problem::address_conflict);
  EXPECT_EQ(by_serial["TWIN-B"]->problems, problem::address_conflict);
  EXPECT_EQ(by_serial["GOOD"]->problems, 0);
  for (std::size_t row = 0; row < list.size(); ++row) {
    if (list[row].device.serial_number != "STRAY") continue;
    EXPECT_EQ(
        window_->deviceModel()->index(static_cast<int>(row)).data(Qt::ToolTipRole).toString().toStdString(),
        "Outside this computer's subnets: it answered on eth0 (10.77.0.1) but can be reached only after it "
        "is re-addressed.");
  }
  EXPECT_NE(window_->statusLine()->fullText().toStdString().find("4 devices  \xC2\xB7  3 problems"),
            std::string::npos)
      << window_->statusLine()->fullText().toStdString();

  // The README's picture of a find and a flagged line, when asked for.
  if (const char* picture = std::getenv("VANTREL_FIND_SCREENSHOT")) {
    window_->resize(900, 300);
    window_->openFind("10.77");
    QApplication::processEvents();
    window_->grab().save(QString::fromUtf8(picture));
    window_->closeFind();
  }

  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("vantrel-bed-" + bed_->prefix());
  std::filesystem::create_directories(dir);
  ASSERT_EQ(window_->saveTo(QString::fromStdString((dir / "site.csv").string())), std::nullopt);
  ASSERT_EQ(window_->saveTo(QString::fromStdString((dir / "site.json").string())), std::nullopt);
  const std::string csv = testbed::shell_output(
      "python3 -c 'import csv, sys\n"
      "for r in sorted(csv.DictReader(open(sys.argv[1], newline=\"\", encoding=\"utf-8\")), "
      "key=lambda r: r[\"serial_number\"]):\n"
      "    print(r[\"serial_number\"], r[\"address\"], r[\"interface\"], r[\"problems\"])' " +
      (dir / "site.csv").string());
  EXPECT_EQ(csv, "GOOD " + good_ +
                     " eth0 (10.77.0.1) \n"
                     "STRAY 192.168.1.50 eth0 (10.77.0.1) outside_subnets\n"
                     "TWIN-A 10.77.0.50 eth0 (10.77.0.1) address_conflict\n"
                     "TWIN-B 10.77.0.50 eth0 (10.77.0.1) address_conflict\n");
  EXPECT_EQ(
      testbed::shell_output(
          "jq -c 'sort_by(.serial_number) | map([.serial_number, .interface.name, .problems])' " +
          (dir / "site.json").string()),
      "[[\"GOOD\",\"eth0\",[]],[\"STRAY\",\"eth0\",[\"outside_subnets\"]],[\"TWIN-A\",\"eth0\",[\"address_"
      "conflict\"]],[\"TWIN-B\",\"eth0\",[\"address_conflict\"]]]\n");
  std::filesystem::remove_all(dir);
}

}  // namespace
