#include "imaging/lzw_string_table.h"

#include <gtest/gtest.h>

namespace glimor::imaging {
namespace {

TEST(LzwStringTable, FindsEveryStringOfAFullTableAndNothingElse) {
  LzwStringTable table;
  // 3837 strings, as many as the encoder enters between two clear codes, many of one prefix.
  std::uint32_t code = 258;
  for (std::uint32_t prefix = 0; code <= 4094; ++prefix)
    for (std::uint32_t pixel = 0; pixel < 256 && code <= 4094; pixel += 3) table.add(prefix, pixel, code++);
  code = 258;
  for (std::uint32_t prefix = 0; code <= 4094; ++prefix)
    for (std::uint32_t pixel = 0; pixel < 256 && code <= 4094; pixel += 3) {
      ASSERT_EQ(table.find(prefix, pixel), code++);
      ASSERT_EQ(table.find(prefix, pixel ^ 1), LzwStringTable::notFound); // never a multiple of 3
    }
  EXPECT_EQ(table.find(4095, 255), LzwStringTable::notFound);
}

TEST(LzwStringTable, ClearForgetsEverythingEvenAfterManyGenerations) {
  LzwStringTable table;
  for (int round = 0; round < 9000; ++round) { // past the wrap of the generation counter
    const std::uint32_t prefix = static_cast<std::uint32_t>(round % 4096);
    ASSERT_EQ(table.find(prefix, 1), LzwStringTable::notFound) << round;
    table.add(prefix, 1, 300 + static_cast<std::uint32_t>(round % 3000));
    table.add(prefix + 1 < 4096 ? prefix + 1 : 0, 2, 4000);
    ASSERT_EQ(table.find(prefix, 1), 300 + static_cast<std::uint32_t>(round % 3000));
    table.clear();
  }
}

} // namespace
} // namespace glimor::imaging
