// The shown lines: one per distinct line, in order, bounded.
#include "vantrel/device_list.h"

#include <gtest/gtest.h>

namespace {

using Add = DeviceList::AddResult;

TEST(DeviceList, AddsDistinctLinesInOrderAndDropsRepeats) {
  DeviceList list;
  EXPECT_EQ(list.add("a, Model: M, Serial Number: 1"), Add::added);
  EXPECT_EQ(list.add("a, Model: M, Serial Number: 1, Boot State:  ON"), Add::added);
  EXPECT_EQ(list.add("a, Model: M, Serial Number: 1"), Add::duplicate);
  EXPECT_EQ(list.add("b, Model: M, Serial Number: 1"), Add::added);
  EXPECT_EQ(list.lines(), (std::vector<std::string>{"a, Model: M, Serial Number: 1",
                                                    "a, Model: M, Serial Number: 1, Boot State:  ON",
                                                    "b, Model: M, Serial Number: 1"}));
}

TEST(DeviceList, ClearForgetsSoLinesComeBack) {
  DeviceList list;
  list.add("x");
  list.clear();
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(list.add("x"), Add::added);
}

TEST(DeviceList, FullRefusesNewLinesButKnowsOldOnes) {
  DeviceList list(2);
  EXPECT_EQ(list.add("1"), Add::added);
  EXPECT_EQ(list.add("2"), Add::added);
  EXPECT_EQ(list.add("3"), Add::full);
  EXPECT_EQ(list.add("1"), Add::duplicate);
  EXPECT_EQ(list.size(), 2u);
  list.clear();
  EXPECT_EQ(list.add("3"), Add::added);
}

}  // namespace
