#include "images/QelRDMImage.h"

#include <QDataStream>
#include <QIODevice>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace {

// Header field offsets.
constexpr int kVersionAt = 0;
constexpr int kFrameCountAt = 1;
constexpr int kBackgroundAt = 2;
constexpr int kTransparentAt = 3;
constexpr int kKeyAt = 4;
constexpr int kNameAt = 8;
constexpr int kPaletteAt = 24;
static_assert(kPaletteAt + 3 * QelRDMImage::kPaletteSize == QelRDMImage::kHeaderSize);

// Frame record field offsets.
constexpr int kTypeAt = 0;
constexpr int kFlagAt = 1;
constexpr int kDurationAt = 2;
constexpr int kIndicesAt = 8;

} // namespace

QelRDMImage::QelRDMImage() : header_(kHeaderSize, '\0')
{
    header_[kVersionAt] = char(kFormatVersion);
}

QelRDMImage::~QelRDMImage() = default;

bool QelRDMImage::Read(QDataStream& stream)
{
    QByteArray header(kHeaderSize, '\0');
    if (stream.readRawData(header.data(), kHeaderSize) != kHeaderSize)
        return false;
    if (quint8(header.at(kVersionAt)) != kFormatVersion)
        return false;

    // The records as stored, read in as few calls as the device allows. The header's count
    // is only informational, but it is right in every file written here, so the first call
    // usually takes them all. More than 255 full records' worth is not an image: reading
    // stops there rather than growing the buffer for nothing.
    const int frameSize = FrameSize();
    const qsizetype mostBytes = qsizetype(kMaxFrames) * frameSize;
    QIODevice* device = stream.device();
    QByteArray stored;
    stored.reserve(qsizetype(quint8(header.at(kFrameCountAt))) * frameSize);
    while (!device->atEnd()) {
        if (stored.size() > mostBytes)
            return false;
        const qsizetype at = stored.size();
        const qsizetype room = std::max<qsizetype>(stored.capacity() - at, frameSize);
        stored.resize(at + room);
        const qint64 got = device->read(stored.data() + at, room);
        if (got <= 0)
            return false;
        stored.resize(at + qsizetype(got));
    }

    // Type-2 records are held as stored; a type-1 record lacks the trailing byte, which is
    // 0 in memory.
    int count = 0;
    bool allFull = true;
    for (qsizetype at = 0; at < stored.size(); ++count) {
        if (count == kMaxFrames)
            return false;
        const quint8 type = quint8(stored.at(at + kTypeAt));
        if (type != kFrameType && type != kShortFrameType)
            return false;
        const int length = type == kFrameType ? frameSize : frameSize - 1;
        if (stored.size() - at < length)
            return false;
        allFull = allFull && type == kFrameType;
        at += length;
    }
    QByteArray frames = stored;
    if (!allFull) {
        frames = QByteArray(qsizetype(count) * frameSize, '\0');
        for (qsizetype from = 0, to = 0; from < stored.size(); to += frameSize) {
            const int length = quint8(stored.at(from + kTypeAt)) == kFrameType ? frameSize : frameSize - 1;
            std::memcpy(frames.data() + to, stored.constData() + from, std::size_t(length));
            from += length;
        }
    }
    header_ = header;
    frames_ = frames;
    return true;
}

bool QelRDMImage::Write(QDataStream& stream) const
{
    if (stream.writeRawData(header_.constData(), kHeaderSize) != kHeaderSize)
        return false;
    const int frameSize = FrameSize();
    // Type-2 records are written as they are held, so each run of them goes in one write;
    // a type-1 record leaves out its trailing byte.
    for (int frame = 0, count = FrameCount(); frame < count;) {
        int end = frame + 1;
        if (FrameType(frame) == kFrameType) {
            while (end < count && FrameType(end) == kFrameType)
                ++end;
        }
        const int length = FrameType(frame) == kFrameType ? (end - frame) * frameSize : frameSize - 1;
        if (stream.writeRawData(FrameData(frame), length) != length)
            return false;
        frame = end;
    }
    return stream.status() == QDataStream::Ok;
}

int QelRDMImage::HeaderSize() const
{
    return kHeaderSize;
}

int QelRDMImage::FrameCount() const
{
    return int(frames_.size() / FrameSize());
}

bool QelRDMImage::ReadFrom(QIODevice& device)
{
    QDataStream stream(&device);
    return Read(stream);
}

bool QelRDMImage::WriteTo(QIODevice& device) const
{
    QDataStream stream(&device);
    return Write(stream);
}

const char* QelRDMImage::FrameData(int frame) const
{
    return frames_.constData() + qsizetype(frame) * FrameSize();
}

QByteArray QelRDMImage::Flatten() const
{
    return header_ + frames_;
}

quint8 QelRDMImage::FormatVersion() const
{
    return HeaderByte(kVersionAt);
}

void QelRDMImage::SetFormatVersion(quint8 version)
{
    header_[kVersionAt] = char(version);
}

quint8 QelRDMImage::HeaderFrameCount() const
{
    return HeaderByte(kFrameCountAt);
}

void QelRDMImage::SetHeaderFrameCount(quint8 count)
{
    header_[kFrameCountAt] = char(count);
}

quint8 QelRDMImage::BackgroundIndex() const
{
    return HeaderByte(kBackgroundAt);
}

void QelRDMImage::SetBackgroundIndex(quint8 index)
{
    header_[kBackgroundAt] = char(index);
}

quint8 QelRDMImage::TransparentIndex() const
{
    return HeaderByte(kTransparentAt);
}

void QelRDMImage::SetTransparentIndex(quint8 index)
{
    header_[kTransparentAt] = char(index);
}

quint32 QelRDMImage::Key() const
{
    return qFromLittleEndian<quint32>(header_.constData() + kKeyAt);
}

void QelRDMImage::SetKey(quint32 key)
{
    qToLittleEndian(key, header_.data() + kKeyAt);
}

QString QelRDMImage::Name() const
{
    const char* field = header_.constData() + kNameAt;
    return QString::fromLatin1(field, qsizetype(qstrnlen(field, kNameSize)));
}

void QelRDMImage::SetName(const QString& name)
{
    const QByteArray bytes = name.toLatin1().left(kNameSize);
    char* field = header_.data() + kNameAt;
    std::memset(field, 0, kNameSize);
    std::memcpy(field, bytes.constData(), std::size_t(bytes.size()));
}

LEDColor QelRDMImage::PaletteColor(int index) const
{
    const int at = kPaletteAt + 3 * index;
    return {HeaderByte(at), HeaderByte(at + 1), HeaderByte(at + 2)};
}

void QelRDMImage::SetPaletteColor(int index, LEDColor color)
{
    const int at = kPaletteAt + 3 * index;
    header_[at] = char(color.red);
    header_[at + 1] = char(color.green);
    header_[at + 2] = char(color.blue);
}

const uchar* QelRDMImage::FrameBytes(int frame) const
{
    return reinterpret_cast<const uchar*>(FrameData(frame));
}

quint8 QelRDMImage::FrameType(int frame) const
{
    return FrameBytes(frame)[kTypeAt];
}

quint8 QelRDMImage::FrameFlag(int frame) const
{
    return FrameBytes(frame)[kFlagAt];
}

quint16 QelRDMImage::FrameDuration(int frame) const
{
    return qFromLittleEndian<quint16>(FrameBytes(frame) + kDurationAt);
}

const quint8* QelRDMImage::FrameIndices(int frame) const
{
    return FrameBytes(frame) + kIndicesAt;
}

void QelRDMImage::ClearFrames(int expected)
{
    frames_.clear();
    frames_.reserve(qsizetype(std::clamp(expected, 0, kMaxFrames)) * FrameSize());
}

bool QelRDMImage::AppendFrame(quint8 flag, quint16 duration, const quint8* indices)
{
    if (FrameCount() >= kMaxFrames)
        return false;
    const qsizetype at = frames_.size();
    frames_.resize(at + FrameSize());
    char* record = frames_.data() + at;
    // Reserved bytes and the trailing byte stay 0.
    std::memset(record, 0, std::size_t(FrameSize()));
    record[kTypeAt] = char(kFrameType);
    record[kFlagAt] = char(flag);
    qToLittleEndian(duration, record + kDurationAt);
    std::memcpy(record + kIndicesAt, indices, std::size_t(LedCount()));
    return true;
}
