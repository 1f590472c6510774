// The only thing a front end adds to the shared window logic: how its view of `list` learns what changed.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

// All run on the GUI thread, after `list` has changed.
struct ListControl {
  // Rows [first, first + count) of `list` are new; the view shows those its filter lets through.
  std::function<void(std::size_t first, std::size_t count)> rows_added;
  // These earlier rows gained a problem: their marks and tooltips change.
  std::function<void(const std::vector<std::size_t>& rows)> rows_flagged;
  // `list` is empty.
  std::function<void()> clear;
};
