// The only thing a front end adds to the shared window logic: how its list control appends and empties.
#pragma once

#include <functional>
#include <string_view>
#include <vector>

// Both run on the GUI thread. Lines are UTF-8 device lines, in the order they are to be shown.
struct ListControl {
  std::function<void(const std::vector<std::string_view>& lines)> append;
  std::function<void()> clear;
};
