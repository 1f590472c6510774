// What a view shows of a DeviceTable: the rows whose line holds a text, in an order. Pure functions over
// the table; the table keeps arrival order whatever a view shows.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "vantrel/device_table.h"

enum class SortKey { arrival, address, model, serial_number };

// Whether `line` holds `needle`, ignoring the case of ASCII letters (bytes beyond ASCII must match
// exactly). An empty needle matches every line.
bool line_matches(std::string_view line, std::string_view needle);

// Whether row `a` goes before row `b` under `key`; ties keep arrival order. Addresses compare as numbers
// (10.0.0.9 before 10.0.0.10); text compares byte by byte, ignoring ASCII case.
bool goes_before(const DeviceTable& table, std::size_t a, std::size_t b, SortKey key);

// The rows that hold `needle`, in `key` order.
std::vector<std::size_t> view_rows(const DeviceTable& table, std::string_view needle, SortKey key);
