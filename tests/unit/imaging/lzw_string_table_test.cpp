#include "imaging/lzw_string_table.h"

#include <gtest/gtest.h>

namespace glimor::imaging {
namespace {

TEST(LzwStringTable, FindsEveryStringOfAFullTableAndNothingElse) {
  LzwStringTable table;
  // 3837 strings, as many as the encoder enters between two clear codes, many of one prefix.
  std::uint32_t code = 258;
  for (std::uint32_t prefix = 0; code <= 4094; ++prefix)
    for (std::uint32_t pixel = 0; pixel < 256 && code <= 4094; pixel += 3, ++code)
      ASSERT_EQ(table.findOrAdd(prefix, pixel, code), LzwStringTable::notFound);
  code = 258;
  for (std::uint32_t prefix = 0; code <= 4094; ++prefix)
    for (std::uint32_t pixel = 0; pixel < 256 && code <= 4094; pixel += 3, ++code)
      ASSERT_EQ(table.findOrAdd(prefix, pixel, 9999), code);
  // The highest prefix and pixel are a string like any other.
  EXPECT_EQ(table.findOrAdd(4094, 255, 4000), LzwStringTable::notFound);
  EXPECT_EQ(table.findOrAdd(4094, 255, 1), 4000u);
}

TEST(LzwStringTable, ClearForgetsEverything) {
  LzwStringTable table;
  for (std::uint32_t pixel = 0; pixel < 256; ++pixel) table.findOrAdd(7, pixel, 300 + pixel);
  table.clear();
  for (std::uint32_t pixel = 0; pixel < 256; ++pixel)
    ASSERT_EQ(table.findOrAdd(7, pixel, 1000 + pixel), LzwStringTable::notFound);
  EXPECT_EQ(table.findOrAdd(7, 9, 0), 1009u);
}

} // namespace
} // namespace glimor::imaging
