#include "images/Palette.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

const std::vector<QRgb> kSeeds = {0xff000000u, 0xffffffffu};

} // namespace

TEST(Quantiser, SplitsTheWidestBoxAtItsMedian)
{
    std::vector<ColourTriple> triples = {{0, 0, 0}, {10, 0, 0}, {200, 0, 0}};
    EXPECT_EQ(MedianCutQuantize(triples, 2), (std::vector<QRgb>{qRgb(5, 0, 0), qRgb(200, 0, 0)}));

    // One box is the (truncated) mean of everything.
    triples = {{0, 0, 0}, {10, 1, 2}, {200, 0, 9}};
    EXPECT_EQ(MedianCutQuantize(triples, 1), (std::vector<QRgb>{qRgb(70, 0, 3)}));

    // The widest channel decides the split: here blue.
    triples = {{0, 0, 0}, {5, 0, 100}, {5, 0, 130}, {0, 0, 10}};
    EXPECT_EQ(MedianCutQuantize(triples, 2), (std::vector<QRgb>{qRgb(5, 0, 115), qRgb(0, 0, 5)}));

    // No more colours than distinct boxes can give.
    triples = {{1, 2, 3}};
    EXPECT_EQ(MedianCutQuantize(triples, 5), (std::vector<QRgb>{qRgb(1, 2, 3)}));
    EXPECT_TRUE(MedianCutQuantize(triples, 0).empty());
    // A target far beyond the colours at hand costs no more than the colours.
    triples = {{1, 2, 3}, {9, 9, 9}};
    EXPECT_EQ(MedianCutQuantize(triples, INT_MAX).size(), 2u);
    EXPECT_TRUE(MedianCutQuantize({}, 4).empty());
}

TEST(Quantiser, ManyColoursGiveTheTargetCountOfRepresentatives)
{
    // 255 frames × 127 LEDs of a smooth gradient.
    std::vector<ColourTriple> triples;
    for (int i = 0; i < 255 * 127; ++i)
        triples.push_back({quint8(i % 256), quint8((i / 7) % 256), quint8((i / 131) % 256)});
    const std::vector<QRgb> colours = MedianCutQuantize(triples, 252);
    EXPECT_EQ(colours.size(), 252u);
    for (QRgb colour : colours)
        EXPECT_EQ(qAlpha(colour), 255);
}

TEST(Palette, BuildPaletteSkipsSeedsAndLedsThatAreOff)
{
    const std::vector<QRgb> onlySeeds = {0xff000000u, 0xffffffffu, 0x00123456u, 0x7fffffffu, 0xff000000u};
    std::vector<QRgb> list = BuildPalette(kSeeds, onlySeeds, 254);
    ASSERT_EQ(list.size(), 254u);
    EXPECT_EQ(list[0], 0xff000000u);
    EXPECT_EQ(list[1], 0xffffffffu);
    EXPECT_EQ(std::count(list.begin(), list.end(), 0u), 252);

    // A half-transparent seed colour counts as the seed.
    const std::vector<QRgb> one = {0xff000000u, 0x80ffffffu, 0xff336699u};
    list = BuildPalette(kSeeds, one, 254);
    EXPECT_EQ(list[2], 0xff336699u);
    EXPECT_EQ(std::count(list.begin(), list.end(), 0u), 251);

    EXPECT_EQ(BuildPalette(kSeeds, one, 1), std::vector<QRgb>{0xff000000u});
}

TEST(Palette, GreyRampFromBlackToWhite)
{
    const std::vector<QRgb> list = GreyPalette(kSeeds, 254);
    ASSERT_EQ(list.size(), 254u);
    EXPECT_EQ(list[0], 0xff000000u);
    EXPECT_EQ(list[1], 0xffffffffu);
    EXPECT_EQ(list[2], qRgb(0, 0, 0));
    EXPECT_EQ(list[3], qRgb(1, 1, 1));     // 255 × 1 / 251
    EXPECT_EQ(list[127], qRgb(126, 126, 126)); // 255 × 125 / 251 = 126.99
    EXPECT_EQ(list[253], qRgb(255, 255, 255));
    // A ramp of a single grey has no step to divide by.
    EXPECT_EQ(GreyPalette(kSeeds, 3), (std::vector<QRgb>{0xff000000u, 0xffffffffu, qRgb(0, 0, 0)}));
}

TEST(Palette, NearestIndexPrefersExactThenLowest)
{
    std::vector<QRgb> list(10, qRgb(0, 0, 0));
    list[2] = qRgb(100, 100, 100);
    list[3] = qRgb(50, 0, 0);
    list[5] = qRgb(100, 100, 100);
    list[7] = qRgb(70, 0, 0);
    EXPECT_EQ(NearestPaletteIndex(list, qRgb(100, 100, 100)), 2);
    EXPECT_EQ(NearestPaletteIndex(list, qRgb(60, 0, 0)), 3); // as far from 3 as from 7
    EXPECT_EQ(NearestPaletteIndex(list, qRgb(69, 0, 0)), 7);
    // Alpha does not count in the distance.
    EXPECT_EQ(NearestPaletteIndex(list, qRgba(100, 100, 100, 0)), 2);
    EXPECT_EQ(NearestPaletteIndex({}, qRgb(1, 1, 1)), 0);
}
