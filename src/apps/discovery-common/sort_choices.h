// The "Sort by" menu of both front ends, in its order.
#pragma once

#include <array>

#include "vantrel/device_view.h"
#include "window_words.h"

namespace words {
struct SortChoice {
  SortKey key;
  const char* words;
};
inline constexpr std::array<SortChoice, 4> kSortChoices = {{{SortKey::arrival, kSortArrival},
                                                            {SortKey::address, kSortAddress},
                                                            {SortKey::model, kSortModel},
                                                            {SortKey::serial_number, kSortSerial}}};
}  // namespace words
