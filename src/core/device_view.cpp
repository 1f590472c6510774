#include "vantrel/device_view.h"

#include <algorithm>

namespace {

char folded(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// <0, 0, >0 as strcmp, ignoring ASCII case.
int compare_folded(std::string_view a, std::string_view b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const auto x = static_cast<unsigned char>(folded(a[i]));
    const auto y = static_cast<unsigned char>(folded(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace

bool line_matches(std::string_view line, std::string_view needle) {
  if (needle.empty()) return true;
  if (needle.size() > line.size()) return false;
  const auto found = std::search(line.begin(), line.end(), needle.begin(), needle.end(),
                                 [](char x, char y) { return folded(x) == folded(y); });
  return found != line.end();
}

bool goes_before(const DeviceTable& table, std::size_t a, std::size_t b, SortKey key) {
  const DeviceRecord& x = table[a];
  const DeviceRecord& y = table[b];
  int order = 0;
  switch (key) {
    case SortKey::arrival:
      break;
    case SortKey::address:
      order = x.address == y.address ? 0 : (x.address < y.address ? -1 : 1);
      break;
    case SortKey::model:
      order = compare_folded(x.device.model, y.device.model);
      break;
    case SortKey::serial_number:
      order = compare_folded(x.device.serial_number, y.device.serial_number);
      break;
  }
  return order != 0 ? order < 0 : a < b;
}

std::vector<std::size_t> view_rows(const DeviceTable& table, std::string_view needle, SortKey key) {
  std::vector<std::size_t> rows;
  rows.reserve(table.size());
  for (std::size_t row = 0; row < table.size(); ++row) {
    if (line_matches(table[row].line, needle)) rows.push_back(row);
  }
  if (key != SortKey::arrival) {
    std::sort(rows.begin(), rows.end(),
              [&table, key](std::size_t a, std::size_t b) { return goes_before(table, a, b, key); });
  }
  return rows;
}
