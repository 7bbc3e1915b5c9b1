#include "images/BrevantImage.h"
#include "images/ImageFrames.h"
#include "images/FrameArena.h"
#include "images/ImageStore.h"
#include "images/video/VideoFrames.h"
#include "images/video/VideoImport.h"
#include "tests/images/FFmpegTool.h"
#include "tests/images/PromisingImageFormat.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// Records what it is given; refuses the frame numbered `refuseAt` (1-based) and after.
class RecordingSink : public ImageSink
{
public:
    explicit RecordingSink(int refuseAt = 0) : refuseAt_(refuseAt) {}
    bool PutFrame(const QImage& image, int durationMs) override
    {
        sizes.push_back(image.size());
        formats.push_back(image.format());
        durations.push_back(durationMs);
        return refuseAt_ == 0 || int(durations.size()) < refuseAt_;
    }
    std::vector<QSize> sizes;
    std::vector<QImage::Format> formats;
    std::vector<int> durations;

private:
    int refuseAt_;
};

class Sources : public ::testing::Test
{
protected:
    QString Path(const QString& name) const { return dir_.filePath(name); }
    void WriteFile(const QString& name, const QByteArray& bytes) const
    {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QTemporaryDir dir_;
};

} // namespace

TEST(ImageStore, ScalesLargeFramesKeepingTheirShape)
{
    struct Case {
        QSize in;
        int maxW, maxH;
        QSize stored;
    };
    const Case cases[] = {
        {{1024, 768}, 512, 512, {512, 384}},
        {{3000, 1000}, 512, 512, {512, 170}},
        {{333, 1000}, 512, 512, {170, 512}},
        {{512, 512}, 512, 512, {512, 512}},
        {{100, 50}, 512, 512, {100, 50}},
        {{4000, 3000}, -1, -1, {4000, 3000}},
        {{800, 2000}, -1, 500, {200, 500}},
        // Extreme shapes keep at least a pixel a side.
        {{20000, 3}, 512, 512, {512, 1}},
        {{2, 9000}, 512, 512, {1, 512}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ImageStore::StoredSize(c.in, c.maxW, c.maxH), c.stored) << c.in.width() << "x" << c.in.height();

    ImageStore store(255, 512, 512);
    QImage big(1024, 768, QImage::Format_RGB32);
    big.fill(Qt::red);
    ASSERT_TRUE(store.PutFrame(big, 40));
    ASSERT_EQ(store.FrameCount(), 1);
    EXPECT_EQ(store.Frame(0).image.size(), QSize(512, 384));
    EXPECT_EQ(store.Frame(0).image.pixel(100, 100), qRgb(255, 0, 0));
    EXPECT_EQ(store.Frame(0).durationMs, 40);
}

TEST(ImageStore, KeepsIndependentCopiesAndReplaysUntilRefused)
{
    // A source that hands over a picture over its own buffer and then reuses the buffer.
    std::vector<uchar> buffer(4 * 4 * 4, 0x11);
    ImageStore store;
    for (int i = 0; i < 5; ++i) {
        std::fill(buffer.begin(), buffer.end(), uchar(i));
        ASSERT_TRUE(store.PutFrame(QImage(buffer.data(), 4, 4, QImage::Format_RGB32), 10 * i));
    }
    std::fill(buffer.begin(), buffer.end(), uchar(0xEE));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(qBlue(store.Frame(i).image.pixel(3, 3)), i);

    RecordingSink refusing(3);
    EXPECT_TRUE(store.Replay(refusing));
    EXPECT_EQ(refusing.durations, (std::vector<int>{0, 10, 20}));

    store.Clear();
    EXPECT_EQ(store.FrameCount(), 0);
}

TEST(ImageStore, CopiesOfEveryFormatOutliveTheStore)
{
    // Enough large frames to fill more than one block of the store's frame memory, and
    // formats with and without a colour table or 32-bit lines.
    struct Case {
        QImage::Format format;
        QSize size;
        int frames;
    };
    const Case cases[] = {{QImage::Format_RGB32, {256, 256}, FrameArena::kFramesPerBlock + 8},
                          {QImage::Format_RGB888, {3, 5}, 3},
                          {QImage::Format_ARGB32_Premultiplied, {7, 2}, 3},
                          {QImage::Format_Indexed8, {5, 3}, 3}};
    for (const Case& c : cases) {
        std::vector<QImage> sources;
        std::vector<QImage> kept;
        {
            ImageStore store;
            for (int i = 0; i < c.frames; ++i) {
                QImage source(c.size, c.format);
                if (c.format == QImage::Format_Indexed8) {
                    source.setColorTable({qRgb(0, 0, 0), qRgb(10, 20, 30), qRgb(200, 100, 50)});
                    source.fill(uint(i % 3));
                } else {
                    source.fill(QColor(i, 255 - i, 7));
                }
                source.setDotsPerMeterX(1000 + i);
                sources.push_back(source);
                ASSERT_TRUE(store.PutFrame(source, i));
            }
            for (int i = 0; i < c.frames; ++i)
                kept.push_back(store.Frame(i).image);
            store.Clear();
            ASSERT_TRUE(store.PutFrame(sources.front(), 0));  // the cleared store takes new frames
        }
        for (int i = 0; i < c.frames; ++i) {
            EXPECT_EQ(kept[std::size_t(i)], sources[std::size_t(i)]) << c.format << " frame " << i;
            EXPECT_EQ(kept[std::size_t(i)].dotsPerMeterX(), 1000 + i);
        }
        // Drawing on a kept frame leaves the others alone.
        kept.front().fill(Qt::white);
        if (c.frames > 1) {
            EXPECT_EQ(kept[1], sources[1]) << c.format;
        }
    }
}

TEST_F(Sources, PicturesStillAndAnimated)
{
    QImage still(30, 20, QImage::Format_RGB32);
    still.fill(Qt::blue);
    ASSERT_TRUE(still.save(Path("still.png")));
    RecordingSink sink;
    EXPECT_TRUE(ReadImageFrames(Path("still.png"), 255, 0, sink));
    EXPECT_EQ(sink.durations, std::vector<int>{0});
    EXPECT_EQ(sink.sizes, std::vector<QSize>{QSize(30, 20)});

    // An animation written by the exporter, read back with its delays.
    BrevantImage image;
    for (int f = 0; f < 4; ++f) {
        BrevantImage::Frame frame;
        frame.duration = 100 + 50 * f;
        frame.indices.fill(quint8(f));
        image.AddFrame(frame);
    }
    ASSERT_TRUE(image.ExportGIF(Path("anim.gif"), 40, 40));
    RecordingSink all;
    EXPECT_TRUE(ReadImageFrames(Path("anim.gif"), 255, 77, all));
    EXPECT_EQ(all.durations, (std::vector<int>{100, 150, 200, 250}));
    RecordingSink two;
    EXPECT_TRUE(ReadImageFrames(Path("anim.gif"), 2, 77, two));
    EXPECT_EQ(two.durations.size(), 2u);
    RecordingSink refusing(2);
    EXPECT_TRUE(ReadImageFrames(Path("anim.gif"), 255, 77, refusing));
    EXPECT_EQ(refusing.durations.size(), 2u);
    RecordingSink refusingFirst(1);
    EXPECT_FALSE(ReadImageFrames(Path("anim.gif"), 255, 77, refusingFirst));
}

TEST_F(Sources, DamagedOrForeignFilesAreNotPictures)
{
    WriteFile("text.png", "this is not a picture");
    RecordingSink sink;
    EXPECT_FALSE(ReadImageFrames(Path("text.png"), 255, 0, sink));
    EXPECT_FALSE(ReadImageFrames(Path("missing.png"), 255, 0, sink));

    // The start of a real animation: the reader recognises it but cannot finish it.
    BrevantImage image;
    BrevantImage::Frame frame;
    frame.duration = 100;
    for (int f = 0; f < 3; ++f)
        image.AddFrame(frame);
    ASSERT_TRUE(image.ExportGIF(Path("whole.gif"), 64, 64));
    QFile whole(Path("whole.gif"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    WriteFile("cut.gif", whole.readAll().left(850));
    RecordingSink cut;
    ReadImageFrames(Path("cut.gif"), 255, 0, cut); // returns, whatever it made of it
    EXPECT_LE(cut.durations.size(), 1u);
}

TEST_F(Sources, AReaderThatKeepsPromisingPicturesItCannotDeliverIsGivenUp)
{
    WriteFile("promising.img", "PROMISE and never deliver");
    const int before = PromisingImageReads();
    RecordingSink sink;
    EXPECT_FALSE(ReadImageFrames(Path("promising.img"), 255, 0, sink));
    EXPECT_TRUE(sink.durations.empty());
    const int tried = PromisingImageReads() - before;
    EXPECT_GT(tried, 0) << "the test format was not found";
    EXPECT_LT(tried, kPromisingImagePromises) << "the reading went on as long as the reader promised";
}

TEST_F(Sources, VideoClipFramesAndTimes)
{
    QString error;
    ASSERT_TRUE(MakeTestClip(Path("clip.mp4"), 32, 24, 10, 1.5, &error)) << error.toStdString();

    RecordingSink sink;
    ASSERT_TRUE(ReadVideoFrames(Path("clip.mp4"), 255, sink));
    ASSERT_EQ(sink.durations.size(), 15u);
    // Every frame lasts until the next one; the last until the stream's end.
    EXPECT_EQ(sink.durations, std::vector<int>(15, 100));
    EXPECT_EQ(sink.sizes.front(), QSize(32, 24));
    EXPECT_EQ(sink.formats.front(), QImage::Format_RGB32);

    RecordingSink five;
    ASSERT_TRUE(ReadVideoFrames(Path("clip.mp4"), 5, five));
    EXPECT_EQ(five.durations, std::vector<int>(5, 100));
    RecordingSink refusing(3);
    ASSERT_TRUE(ReadVideoFrames(Path("clip.mp4"), 255, refusing));
    EXPECT_EQ(refusing.durations.size(), 3u);

    // A sink that asks for no pictures gets none, and the clip still reads.
    class Declining : public RecordingSink
    {
        QSize PreferredSize(QSize) const override { return QSize(); }
    } declining;
    ASSERT_TRUE(ReadVideoFrames(Path("clip.mp4"), 255, declining));
    EXPECT_TRUE(declining.durations.empty());

    // A sink's exception reaches the caller, the decoding thread stopped on its way.
    class Throwing : public RecordingSink
    {
        bool PutFrame(const QImage&, int) override { throw std::runtime_error("no room"); }
    } throwing;
    EXPECT_THROW(ReadVideoFrames(Path("clip.mp4"), 255, throwing), std::runtime_error);

    // Through a store into an importer, as the import dialogs do.
    VideoImport import;
    BrevantImage image;
    QString importError;
    ASSERT_TRUE(import.Run(Path("clip.mp4"), image, &importError)) << importError.toStdString();
    EXPECT_EQ(import.Store().FrameCount(), 15);
    int total = 0;
    for (int f = 0; f < image.FrameCount(); ++f)
        total += image.GetFrame(f)->duration;
    EXPECT_EQ(total, 1500);
}

// A clip that cannot be imported says why and leaves the image as it was.
TEST_F(Sources, VideoImportsThatFailSayWhyAndKeepTheImage)
{
    WriteFile("empty.mp4", QByteArray());
    WriteFile("locked.mp4", "locked");
    QFile::setPermissions(Path("locked.mp4"), QFileDevice::Permissions());
    QDir(dir_.path()).mkdir(QStringLiteral("folder.mp4"));
    QString toolError;
    ASSERT_TRUE(RunFFmpeg({"-f", "lavfi", "-i", "sine=duration=0.2", Path("sound.wav")}, &toolError))
        << toolError.toStdString();
    const bool rootReadsAll = QFileInfo(Path("locked.mp4")).isReadable();
    struct Case {
        const char* name;
        const char* says;
    };
    const Case cases[] = {
        {"missing.mp4", "no such file"},
        {"folder.mp4", "not a readable file"},
        {"locked.mp4", "not a readable file"},
        {"empty.mp4", "holds no video that can be decoded"},
        {"sound.wav", "holds no video that can be decoded"},
    };
    for (const Case& c : cases) {
        if (rootReadsAll && QByteArray(c.name) == "locked.mp4")
            continue; // permissions do not bind this user
        BrevantImage image;
        image.SetName(QStringLiteral("kept"));
        BrevantImage::Frame frame;
        image.AddFrame(frame);
        VideoImport import;
        QString error;
        EXPECT_FALSE(import.Run(Path(QString::fromLatin1(c.name)), image, &error)) << c.name;
        EXPECT_TRUE(error.contains(QString::fromLatin1(c.name)) && error.contains(QString::fromLatin1(c.says)))
            << c.name << ": " << error.toStdString();
        EXPECT_EQ(image.FrameCount(), 1) << c.name;
        EXPECT_EQ(image.GetName(), QStringLiteral("kept")) << c.name;
    }
}

// A store smaller than the video gets its frames already at its own size, each the
// whole picture brought down (as smooth scaling of the full frame gives it, within a
// little), and both stores see the same frames and times.
TEST_F(Sources, VideoFramesArriveAtTheStoresSize)
{
    QString error;
    ASSERT_TRUE(MakeTestClip(Path("wide.mp4"), 64, 48, 10, 0.5, &error)) << error.toStdString();
    ImageStore full;
    ASSERT_TRUE(ReadVideoFrames(Path("wide.mp4"), 255, full));
    ImageStore small(255, 16, 16);
    ASSERT_TRUE(ReadVideoFrames(Path("wide.mp4"), 255, small));
    ASSERT_EQ(small.FrameCount(), full.FrameCount());
    ASSERT_GT(small.FrameCount(), 0);
    for (int f = 0; f < small.FrameCount(); ++f) {
        const QImage& got = small.Frame(f).image;
        ASSERT_EQ(got.size(), QSize(16, 12));
        EXPECT_EQ(got.format(), QImage::Format_RGB32);
        EXPECT_EQ(small.Frame(f).durationMs, full.Frame(f).durationMs);
        const QImage expected = full.Frame(f).image.scaled(16, 12, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        double difference = 0;
        for (int y = 0; y < 12; ++y) {
            for (int x = 0; x < 16; ++x) {
                const QRgb a = got.pixel(x, y);
                const QRgb b = expected.pixel(x, y);
                difference += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                              std::abs(qBlue(a) - qBlue(b));
            }
        }
        EXPECT_LT(difference / (16 * 12 * 3), 24.0) << "frame " << f;
    }
}

// The stored frames of uncompressed clips of three pixel formats, brought down to the
// import dialog's store (512 × 512 at most), hashed: the frames the single-threaded
// converter of FFmpeg 5.1 gave. Uncompressed, so that no encoder's choices enter the bytes.
TEST_F(Sources, VideoFramesAreConvertedToTheSameBytes)
{
    struct Case {
        const char* pixelFormat;
        const char* size;
        const char* digest;
    };
    const Case cases[] = {
        {"yuv420p", "1280x720", "80e7563134bc6f82321643676cfad09ed4f622ab6484397e556057eb0e7d664d"},
        {"yuvj422p", "960x540", "0a9011151da6571923fa38b54d860f4b0b717f616397724d7888d5243b761010"},
        {"rgb24", "700x300", "33b69e53ad79939191103008ccc859976ec83332f4184919547e0fa1c5359619"},
    };
    for (const Case& c : cases) {
        const QString name = QStringLiteral("raw-%1.nut").arg(QString::fromLatin1(c.pixelFormat));
        QString error;
        ASSERT_TRUE(RunFFmpeg({"-f", "lavfi", "-i", QStringLiteral("testsrc2=size=%1:rate=25:duration=0.4").arg(c.size),
                               "-c:v", "rawvideo", "-pix_fmt", c.pixelFormat, Path(name)},
                              &error))
            << error.toStdString();
        ImageStore store(255, 512, 512);
        ASSERT_TRUE(ReadVideoFrames(Path(name), 255, store)) << c.pixelFormat;
        ASSERT_EQ(store.FrameCount(), 10) << c.pixelFormat;
        QCryptographicHash hash(QCryptographicHash::Sha256);
        for (const ImageStore::StoredFrame& frame : store.Frames()) {
            for (int y = 0; y < frame.image.height(); ++y)
                hash.addData(QByteArrayView(frame.image.constScanLine(y), frame.image.width() * 4));
        }
        EXPECT_EQ(hash.result().toHex().toStdString(), c.digest) << c.pixelFormat << " " << c.size;
    }
}

TEST_F(Sources, VideoWhoseFrameSizeChangesMidway)
{
    // Two MPEG transport streams of different sizes, one after the other in one file: the
    // second restarts the time stamps and changes the frame size.
    QString error;
    ASSERT_TRUE(RunFFmpeg({"-f", "lavfi", "-i", "testsrc=size=32x24:rate=10:duration=0.5", "-c:v", "mpeg2video",
                           Path("a.ts")},
                          &error))
        << error.toStdString();
    ASSERT_TRUE(RunFFmpeg({"-f", "lavfi", "-i", "testsrc=size=48x40:rate=10:duration=0.5", "-c:v", "mpeg2video",
                           Path("b.ts")},
                          &error))
        << error.toStdString();
    QByteArray joined;
    for (const char* name : {"a.ts", "b.ts"}) {
        QFile part(Path(QString::fromLatin1(name)));
        ASSERT_TRUE(part.open(QIODevice::ReadOnly));
        joined += part.readAll();
    }
    WriteFile("joined.ts", joined);

    RecordingSink sink;
    ASSERT_TRUE(ReadVideoFrames(Path("joined.ts"), 255, sink));
    ASSERT_GE(sink.sizes.size(), 8u);
    EXPECT_EQ(sink.sizes.front(), QSize(32, 24));
    EXPECT_EQ(sink.sizes.back(), QSize(48, 40));
    for (int duration : sink.durations)
        EXPECT_GE(duration, 0);
}

TEST_F(Sources, DamagedVideosFailCleanly)
{
    QByteArray noise(20000, '\0');
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919) ^ (i >> 3));
    WriteFile("noise.mp4", noise);
    RecordingSink sink;
    EXPECT_FALSE(ReadVideoFrames(Path("noise.mp4"), 255, sink));
    EXPECT_FALSE(ReadVideoFrames(Path("missing.mp4"), 255, sink));
    WriteFile("empty.mpg", QByteArray());
    EXPECT_FALSE(ReadVideoFrames(Path("empty.mpg"), 255, sink));
    QString toolError;
    ASSERT_TRUE(RunFFmpeg({"-f", "lavfi", "-i", "sine=duration=0.2", Path("sound.wav")}, &toolError))
        << toolError.toStdString();
    EXPECT_FALSE(ReadVideoFrames(Path("sound.wav"), 255, sink)); // no video stream
    EXPECT_TRUE(sink.durations.empty());

    // A clip cut short, and one with its middle overwritten.
    QString error;
    ASSERT_TRUE(MakeTestClip(Path("good.avi"), 32, 24, 10, 1.0, &error)) << error.toStdString();
    QFile good(Path("good.avi"));
    ASSERT_TRUE(good.open(QIODevice::ReadOnly));
    const QByteArray bytes = good.readAll();
    WriteFile("cut.avi", bytes.left(bytes.size() / 2));
    QByteArray damaged = bytes;
    for (int i = damaged.size() / 3; i < damaged.size() / 2; ++i)
        damaged[i] = char(i * 31);
    WriteFile("damaged.avi", damaged);
    for (const char* name : {"cut.avi", "damaged.avi"}) {
        RecordingSink frames;
        ReadVideoFrames(Path(QString::fromLatin1(name)), 255, frames); // must return
        EXPECT_LE(frames.durations.size(), 10u) << name;
        for (int duration : frames.durations)
            EXPECT_GE(duration, 0) << name;
    }
}
