#include "images/CindralImage.h"
#include "images/FramePool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr std::size_t kPiece = 16 << 10;
// Pieces of kPiece that fill three blocks and part of a fourth.
constexpr int kPieces = int(3 * FramePool::kBlockBytes / kPiece) + 5;

class FramePoolTest : public testing::Test
{
protected:
    void SetUp() override
    {
        if (!FramePool::Enabled())
            GTEST_SKIP() << "pooling is off in builds with the address sanitizer";
    }
};

} // namespace

TEST_F(FramePoolTest, PiecesAreAlignedApartAndKeepTheirBytes)
{
    std::vector<unsigned char*> pieces;
    for (int i = 0; i < kPieces; ++i) {
        auto* piece = static_cast<unsigned char*>(FramePool::Allocate(kPiece, 4));
        ASSERT_NE(piece, nullptr) << i;
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(piece) % 64, 0u) << i;
        std::memset(piece, i & 0xFF, kPiece);
        pieces.push_back(piece);
    }
    for (int i = 0; i < kPieces; ++i) {
        const unsigned char* piece = pieces[std::size_t(i)];
        EXPECT_EQ(piece[0], i & 0xFF) << i;
        EXPECT_EQ(piece[kPiece - 1], i & 0xFF) << i;
    }
    for (unsigned char* piece : pieces)
        EXPECT_TRUE(FramePool::Free(piece));
}

TEST_F(FramePoolTest, BlocksGoBackWhenTheirLastPieceIsFreedWhicheverThreadFreesIt)
{
    const std::size_t before = FramePool::BlockCount();
    std::vector<void*> pieces;
    for (int i = 0; i < kPieces; ++i)
        pieces.push_back(FramePool::Allocate(kPiece, 4));
    EXPECT_GE(FramePool::BlockCount(), before + 3);

    // Every block but the last keeps one piece: all of them stay.
    std::vector<void*> kept;
    const int perBlock = int(FramePool::kBlockBytes / kPiece);
    for (int i = 0; i < kPieces; ++i) {
        if (i % perBlock == 0)
            kept.push_back(pieces[std::size_t(i)]);
        else
            EXPECT_TRUE(FramePool::Free(pieces[std::size_t(i)]));
    }
    EXPECT_GE(FramePool::BlockCount(), before + 3);

    std::thread([&kept] {
        for (void* piece : kept)
            EXPECT_TRUE(FramePool::Free(piece));
    }).join();
    // The block being filled stays mapped for the next image.
    EXPECT_LE(FramePool::BlockCount(), before + 1);
}

TEST_F(FramePoolTest, WhatIsNotPooledIsLeftToTheAllocator)
{
    struct Case {
        const char* what;
        std::size_t bytes;
        std::size_t alignment;
    } refused[] = {
        {"smaller than the smallest", FramePool::kSmallest - 1, 4},
        {"larger than the largest", FramePool::kLargest + 1, 4},
        {"aligned beyond 64", kPiece, 128},
    };
    for (const Case& c : refused)
        EXPECT_EQ(FramePool::Allocate(c.bytes, c.alignment), nullptr) << c.what;

    auto ordinary = std::make_unique<char[]>(kPiece);
    EXPECT_FALSE(FramePool::Free(ordinary.get()));
    EXPECT_FALSE(FramePool::Free(nullptr));
}

TEST_F(FramePoolTest, ImagesOfAPackageShareAFewBlocks)
{
    const std::size_t before = FramePool::BlockCount();
    std::vector<std::unique_ptr<CindralImage>> images;
    CindralImage::Frame frame;
    frame.duration = 40;
    for (int i = 0; i < 200; ++i) {
        auto image = std::make_unique<CindralImage>();
        for (int f = 0; f < 255; ++f) {
            frame.indices[0] = quint8(f);
            image->AddFrame(frame);
        }
        images.push_back(std::move(image));
    }
    // 200 images of 255 frames of 68 bytes: 3.3 MiB of frames (twice that counting the
    // room their sequences grew out of).
    EXPECT_LE(FramePool::BlockCount(), before + 5);
    for (const auto& image : images)
        EXPECT_EQ(image->GetFrame(254)->indices[0], 254);
    images.clear();
    EXPECT_LE(FramePool::BlockCount(), before + 1);
}
