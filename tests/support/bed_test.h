// A test fixture with a namespace bed: skips the test, with the reason, where beds cannot be built.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "netbed.h"

namespace testbed {

class BedTest : public testing::Test {
 protected:
  void SetUp() override {
    if (const std::string why = unavailable_reason(); !why.empty()) GTEST_SKIP() << why;
  }

  // Builds the bed (a fatal failure when it cannot). `options` as for NetBed.
  void build(int segments, const std::string& options = "") {
    bed_ = std::make_unique<NetBed>(segments, options);
    ASSERT_TRUE(bed_->ok()) << "netbed.sh up failed";
  }

  // For SetUp overrides: true when the test must not go on (skipped, or the bed failed).
  bool stopped() const { return IsSkipped() || HasFatalFailure(); }

  // Moves this thread into the bed's namespace `role` until leave() (a fatal failure when it cannot).
  void enter(const std::string& role) {
    // The old guard goes first: going back to where it came from after the new one entered would leave
    // this thread in the machine's own namespace.
    inside_.reset();
    inside_ = std::make_unique<InsideNamespace>(bed_->ns(role));
    ASSERT_TRUE(inside_->ok()) << "cannot enter namespace " << role;
  }
  void leave() { inside_.reset(); }

  std::unique_ptr<NetBed> bed_;
  std::unique_ptr<InsideNamespace> inside_;
};

}  // namespace testbed
