#include "capture/marks/render.h"

#include <gtest/gtest.h>

namespace glimor::capture::marks {
namespace {

constexpr std::uint32_t rgb(int r, int g, int b) {
  return std::uint32_t(r) << 16 | std::uint32_t(g) << 8 | b;
}
constexpr std::uint32_t white = 0xFFFFFF, black = 0, red = rgb(220, 20, 30);

Mark markOf(Tool tool, std::vector<Point> points, int size = 1, std::uint32_t colour = red) {
  Mark mark;
  mark.tool = tool;
  mark.points = std::move(points);
  mark.size = size;
  mark.colour = colour;
  return mark;
}

// No two neighbouring pixels alike, so that every change shows.
Picture busyPicture(int width, int height) {
  Picture p(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      p.at(x, y) = rgb((x * 7 + y * 3) % 256, (x * 5 + y * 11) % 256, (x * y) % 256);
  return p;
}

Rect whole(const Picture& p) {
  return Rect{0, 0, p.width, p.height};
}

Picture rendered(Picture p, const Mark& mark) {
  Damage damage;
  render(p, whole(p), mark, damage);
  return p;
}

TEST(MarksRender, RectangleIsAnOutlineInsideItsCornersWhicheverWayItWasDragged) {
  const Picture p = rendered(Picture(12, 10), markOf(Tool::Rectangle, {{9, 8}, {2, 1}}, 2));
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 12; ++x) {
      const bool inRect = x >= 2 && x < 9 && y >= 1 && y < 8, inHole = x >= 4 && x < 7 && y >= 3 && y < 6;
      EXPECT_EQ(p.at(x, y), inRect && !inHole ? red : white) << x << "," << y;
    }
}

TEST(MarksRender, ArrowHeadEndsAtTheTipWithTheShaftInsideIt) {
  // Wide shaft, pointing right: the head is 30 px long, the tip pixel is (50, 30).
  const Picture p = rendered(Picture(80, 60), markOf(Tool::Arrow, {{5, 30}, {50, 30}}, 8, black));
  EXPECT_LT(p.at(50, 30) & 0xFF, 128u) << "tip pixel mostly covered";
  EXPECT_EQ(p.at(35, 30), black) << "head";
  EXPECT_EQ(p.at(15, 33), black) << "shaft";
  EXPECT_EQ(p.at(49, 33), white) << "a shaft reaching the tip would show beside it";
  for (int y = 0; y < 60; ++y)
    for (int x = 51; x < 80; ++x) ASSERT_EQ(p.at(x, y), white) << x << "," << y;

  // Diagonal: nothing ahead of the tip.
  const Picture d = rendered(Picture(80, 60), markOf(Tool::Arrow, {{5, 5}, {40, 35}}, 4, black));
  EXPECT_NE(d.at(40, 35), white);
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 80; ++x) {
      if ((x - 40) * 35 + (y - 35) * 30 > 0) {
        ASSERT_EQ(d.at(x, y), white) << x << "," << y;
      }
    }

  // Shorter than its head: the head shrunk between the points, still pointing right.
  const Picture s = rendered(Picture(30, 20), markOf(Tool::Arrow, {{10, 10}, {14, 10}}, 6, black));
  EXPECT_NE(s.at(14, 10), white);
  EXPECT_NE(s.at(11, 11), white);
  for (int y = 0; y < 20; ++y) {
    EXPECT_EQ(s.at(9, y), white);
    EXPECT_EQ(s.at(15, y), white);
    EXPECT_EQ(s.at(14, y), y == 10 ? s.at(14, 10) : white) << "narrow at the tip";
  }
}

TEST(MarksRender, LineIsSolidInTheMiddleAndSoftAtItsEdge) {
  const Picture p = rendered(Picture(50, 30), markOf(Tool::Line, {{5, 10}, {45, 20}}, 4, black));
  EXPECT_EQ(p.at(25, 15), black);
  EXPECT_EQ(p.at(5, 10), black);
  EXPECT_EQ(p.at(25, 25), white);
  int partial = 0;
  for (std::uint32_t pixel : p.pixels) partial += pixel != black && pixel != white;
  EXPECT_GT(partial, 40) << "both long edges are anti-aliased";
}

TEST(MarksRender, HighlighterMultipliesOnceWhereItsStrokesOverlap) {
  Picture p(60, 30);
  for (int y = 0; y < 30; ++y)
    for (int x = 30; x < 60; ++x) p.at(x, y) = black;
  const std::uint32_t yellow = rgb(255, 230, 0);
  const Picture h = rendered(p, markOf(Tool::Highlighter, {{5, 10}, {55, 10}, {5, 10}}, 8, yellow));
  EXPECT_EQ(h.at(15, 11), yellow)
      << "white takes the colour, not darker where the stroke went back over itself";
  EXPECT_EQ(h.at(45, 11), black) << "black text stays black";
  EXPECT_EQ(h.at(15, 25), white);
  const std::uint32_t edge = h.at(20, 6);
  EXPECT_NE(edge, white);
  EXPECT_NE(edge, yellow);
  EXPECT_EQ(edge >> 16, 255u) << "a soft edge blends towards the colour, it does not darken";
}

TEST(MarksRender, RedactAndPixelateLeaveNoDetail) {
  const Picture redacted =
      rendered(busyPicture(30, 30), markOf(Tool::Redact, {{20, 15}, {3, 4}}, 1, rgb(1, 2, 3)));
  for (int y = 4; y < 15; ++y)
    for (int x = 3; x < 20; ++x) ASSERT_EQ(redacted.at(x, y), rgb(1, 2, 3)) << x << "," << y;

  EXPECT_EQ(pixelateBlock(30, 30), 12);
  EXPECT_EQ(pixelateBlock(100, 40), 14);
  EXPECT_EQ(pixelateBlock(5, 10), 12);
  // 50 x 40 with blocks of 14: three columns of 16, 17 and 17 (no thin remainder), two rows of 20.
  const Picture original = busyPicture(60, 50);
  const Picture p = rendered(original, markOf(Tool::Pixelate, {{5, 3}, {55, 43}}));
  const int xs[] = {5, 21, 38, 55}, ys[] = {3, 23, 43};
  for (int by = 0; by < 2; ++by)
    for (int bx = 0; bx < 3; ++bx)
      for (int y = ys[by]; y < ys[by + 1]; ++y)
        for (int x = xs[bx]; x < xs[bx + 1]; ++x)
          ASSERT_EQ(p.at(x, y), p.at(xs[bx], ys[by]))
              << "block " << bx << "," << by << " at " << x << "," << y;
  EXPECT_NE(p.at(20, 3), p.at(21, 3));
  EXPECT_NE(p.at(38, 22), p.at(38, 23));
  std::uint64_t sum[3] = {};
  for (int y = 3; y < 23; ++y)
    for (int x = 5; x < 21; ++x)
      for (int c = 0; c < 3; ++c) sum[c] += original.at(x, y) >> (16 - 8 * c) & 0xFF;
  EXPECT_EQ(p.at(5, 3), rgb(int((sum[0] + 160) / 320), int((sum[1] + 160) / 320), int((sum[2] + 160) / 320)));
}

// Every tool, partly outside the selection and the picture: nothing outside the selection
// changes, and the damage names every pixel that did.
TEST(MarksRender, EveryMarkStaysInsideTheSelectionAndItsDamage) {
  platform::GlyphMask glyphs{5, 7, {}};
  for (int i = 0; i < 35; ++i) glyphs.coverage.push_back(static_cast<std::uint8_t>(i * 7));
  std::vector<Mark> marks = {markOf(Tool::Rectangle, {{-5, 20}, {30, 60}}, 3),
                             markOf(Tool::Arrow, {{-30, -20}, {45, 30}}, 6),
                             markOf(Tool::Line, {{70, 5}, {20, 45}}, 5),
                             markOf(Tool::Highlighter, {{0, 12}, {30, 30}, {90, 9}}, 12),
                             markOf(Tool::Text, {{40, 20}}),
                             markOf(Tool::Step, {{12, 38}}, 16),
                             markOf(Tool::Redact, {{40, 35}, {70, 70}}),
                             markOf(Tool::Pixelate, {{5, 5}, {30, 30}})};
  marks[4].glyphs = marks[5].glyphs = glyphs;
  const Rect clip{10, 8, 50, 40};
  for (const Mark& mark : marks) {
    const Picture before = busyPicture(64, 48);
    Picture after = before;
    Damage damage;
    render(after, clip, mark, damage);
    const std::vector<Rect> rects = damage.rects();
    int changed = 0;
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x) {
        if (before.at(x, y) == after.at(x, y)) continue;
        ++changed;
        ASSERT_TRUE(x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom)
            << "tool " << int(mark.tool) << " at " << x << "," << y;
        bool damaged = false;
        for (const Rect& r : rects) damaged |= x >= r.left && x < r.right && y >= r.top && y < r.bottom;
        ASSERT_TRUE(damaged) << "tool " << int(mark.tool) << " at " << x << "," << y;
      }
    EXPECT_GT(changed, 20) << "tool " << int(mark.tool);
  }
  EXPECT_EQ(contrastingColour(rgb(255, 230, 0)), black);
  EXPECT_EQ(contrastingColour(rgb(30, 60, 200)), white);
}

TEST(MarksRender, DamageBandsAreDisjointAndMergeWhenAlike) {
  Damage damage;
  damage.addSpan(3, 10, 20);
  damage.addSpan(5, 2, 4);
  damage.addSpan(4, 200, 210); // far from the others: a rectangle of its own
  damage.addRect(Rect{0, 32, 8, 80});
  damage.addSpan(-1, 0, 1);
  EXPECT_EQ(damage.rects(),
            (std::vector<Rect>{{0, -1, 1, 0}, {2, 3, 20, 6}, {200, 4, 210, 5}, {0, 32, 8, 80}}));
}

} // namespace
} // namespace glimor::capture::marks
