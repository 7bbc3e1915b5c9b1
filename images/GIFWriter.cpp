#include "images/GIFWriter.h"

#include "images/Palette.h"

#include <QIODevice>

#include <algorithm>
#include <array>
#include <memory>

namespace {

constexpr int kBitsPerPixel = 8;
constexpr int kClearCode = 1 << kBitsPerPixel;
constexpr int kEndCode = kClearCode + 1;
constexpr int kFirstFreeCode = kClearCode + 2;
// The table is restarted after this code is assigned, so code 4095 is never used and no
// code needs more than 12 bits.
constexpr int kLastCode = 4094;
constexpr int kMaxCodes = 4096;
constexpr int kMaxSubBlock = 255;

// Packed field of the logical screen: global table present, 8-bit colour resolution,
// not sorted, 2^(7+1) entries.
constexpr char kScreenPacked = char(0xF7);
// Graphic control packed field: disposal method 2 (restore to background) in bits 2-4.
constexpr quint8 kDisposeToBackground = 2 << 2;
constexpr quint8 kTransparencyFlag = 0x01;

void AppendU16(QByteArray& bytes, int value)
{
    bytes.append(char(value & 0xFF));
    bytes.append(char((value >> 8) & 0xFF));
}

bool WriteAll(QIODevice& device, const QByteArray& bytes)
{
    return device.write(bytes) == bytes.size();
}

// Packs codes least significant bit first into sub-blocks.
class CodePacker
{
public:
    explicit CodePacker(QByteArray& out) : out_(out) {}

    void Put(int code, int width)
    {
        bits_ |= quint32(code) << count_;
        count_ += width;
        while (count_ >= 8) {
            block_[std::size_t(used_++)] = char(bits_ & 0xFF);
            bits_ >>= 8;
            count_ -= 8;
            if (used_ == kMaxSubBlock)
                EmitBlock();
        }
    }

    // Completes a partly filled byte with zero bits and writes what is left.
    void Flush()
    {
        if (count_ > 0) {
            block_[std::size_t(used_++)] = char(bits_ & 0xFF);
            bits_ = 0;
            count_ = 0;
        }
        if (used_ > 0)
            EmitBlock();
    }

private:
    void EmitBlock()
    {
        out_.append(char(used_));
        out_.append(block_.data(), used_);
        used_ = 0;
    }

    QByteArray& out_;
    std::array<char, kMaxSubBlock> block_{};
    int used_ = 0;
    quint32 bits_ = 0;
    int count_ = 0;
};

// The string table as a trie: each code's first child and next sibling (0 = none; no
// code below 258 is ever a child) and its last pixel.
class CodeTable
{
public:
    void Reset()
    {
        std::fill_n(firstChild_.begin(), kClearCode, quint16(0));
        next_ = kFirstFreeCode;
    }

    // The child of `prefix` that ends in `pixel`, or 0; `last` is then the last child in
    // the prefix's chain (0 when it has none).
    int Find(int prefix, quint8 pixel, int& last) const
    {
        last = 0;
        for (int code = firstChild_[std::size_t(prefix)]; code != 0; code = nextSibling_[std::size_t(code)]) {
            if (suffix_[std::size_t(code)] == pixel)
                return code;
            last = code;
        }
        return 0;
    }

    // Assigns the next free code to prefix + pixel and answers it.
    int Add(int prefix, quint8 pixel, int last)
    {
        const int code = next_++;
        suffix_[std::size_t(code)] = pixel;
        firstChild_[std::size_t(code)] = 0;
        nextSibling_[std::size_t(code)] = 0;
        if (last == 0)
            firstChild_[std::size_t(prefix)] = quint16(code);
        else
            nextSibling_[std::size_t(last)] = quint16(code);
        return code;
    }

private:
    std::array<quint16, kMaxCodes> firstChild_{};
    std::array<quint16, kMaxCodes> nextSibling_{};
    std::array<quint8, kMaxCodes> suffix_{};
    int next_ = kFirstFreeCode;
};

} // namespace

bool WriteGIFHeader(QIODevice& device, std::span<const QRgb> table, int width, int height, quint8 backgroundIndex)
{
    if (table.size() != std::size_t(kGIFTableSize) || width < 1 || height < 1 || width > kGIFMaxSide ||
        height > kGIFMaxSide)
        return false;
    QByteArray bytes("GIF89a");
    AppendU16(bytes, width);
    AppendU16(bytes, height);
    bytes.append(kScreenPacked);
    bytes.append(char(backgroundIndex));
    bytes.append('\0'); // no pixel aspect ratio
    for (QRgb colour : table) {
        bytes.append(char(qRed(colour)));
        bytes.append(char(qGreen(colour)));
        bytes.append(char(qBlue(colour)));
    }
    // Application extension: loop for ever (loop count 0).
    bytes.append("\x21\xFF\x0B" "NETSCAPE2.0" "\x03\x01\x00\x00\x00", 19);
    return WriteAll(device, bytes);
}

bool WriteGIFFrame(QIODevice& device, const GIFFrameControl& control, const QImage& indexed)
{
    if (indexed.format() != QImage::Format_Indexed8 || indexed.width() > kGIFMaxSide ||
        indexed.height() > kGIFMaxSide || indexed.isNull())
        return false;
    QByteArray bytes("\x21\xF9\x04", 3);
    bytes.append(char(kDisposeToBackground | (control.transparent ? kTransparencyFlag : 0)));
    AppendU16(bytes, std::clamp(control.durationMs / 10, 0, 0xFFFF));
    bytes.append(char(control.transparent ? control.transparentIndex : 0));
    bytes.append('\0');

    bytes.append(char(0x2C));
    AppendU16(bytes, 0);
    AppendU16(bytes, 0);
    AppendU16(bytes, indexed.width());
    AppendU16(bytes, indexed.height());
    bytes.append('\0'); // no local table, not interlaced

    bytes.append(LZWCompressGIF(indexed));
    return WriteAll(device, bytes);
}

bool WriteGIFTrailer(QIODevice& device)
{
    return WriteAll(device, QByteArray(1, char(0x3B)));
}

QByteArray LZWCompressGIF(const QImage& indexed)
{
    QByteArray out;
    out.append(char(kBitsPerPixel));
    CodePacker packer(out);
    auto table = std::make_unique<CodeTable>();
    table->Reset();
    int width = kBitsPerPixel + 1;

    packer.Put(kClearCode, width);
    const int w = indexed.width();
    const int h = indexed.height();
    if (w > 0 && h > 0) {
        int prefix = indexed.constScanLine(0)[0];
        for (int y = 0; y < h; ++y) {
            const uchar* line = indexed.constScanLine(y);
            for (int x = y == 0 ? 1 : 0; x < w; ++x) {
                const quint8 pixel = line[x];
                int last = 0;
                const int child = table->Find(prefix, pixel, last);
                if (child != 0) {
                    prefix = child;
                    continue;
                }
                packer.Put(prefix, width);
                const int code = table->Add(prefix, pixel, last);
                prefix = pixel;
                if (code == (1 << width))
                    ++width;
                if (code == kLastCode) {
                    packer.Put(kClearCode, width);
                    table->Reset();
                    width = kBitsPerPixel + 1;
                }
            }
        }
        packer.Put(prefix, width);
    }
    packer.Put(kEndCode, width);
    packer.Flush();
    out.append('\0');
    return out;
}

QImage ToIndexedPicture(const QImage& picture, std::span<const QRgb> table)
{
    NearestPaletteCache cache(table);
    return ToIndexedPicture(picture, cache);
}

QImage ToIndexedPicture(const QImage& picture, NearestPaletteCache& cache)
{
    const QImage source = picture.convertToFormat(QImage::Format_ARGB32);
    QImage indexed(source.size(), QImage::Format_Indexed8);
    if (indexed.isNull())
        return indexed;
    const std::span<const QRgb> table = cache.List();
    indexed.setColorTable(QList<QRgb>(table.begin(), table.end()));
    // Rendered faces are long runs of few colours: remember the last pixel's answer.
    QRgb previous = 0;
    int previousIndex = -1;
    for (int y = 0; y < source.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        uchar* out = indexed.scanLine(y);
        for (int x = 0; x < source.width(); ++x) {
            const QRgb colour = in[x];
            if (previousIndex < 0 || colour != previous) {
                previousIndex = cache.Index(colour);
                previous = colour;
            }
            out[x] = uchar(previousIndex);
        }
    }
    return indexed;
}
