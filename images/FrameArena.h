#pragma once

#include <QImage>
#include <QSize>

#include <memory>

// Memory for many pictures of about one size, cut one after the other from large blocks
// that the kernel may back with huge pages. A video import keeps hundreds of frames; taken
// from the allocator one by one, every frame is fresh memory faulted in a page at a time,
// which costs more than copying the picture into it.
//
// A picture keeps its block alive for as long as it (or a copy of it) lives, so a block
// is returned only when all its pictures are gone; blocks hold a bounded number of
// pictures, so one picture kept for long holds little.
//
// Threads: Allocate from one thread at a time; the pictures may live and die anywhere.
class FrameArena
{
public:
    // Pictures a block is made for (fewer when they would take more than 64 MiB).
    static constexpr int kFramesPerBlock = 32;

    // A new picture of `size` and `format` (not one with a colour table) in arena memory,
    // its contents undefined; a null picture when there is no memory for it.
    QImage Allocate(QSize size, QImage::Format format);
    // Lets go of the block being filled: later pictures start a new one.
    void Reset() { block_.reset(); }

    FrameArena() = default;
    // A copy starts blocks of its own: two arenas never fill one block.
    FrameArena(const FrameArena&) {}
    FrameArena& operator=(const FrameArena&)
    {
        block_.reset();
        return *this;
    }

private:
    struct Block;

    std::shared_ptr<Block> block_;
};
