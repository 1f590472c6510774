// The set-up sequence's memberships for real: joined where interfaces are, dropped where they went, on
// the socket itself and on the helper sockets that hold joins beyond a socket's cap.
#include "vantrel/discovery_endpoint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

#include "bed_test.h"
#include "diag_capture.h"

namespace {

// The interfaces of this namespace that are members of the discovery group (224.0.0.120), from the
// kernel's own table.
std::set<std::string> group_members() {
  std::ifstream table("/proc/net/igmp");
  std::set<std::string> members;
  std::string device;
  for (std::string row; std::getline(table, row);) {
    std::istringstream words(row);
    std::string first;
    words >> first;
    if (row.empty() || row[0] != '\t') {
      words >> device;  // "<index> <device> : ..."
      continue;
    }
    if (first == "780000E0") members.insert(device);
  }
  return members;
}

std::size_t count_of(const std::string& text, const std::string& piece) {
  std::size_t count = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++count;
  return count;
}

class Memberships : public testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    if (const std::string why = testbed::unavailable_reason(); !why.empty()) GTEST_SKIP() << why;
  }
};

TEST_P(Memberships, FollowTheInterfacesAsTheyGoAndComeBack) {
  const int interfaces = GetParam();
  testbed::NetBed bed(interfaces);
  ASSERT_TRUE(bed.ok());
  testbed::InsideNamespace inside(bed.ns("tool"));
  ASSERT_TRUE(inside.ok());
  DiagCapture diagnostics;
  DiscoveryEndpoint endpoint;
  ASSERT_FALSE(endpoint.open()) << diagnostics.out() << diagnostics.err();
  std::vector<platform::Adapter> all;
  ASSERT_FALSE(addressed_interfaces(all));
  ASSERT_EQ(all.size(), static_cast<std::size_t>(interfaces));

  std::set<std::string> names;
  for (const platform::Adapter& adapter : all) names.insert(adapter.name);
  WalkOutcome joined = endpoint.join(all);
  EXPECT_EQ(joined.succeeded, all.size());
  EXPECT_TRUE(joined.failures.empty());
  EXPECT_EQ(group_members(), names);
  EXPECT_EQ(count_of(diagnostics.out(), "Joined group: [224.0.0.120]:5556\n"), all.size());

  // The first and the last interface go: the last one's membership is held by a helper socket when
  // there are more interfaces than one socket may join.
  std::vector<platform::Adapter> fewer(all.begin() + 1, all.end() - 1);
  std::size_t mark = diagnostics.out().size();
  joined = endpoint.join(fewer);
  EXPECT_EQ(joined.succeeded, fewer.size());
  EXPECT_EQ(endpoint.joined(), fewer.size());
  names.erase(all.front().name);
  names.erase(all.back().name);
  EXPECT_EQ(group_members(), names);
  EXPECT_EQ(diagnostics.out().find("Joined group", mark), std::string::npos)
      << diagnostics.out().substr(mark);

  // They come back: joined again, and only they.
  mark = diagnostics.out().size();
  joined = endpoint.join(all);
  EXPECT_TRUE(joined.failures.empty());
  EXPECT_EQ(group_members().size(), all.size());
  EXPECT_EQ(count_of(diagnostics.out().substr(mark), "Joined group: [224.0.0.120]:5556\n"), 2u);
  EXPECT_EQ(diagnostics.out().find("failed", mark), std::string::npos) << diagnostics.out().substr(mark);

  endpoint.close();
  EXPECT_TRUE(group_members().empty());
}

// Within one socket's cap of 20 memberships, and beyond it.
INSTANTIATE_TEST_SUITE_P(Interfaces, Memberships, testing::Values(3, 25));

}  // namespace
