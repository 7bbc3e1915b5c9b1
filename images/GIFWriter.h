#pragma once

#include <QByteArray>
#include <QImage>
#include <QRgb>

#include <span>

class NearestPaletteCache;
class QIODevice;

// The pieces of an animated GIF89a stream as LED images export it: a 256-colour global
// table, a NETSCAPE2.0 extension that loops for ever, and per frame one graphic control
// extension (disposal "restore to background"), an image descriptor of the whole screen
// and the LZW-compressed indices. All 16-bit fields are little-endian.
//
// Every writer answers false as soon as the device took fewer bytes than it was given.
// Not thread-safe per device; otherwise pure.

// What the graphic control extension of one frame says.
struct GIFFrameControl {
    // Display time; the stream holds hundredths of a second (truncated, 0 .. 65535).
    int durationMs = 0;
    bool transparent = false;
    quint8 transparentIndex = 0;
};

inline constexpr int kGIFTableSize = 256;
inline constexpr int kGIFMaxSide = 0xFFFF;

// "GIF89a", the logical screen (width × height, global table of 256 entries,
// `backgroundIndex`), the table itself and the loop extension. False also when a side
// lies outside 1 .. 65535 or the table has not 256 entries.
bool WriteGIFHeader(QIODevice& device, std::span<const QRgb> table, int width, int height, quint8 backgroundIndex);

// One frame of the picture's size: graphic control extension, image descriptor and
// image data. `indexed` must be Format_Indexed8 (its colour table is not written: the
// global table serves).
bool WriteGIFFrame(QIODevice& device, const GIFFrameControl& control, const QImage& indexed);

// The trailer byte 0x3B.
bool WriteGIFTrailer(QIODevice& device);

// The image data of a picture of 8-bit indices: the minimum code size 8, the LZW codes
// (variable width 9 .. 12 bits, a clear code whenever the table is full) packed into
// sub-blocks of at most 255 bytes, and the block terminator.
QByteArray LZWCompressGIF(const QImage& indexed);

// The picture as Format_Indexed8 over `table`: every pixel takes its nearest table entry
// (NearestPaletteIndex), without dithering.
QImage ToIndexedPicture(const QImage& picture, std::span<const QRgb> table);
// The same over the cache's list, the cache kept from picture to picture: the frames of
// one export share most of their colours.
QImage ToIndexedPicture(const QImage& picture, NearestPaletteCache& cache);
