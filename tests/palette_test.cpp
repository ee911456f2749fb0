// Tests of the palette builders and the fodging array.
#include "display/palette.h"

#include <gtest/gtest.h>

namespace {

struct rgb {
  int r, g, b;
  bool operator==(const rgb &) const = default;
};
std::ostream &operator<<(std::ostream &o, const rgb &c) { return o << c.r << "," << c.g << "," << c.b; }

struct bytepalette {
  rgb e[256];
};

bytepalette tobytes(void (*build)(float *, float *, float *), float gamma, bool invert) {
  float r[256], g[256], b[256];
  build(r, g, b);
  if (invert) invertpalettefloats(r, g, b);
  bytepalette p;
  for (int i = 0; i < 256; i++) p.e[i] = {palettebyte(r[i], gamma), palettebyte(g[i], gamma), palettebyte(b[i], gamma)};
  return p;
}

}  // namespace

TEST(PaletteFloats, StandardPaletteEntries) {
  struct {
    float gamma;
    bool invert;
    int index;
    rgb expected;
  } cases[] = {
      {1, false, 15, {255, 255, 255}}, {1, false, 7, {127, 127, 127}}, {1, false, 8, {63, 63, 63}},
      {1, false, 41, {51, 0, 0}},      {1, false, 255, {255, 255, 255}}, {1, false, 12, {255, 0, 0}},
      {1, false, 4, {127, 0, 0}},      {1, false, 0, {0, 0, 0}},       {1, false, 39, {255, 255, 255}},
      {1, false, 16, {0, 0, 0}},       {1, false, 76, {0, 0, 51}},     {1, false, 46, {0, 51, 0}},
      {1, true, 0, {255, 255, 255}},   {1, true, 15, {0, 0, 0}},       {1, true, 12, {255, 85, 85}},
      {1, true, 8, {191, 191, 191}},  // grey 0.25 mirrors to 0.75
      {2, false, 8, {127, 127, 127}},  // 255.4 * sqrt(0.25)
      {2, false, 15, {255, 255, 255}}, {2, false, 0, {0, 0, 0}},
  };
  for (auto &c : cases)
    EXPECT_EQ(tobytes(standardpalettefloats, c.gamma, c.invert).e[c.index], c.expected)
        << "index " << c.index << " gamma " << c.gamma << " invert " << c.invert;
}

TEST(PaletteFloats, GreyRampRunsFromBlackToWhite) {
  bytepalette p = tobytes(standardpalettefloats, 1, false);
  for (int i = 17; i < 40; i++) {
    EXPECT_EQ(p.e[i].r, p.e[i].g);
    EXPECT_EQ(p.e[i].r, p.e[i].b);
    EXPECT_GT(p.e[i].r, p.e[i - 1].r) << i;
  }
  EXPECT_EQ(p.e[27].r, static_cast<int>(255.4 * (11.0f / 23.0f)));
}

TEST(PaletteFloats, HuePaletteRingsAndCube) {
  bytepalette p = tobytes(huepalettefloats, 1, false);
  struct {
    int index;
    rgb expected;
  } cases[] = {
      {8, {63, 63, 63}},    {15, {255, 255, 255}}, {16, {0, 0, 0}},       {31, {255, 255, 255}},
      {32, {0, 0, 255}},    // ring 0 starts at blue
      {34, {127, 0, 255}},  // t = 0.5 towards magenta
      {36, {255, 0, 255}},  // magenta
      {40, {255, 0, 0}},    // sector 2, t = 0: red
      {44, {255, 255, 0}},  // sector 3 at t = 1: yellow
      {48, {0, 255, 0}},    // sector 4, t = 0: green
      {52, {0, 255, 255}},  // sector 5, t = 1: cyan
      {56, {127, 127, 255}},  // ring 1, pale blue
      {80, {0, 0, 63}},       // ring 2, dark blue
      {104, {0, 0, 127}},     // ring 3, medium blue
      {128, {0, 0, 0}},     {129, {63, 0, 0}},    {133, {0, 63, 0}},      {153, {0, 0, 63}},
      {252, {255, 255, 255}}, {253, {0, 0, 0}},   {255, {0, 0, 0}},
  };
  for (auto &c : cases) EXPECT_EQ(p.e[c.index], c.expected) << "index " << c.index;
}

TEST(PaletteFloats, SixteenBitValues) {
  EXPECT_EQ(sixteenbitvalue(255, 255, 255, 0x7E0), 0xFFFF);
  EXPECT_EQ(sixteenbitvalue(255, 0, 0, 0x7E0), 0xF800);
  EXPECT_EQ(sixteenbitvalue(0, 255, 0, 0x7E0), 0x07E0);
  EXPECT_EQ(sixteenbitvalue(0, 0, 255, 0x3E0), 0x001F);
  EXPECT_EQ(sixteenbitvalue(255, 255, 255, 0x3E0), 0x7FFF);
  EXPECT_EQ(sixteenbitvalue(8, 8, 8, 0x3E0), 1 << 10 | 1 << 5 | 1);
  EXPECT_EQ(sixteenbitvalue(255, 255, 255, 0), -1);
  EXPECT_EQ(sixteenbitvalue(255, 255, 255, 0xFF00), -1);
}
