#include "images/FrameArena.h"

#include "images/HugePageBlock.h"

#include <algorithm>

namespace {

constexpr std::size_t kMaxBlockBytes = std::size_t(64) << 20;

std::size_t RoundUp(std::size_t bytes, std::size_t unit)
{
    return (bytes + unit - 1) / unit * unit;
}

} // namespace

struct FrameArena::Block {
    explicit Block(std::size_t bytes)
        : memory(static_cast<uchar*>(HugePageBlock::Map(bytes))), size(RoundUp(bytes, HugePageBlock::kPageBytes))
    {
    }
    ~Block() { HugePageBlock::Unmap(memory, size); }
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;

    uchar* memory = nullptr;
    std::size_t size = 0;
    std::size_t used = 0;
};

QImage FrameArena::Allocate(QSize size, QImage::Format format)
{
    if (size.isEmpty() || format == QImage::Format_Invalid)
        return QImage();
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    if (depth < 16)
        return QImage();  // indexed and mono formats need a colour table
    // Lines aligned to 32 bits, as QImage's own.
    const qsizetype bytesPerLine = (qsizetype(size.width()) * depth + 31) / 32 * 4;
    // Each picture starts on a 64-byte boundary, as the allocator would give it.
    const std::size_t bytes = RoundUp(std::size_t(bytesPerLine) * std::size_t(size.height()), 64);
    if (!block_ || block_->size - block_->used < bytes) {
        // Very large pictures come fewer to a block, down to one.
        const std::size_t frames = std::clamp<std::size_t>(kMaxBlockBytes / bytes, 1, kFramesPerBlock);
        block_ = std::make_shared<Block>(bytes * frames);
        if (!block_->memory) {
            block_.reset();
            return QImage();
        }
    }
    uchar* data = block_->memory + block_->used;
    block_->used += bytes;
    auto* owner = new std::shared_ptr<Block>(block_);
    const auto release = [](void* info) { delete static_cast<std::shared_ptr<Block>*>(info); };
    QImage image(data, size.width(), size.height(), bytesPerLine, format, release, owner);
    if (image.isNull())
        release(owner);
    return image;
}
