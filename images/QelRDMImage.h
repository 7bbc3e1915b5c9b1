#pragma once

#include "images/LEDColor.h"

#include <QByteArray>
#include <QString>

class QDataStream;
class QIODevice;

// The byte form of an LED image, used both as the ".bvi" / ".cdli" file and as the record
// the fixtures send and receive: a 792-byte header followed by one fixed-size record per
// frame (at most 255). Multi-byte fields are little-endian.
//
// Header: 0 format version (1), 1 frame count, 2 background index, 3 transparent index,
// 4 content key (u32), 8 name (16 bytes of Latin-1, NUL-padded, no NUL when 16 long),
// 24 palette (256 × red, green, blue).
// Frame record: 0 type (2 when written, 1 or 2 read), 1 flag, 2 duration in ms (u16),
// 4 reserved (4 bytes, 0), 8 the LED palette indices, and a trailing 0 byte that a file
// holds only for type 2 (type-1 records are one byte shorter there).
//
// In memory every frame record is FrameSize() bytes (a type-1 record gets trailing 0), so
// HeaderData() and FrameData(i) are the transfer bytes in order.
//
// Not thread-safe: a record belongs to one thread at a time.
class QelRDMImage
{
public:
    static constexpr int kHeaderSize = 792;
    static constexpr int kMaxFrames = 255;
    static constexpr int kNameSize = 16;
    static constexpr int kPaletteSize = 256;
    // The only header version there is.
    static constexpr quint8 kFormatVersion = 1;
    // The record type this program writes; type 1 (no trailing byte) is still read.
    static constexpr quint8 kFrameType = 2;
    static constexpr quint8 kShortFrameType = 1;
    // Frame record bytes besides the LED indices: type, flag, duration, reserved, trailer.
    static constexpr int kFrameOverhead = 9;

    QelRDMImage();
    virtual ~QelRDMImage();
    QelRDMImage(const QelRDMImage&) = default;
    QelRDMImage& operator=(const QelRDMImage&) = default;

    // Reads a whole record: the header, then frame records up to the end of the stream.
    // False on a short header, a header version other than 1, a record type other than 1
    // or 2, a truncated record, or more than 255 records (nothing beyond the 255th is
    // read); the record is unchanged then.
    virtual bool Read(QDataStream& stream);
    // Writes the file form; false as soon as some bytes were not taken.
    virtual bool Write(QDataStream& stream) const;
    virtual int HeaderSize() const;
    virtual int FrameSize() const = 0;
    virtual int FrameCount() const;

    // The same over a device (wrapped in a QDataStream).
    bool ReadFrom(QIODevice& device);
    bool WriteTo(QIODevice& device) const;

    int LedCount() const { return FrameSize() - kFrameOverhead; }

    // Raw bytes in transfer order. Every frame accessor's index must lie in
    // 0 .. FrameCount() - 1.
    const char* HeaderData() const { return header_.constData(); }
    const char* FrameData(int frame) const;
    // Header and frame records in one buffer: HeaderSize() + FrameSize() × FrameCount().
    QByteArray Flatten() const;

    quint8 FormatVersion() const;
    void SetFormatVersion(quint8 version);
    // The header's informational frame count (readers go by the records).
    quint8 HeaderFrameCount() const;
    void SetHeaderFrameCount(quint8 count);
    quint8 BackgroundIndex() const;
    void SetBackgroundIndex(quint8 index);
    quint8 TransparentIndex() const;
    void SetTransparentIndex(quint8 index);
    quint32 Key() const;
    void SetKey(quint32 key);
    // The name up to its first NUL, as Latin-1; empty when the field's first byte is 0.
    QString Name() const;
    // Stores the first 16 bytes of the name's Latin-1 form, NUL-padded.
    void SetName(const QString& name);
    LEDColor PaletteColor(int index) const;
    void SetPaletteColor(int index, LEDColor color);

    quint8 FrameType(int frame) const;
    quint8 FrameFlag(int frame) const;
    quint16 FrameDuration(int frame) const;
    // LedCount() indices, LED 0 first.
    const quint8* FrameIndices(int frame) const;
    // No frame records, with room for `expected` (at most 255) to be appended.
    void ClearFrames(int expected = 0);
    // Appends a type-2 record; false (nothing changed) when 255 are held.
    bool AppendFrame(quint8 flag, quint16 duration, const quint8* indices);

private:
    quint8 HeaderByte(int offset) const { return quint8(header_.at(offset)); }
    const uchar* FrameBytes(int frame) const;

    QByteArray header_;
    QByteArray frames_;
};

// The first family's record: 127 LEDs, 136-byte frame records.
class BrevantRDMImage final : public QelRDMImage
{
public:
    static constexpr int kLedCount = 127;
    static constexpr int kFrameSize = kLedCount + kFrameOverhead;
    int FrameSize() const override { return kFrameSize; }
};

// The second family's record: 61 LEDs, 70-byte frame records.
class CindralRDMImage final : public QelRDMImage
{
public:
    static constexpr int kLedCount = 61;
    static constexpr int kFrameSize = kLedCount + kFrameOverhead;
    int FrameSize() const override { return kFrameSize; }
};
