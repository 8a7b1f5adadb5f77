#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "terrain/worldmap.h"

namespace {

using terrain::CellIndex;
using terrain::CellIndexFixed;
using terrain::Random;

TEST(WorldMap, CellIndexWrapsBothCoordinates) {
  struct Case {
    std::int32_t x, y, index;
  };
  const Case cases[] = {
      {0, 0, 0},
      {-1, 0, 1023},
      {1024, 1023, 1047552},
      {-1025, -1, 1048575},
      {1023, 1023, 1048575},
      {5, 1025, 1029},
      {std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max(),
       1047552},
  };
  for (const Case& c : cases) EXPECT_EQ(CellIndex(c.x, c.y), c.index) << c.x << "," << c.y;
}

// Fixed-point positions take the floor of the cell, negative ones included.
TEST(WorldMap, CellIndexFixedTakesTheFloorOfTheCell) {
  struct Case {
    std::int32_t fx, fy, index;
  };
  const Case cases[] = {
      {4095, 0, 0},
      {4096, 0, 1},
      {-1, -1, 1048575},
      {-4096, 0, 1023},
      {-4097, 0, 1022},
      {4096 * 1024, 4096 * 1025, 1024},
      {std::numeric_limits<std::int32_t>::min(), 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CellIndexFixed(c.fx, c.fy), c.index) << c.fx << "," << c.fy;
  }
  for (std::int32_t f : {-12345678, -4097, -1, 0, 1, 8191, 8192, 99999999}) {
    const std::int32_t cell = f >= 0 ? f / 4096 : -((-f + 4095) / 4096);
    EXPECT_EQ(CellIndexFixed(f, f), CellIndex(cell, cell)) << f;
  }
}

TEST(WorldMap, MapCellLayoutMatchesTheDescriptorSteps) {
  EXPECT_EQ(sizeof(terrain::MapCell), 16u);
  EXPECT_EQ(reinterpret_cast<std::uint8_t*>(&terrain::WorldMap[CellIndex(0, 1)]) -
                reinterpret_cast<std::uint8_t*>(&terrain::WorldMap[0]),
            16384);
}

TEST(WorldMap, SixteenBitFieldsKeepTheLowBits) {
  const std::int32_t computed = 40000;
  terrain::WorldMap[0].height = static_cast<std::int16_t>(computed);
  EXPECT_EQ(terrain::WorldMap[0].height, -25536);
}

TEST(RandomSource, StateSequenceAndDrawsFromZero) {
  const std::uint32_t states[] = {1u, 134775814u, 3698175007u, 870078620u, 1172187917u,
                                  2884733762u};
  const std::uint32_t draws5[] = {0, 0, 4, 1, 1, 3};
  const std::uint32_t draws1000[] = {0, 31, 861, 202, 272, 671};

  terrain::randstate = 0;
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(Random(5), draws5[i]) << i;
    EXPECT_EQ(terrain::randstate, states[i]) << i;
  }
  terrain::randstate = 0;
  for (int i = 0; i < 6; ++i) EXPECT_EQ(Random(1000), draws1000[i]) << i;
}

// Every draw advances the state once, whatever n is: Random(1) and Random(0)
// give 0 but still consume a step.
TEST(RandomSource, EveryDrawAdvancesTheStateOnce) {
  terrain::randstate = 0;
  EXPECT_EQ(Random(1), 0u);
  EXPECT_EQ(Random(0), 0u);
  EXPECT_EQ(Random(1), 0u);
  EXPECT_EQ(terrain::randstate, 3698175007u);
  // The product is formed in 64 bits: with n = 2^32 - 1 the draw is state - 1.
  terrain::randstate = 0;
  EXPECT_EQ(Random(0xFFFFFFFFu), 0u);
  EXPECT_EQ(Random(0xFFFFFFFFu), 134775813u);
  EXPECT_EQ(Random(0xFFFFFFFFu), 3698175006u);
}

TEST(RandomSource, SeedingWithTheSameSeedRepeatsTheSequence) {
  terrain::randstate = static_cast<std::uint32_t>(-7);
  const std::uint32_t a = Random(100000), b = Random(100000), c = Random(100000);
  terrain::randstate = static_cast<std::uint32_t>(-7);
  EXPECT_EQ(Random(100000), a);
  EXPECT_EQ(Random(100000), b);
  EXPECT_EQ(Random(100000), c);
}

}  // namespace
