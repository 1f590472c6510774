// The Windows installer under Wine, in one fresh prefix inside a namespace bed: the release just below
// this one is installed, then this one over it (it must replace it: one entry in the list of installed
// programs, this version), the installed window is driven by window_driver.exe against simulated devices,
// and the uninstall must leave no file, folder, shortcut or entry behind. msi_session.bat runs the steps
// in the prefix and prints what it finds after each; this side judges it. Needs root, Wine, Xvfb and the
// Windows build with its installers (wixl); skips with the reason otherwise.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "child_process.h"
#include "netbed.h"
#include "simulator_bed.h"
#include "vantrel/product.h"

namespace {

using namespace std::chrono_literals;
using testbed::device_line;
using testbed::lines;

const std::string kWindowsBin = VANTREL_WINDOWS_BIN_DIR;
const std::string kThisMsi = VANTREL_THIS_MSI;
const std::string kOlderMsi = VANTREL_OLDER_MSI;
const std::string kThisVersion = VANTREL_PACKAGE_VERSION;
const std::string kOlderVersion = VANTREL_PACKAGE_VERSION_BEFORE;
const std::string kWineRun = std::string(VANTREL_SOURCE_DIR) + "/tests/windows/wine-run.sh";
const std::string kSession = std::string(VANTREL_SOURCE_DIR) + "/tests/wine/msi_session.bat";
constexpr auto kSessionTime = 280s;  // two installs, a window run and an uninstall under Wine

std::string windows_path(const std::string& unix_path) {
  std::string path = "Z:" + unix_path;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string missing_pieces() {
  if (::access("/usr/lib/wine/wine64", X_OK) != 0) return "needs Wine (/usr/lib/wine/wine64)";
  if (testbed::run_shell("command -v Xvfb >/dev/null 2>&1") != 0) return "needs Xvfb";
  for (const std::string& file : {kThisMsi, kOlderMsi, kWindowsBin + "/window_driver.exe"}) {
    if (::access(file.c_str(), R_OK) != 0) return "no " + file + ": build the windows preset with wixl installed";
  }
  return {};
}

// The session's output cut at its "== step" lines, without carriage returns.
std::map<std::string, std::string> steps(const std::string& out) {
  std::map<std::string, std::string> found;
  std::string current;
  for (std::string line : lines(out)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("== ", 0) == 0) {
      current = line.substr(3);
      continue;
    }
    found[current] += line + "\n";
  }
  return found;
}

std::size_t count_of(const std::string& text, const std::string& what) {
  std::size_t count = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
    ++count;
  return count;
}

// What a step printed about the installation: its files, folders and shortcut (and a registry key of ours,
// which there should never be after the uninstall).
struct Installed {
  std::string text;
  bool has(const std::string& line) const { return text.find(line + "\n") != std::string::npos; }
};

class WineMsi : public testbed::SimulatorBed {
 protected:
  void SetUp() override {
    SimulatorBed::SetUp();
    if (stopped()) return;
    if (const std::string why = missing_pieces(); !why.empty()) GTEST_SKIP() << why;
    build(1);
    if (stopped()) return;
    std::string dir = (std::filesystem::temp_directory_path() / "vantrel-wine-msi.XXXXXX").string();
    ASSERT_NE(::mkdtemp(dir.data()), nullptr);
    dir_ = dir;
  }
  void TearDown() override {
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }
  std::string dir_;
};

TEST_F(WineMsi, UpgradesTheOlderReleaseRunsTheInstalledWindowAndUninstallsCleanly) {
  const auto press = add_device("press", "0", {"--model", "VX-100", "--serial", "A1B2C3", "--boot-state", "on"});
  const auto camera =
      add_device("camera", "0", {"--model", "VX-220 Camera", "--serial", "CAM-0042", "--boot-state", "off"});
  ASSERT_FALSE(HasFailure());

  testbed::ChildProcess screen({"Xvfb", "-displayfd", "1", "-screen", "0", "2400x1200x24", "-nolisten", "tcp"});
  ASSERT_TRUE(screen.wait_for("\n", 10s)) << "Xvfb did not start";
  const std::string display = ":" + lines(screen.out()).front();

  const std::string tool_out = dir_ + "/tool.out", tool_err = dir_ + "/tool.err";
  const std::string listed = dir_ + "/listed.txt", driver_err = dir_ + "/driver.err";
  // The template beside the Windows build's bin, shared with the other Wine tests; LC_ALL=C as there.
  testbed::ChildProcess session(bed_->in(
      "tool", {"env", "DISPLAY=" + display, "LC_ALL=C", "VANTREL_WINE_TEMPLATE=" + kWindowsBin + "/../wine-template",
               kWineRun, "--here", kSession, windows_path(kOlderMsi), windows_path(kThisMsi),
               windows_path(kWindowsBin + "/window_driver.exe"), "2", windows_path(tool_out),
               windows_path(tool_err), windows_path(listed), windows_path(driver_err)}));
  const int status = session.wait(kSessionTime);
  screen.signal(SIGTERM);
  screen.wait(5s);
  ASSERT_EQ(status, 0) << session.out() << session.err();
  auto found = steps(session.out());

  const std::string older = found["install older"];
  EXPECT_NE(older.find("status 0\n"), std::string::npos) << older;
  EXPECT_NE(older.find("DisplayVersion    REG_SZ    " + kOlderVersion + "\n"), std::string::npos) << older;

  // This release replaced the older one: a single entry, with our name, version, maker and icon.
  const std::string upgraded = found["install this"];
  EXPECT_NE(upgraded.find("status 0\n"), std::string::npos) << upgraded;
  EXPECT_EQ(count_of(upgraded, "DisplayName    REG_SZ    " VANTREL_PRODUCT_NAME "\n"), 1u) << upgraded;
  EXPECT_NE(upgraded.find("DisplayVersion    REG_SZ    " + kThisVersion + "\n"), std::string::npos) << upgraded;
  EXPECT_EQ(upgraded.find("DisplayVersion    REG_SZ    " + kOlderVersion + "\n"), std::string::npos) << upgraded;
  EXPECT_NE(upgraded.find("Publisher    REG_SZ    Vantrel\n"), std::string::npos) << upgraded;
  EXPECT_NE(upgraded.find("ProductIcon    REG_SZ    "), std::string::npos) << upgraded;
  const Installed after_install{upgraded};
  for (const char* line : {"file vantrel-discovery.exe", "file vantrel-discover.exe", "file vantrel-device-sim.exe",
                           "folder Discovery", "shortcut"})
    EXPECT_TRUE(after_install.has(line)) << "missing after install: " << line << "\n" << upgraded;

  // The installed window, found by its title and driven as in the window tests.
  const std::string run = found["run"];
  EXPECT_NE(run.find("status 0\n"), std::string::npos) << run << slurp(driver_err) << slurp(tool_err);
  EXPECT_NE(slurp(driver_err).find("window_driver: PASS"), std::string::npos) << slurp(driver_err);
  std::vector<std::string> shown = lines(slurp(listed));
  std::vector<std::string> wanted = {device_line(press[0], "VX-100", "A1B2C3", "on"),
                                     device_line(camera[0], "VX-220 Camera", "CAM-0042", "off")};
  std::sort(shown.begin(), shown.end());
  std::sort(wanted.begin(), wanted.end());
  EXPECT_EQ(shown, wanted);
  EXPECT_NE(slurp(tool_out).find(" bytes from " + wanted[0] + ": "), std::string::npos) << slurp(tool_out);
  EXPECT_EQ(slurp(tool_err), "Copy: clipboard not written: error 5\r\n");
  EXPECT_NE(run.find("vantrel-discover " VANTREL_VERSION_FULL "\n"), std::string::npos) << run;

  const std::string removed = found["uninstall"];
  EXPECT_NE(removed.find("status 0\n"), std::string::npos) << removed;
  EXPECT_EQ(removed.find(VANTREL_PRODUCT_NAME), std::string::npos) << "entry left:\n" << removed;
  for (const char* left : {"file ", "folder ", "shortcut", "registry "})
    EXPECT_EQ(removed.find(left), std::string::npos) << "left after uninstall: " << left << "\n" << removed;
}

}  // namespace
