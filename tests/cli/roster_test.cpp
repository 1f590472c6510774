// Which sightings are listed, and when a silent device is dropped so that it is listed again on return.
#include "roster.h"

#include <gtest/gtest.h>

namespace {

using discover::Roster;

Sighting sighting(const std::string& host, const std::string& serial) {
  Sighting s;
  s.host = host;
  s.device = {"VX", serial, std::nullopt};
  s.line = protocol::device_line(host, s.device);
  return s;
}

std::vector<std::string> serials(const std::vector<discover::Listed>& listed) {
  std::vector<std::string> out;
  for (const discover::Listed& l : listed) out.push_back(l.device.serial_number);
  return out;
}

TEST(Roster, ListsEachLineOnce) {
  Roster roster;
  EXPECT_TRUE(roster.answered(sighting("10.0.0.1", "A"), 0));
  EXPECT_FALSE(roster.answered(sighting("10.0.0.1", "A"), 0));
  EXPECT_TRUE(roster.answered(sighting("10.0.1.1", "A"), 0)) << "another address is another line";
  EXPECT_EQ(roster.size(), 2u);
}

TEST(Roster, DropsOnlyAfterTwoSilentRoundsAndListsAgainOnReturn) {
  Roster roster;
  roster.answered(sighting("10.0.0.1", "A"), 0);
  roster.answered(sighting("10.0.0.2", "B"), 0);
  roster.answered(sighting("10.0.0.3", "C"), 0);
  EXPECT_TRUE(roster.drop_silent(0).empty());
  roster.answered(sighting("10.0.0.2", "B"), 1);
  EXPECT_TRUE(roster.drop_silent(1).empty()) << "one missed round is not gone";
  roster.answered(sighting("10.0.0.2", "B"), 2);

  const std::vector<discover::Listed> gone = roster.drop_silent(2);
  EXPECT_EQ(serials(gone), (std::vector<std::string>{"A", "C"})) << "in listing order";
  EXPECT_EQ(gone.front().address, "10.0.0.1");
  EXPECT_EQ(gone.front().last_round, 0u);
  EXPECT_EQ(roster.size(), 1u);

  EXPECT_TRUE(roster.answered(sighting("10.0.0.1", "A"), 3)) << "a returning device is listed again";
  EXPECT_FALSE(roster.answered(sighting("10.0.0.2", "B"), 3));
  EXPECT_TRUE(roster.drop_silent(3).empty());
}

}  // namespace
