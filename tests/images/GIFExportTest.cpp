#include "images/BrevantImage.h"
#include "images/CindralImage.h"
#include "images/GIFWriter.h"
#include "tests/common/ScopedFileSizeLimit.h"
#include "tests/images/GifDecoder.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray bytes;
    for (int v : values)
        bytes.append(char(v));
    return bytes;
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

BrevantImage::Frame UniformFrame(qint32 duration, quint8 index, quint8 flag = 0)
{
    BrevantImage::Frame frame;
    frame.duration = duration;
    frame.flag = flag;
    frame.indices.fill(index);
    return frame;
}

class GIFExport : public ::testing::Test
{
protected:
    QString Path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir_;
};

// Signature, logical screen, global table and loop extension of a w × h export.
constexpr int kHeaderBytes = 6 + 7 + 768 + 19;

} // namespace

TEST_F(GIFExport, WritesTheExactStreamOfASmallImage)
{
    BrevantImage image;
    image.AddFrame(UniformFrame(1500, 0));
    ASSERT_TRUE(image.ExportGIF(Path("one.gif"), 2, 2));
    const QByteArray gif = ReadAll(Path("one.gif"));
    ASSERT_EQ(gif.size(), 828);

    EXPECT_EQ(gif.left(13), QByteArray("GIF89a") + Bytes({0x02, 0x00, 0x02, 0x00, 0xF7, 0x00, 0x00}));
    EXPECT_EQ(gif.mid(13, 768), QByteArray(768, '\0'));
    EXPECT_EQ(gif.mid(781, 19), QByteArray("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19));
    EXPECT_EQ(gif.mid(800, 8), Bytes({0x21, 0xF9, 0x04, 0x08, 0x96, 0x00, 0x00, 0x00}));
    EXPECT_EQ(gif.mid(808, 10), Bytes({0x2C, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x02, 0x00, 0x00}));
    EXPECT_EQ(gif.mid(818, 9), Bytes({0x08, 0x06, 0x00, 0x01, 0x08, 0x04, 0x10, 0x10, 0x00}));
    EXPECT_EQ(gif.right(1), Bytes({0x3B}));
}

TEST_F(GIFExport, AnImageWithoutFramesIsHeaderAndTrailer)
{
    CindralImage image;
    image.SetPaletteColor(1, {10, 20, 30});
    image.SetBackgroundIndex(7);
    ASSERT_TRUE(image.ExportGIF(Path("empty.gif"), 256, 256));
    const QByteArray gif = ReadAll(Path("empty.gif"));
    ASSERT_EQ(gif.size(), 801);
    EXPECT_EQ(gif.mid(6, 7), Bytes({0x00, 0x01, 0x00, 0x01, 0xF7, 0x07, 0x00}));
    EXPECT_EQ(gif.mid(16, 3), Bytes({10, 20, 30}));
    EXPECT_EQ(gif.right(1), Bytes({0x3B}));
}

TEST_F(GIFExport, GraphicControlCarriesDelayAndTransparency)
{
    struct Case {
        qint32 duration;
        quint8 flag;
        quint8 imageTransparent;
        QByteArray control;
    };
    const Case cases[] = {
        // An imported image: transparent index 255 from the image.
        {1234, 0, 255, Bytes({0x21, 0xF9, 0x04, 0x09, 0x7B, 0x00, 0xFF, 0x00})},
        // The frame's own flag wins over the image's index.
        {1500, 9, 255, Bytes({0x21, 0xF9, 0x04, 0x09, 0x96, 0x00, 0x09, 0x00})},
        {5, 0, 0, Bytes({0x21, 0xF9, 0x04, 0x08, 0x00, 0x00, 0x00, 0x00})},
        // Longer than the 16-bit delay can say: the longest delay, not a wrapped one.
        {1000000, 0, 0, Bytes({0x21, 0xF9, 0x04, 0x08, 0xFF, 0xFF, 0x00, 0x00})},
        {-40, 0, 0, Bytes({0x21, 0xF9, 0x04, 0x08, 0x00, 0x00, 0x00, 0x00})},
    };
    for (const Case& c : cases) {
        BrevantImage image;
        image.AddFrame(UniformFrame(c.duration, 3, c.flag));
        image.SetTransparentIndex(c.imageTransparent);
        ASSERT_TRUE(image.ExportGIF(Path("t.gif"), 8, 8));
        EXPECT_EQ(ReadAll(Path("t.gif")).mid(kHeaderBytes, 8), c.control) << c.duration;
    }
}

// Random indices defeat the compression, so the code table fills and restarts many times;
// an independent decoder must read back exactly what was written.
TEST_F(GIFExport, LZWStreamsDecodeToTheIndicesWritten)
{
    QRandomGenerator random(1234);
    std::vector<QImage> pictures;
    for (const auto& [w, h, colours] : {std::tuple{300, 200, 256}, {257, 129, 4}, {64, 64, 1}, {1, 1, 1}}) {
        QImage picture(w, h, QImage::Format_Indexed8);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                picture.scanLine(y)[x] = uchar(random.bounded(colours));
        pictures.push_back(picture);
    }
    std::array<QRgb, 256> table;
    for (int i = 0; i < 256; ++i)
        table[std::size_t(i)] = qRgb(i, 255 - i, i / 2);

    QFile file(Path("random.gif"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(WriteGIFHeader(file, table, 300, 200, 0));
    for (std::size_t i = 0; i < pictures.size(); ++i)
        ASSERT_TRUE(WriteGIFFrame(file, {int(i) * 100 + 57, false, 0}, pictures[i]));
    ASSERT_TRUE(WriteGIFTrailer(file));
    file.close();

    QString error;
    const auto gif = DecodeGif(Path("random.gif"), &error);
    ASSERT_TRUE(gif) << error.toStdString();
    EXPECT_EQ(gif->loopCount, 0);
    EXPECT_EQ(gif->table, std::vector<QRgb>(table.begin(), table.end()));
    ASSERT_EQ(gif->frames.size(), pictures.size());
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const QImage& picture = pictures[i];
        const DecodedGifFrame& frame = gif->frames[i];
        ASSERT_EQ(frame.width, picture.width());
        ASSERT_EQ(frame.height, picture.height());
        std::vector<quint8> written;
        for (int y = 0; y < picture.height(); ++y)
            written.insert(written.end(), picture.constScanLine(y), picture.constScanLine(y) + picture.width());
        EXPECT_EQ(frame.indices, written) << "frame " << i;
        EXPECT_EQ(frame.disposal, 2);
        EXPECT_EQ(frame.delayCs, (int(i) * 100 + 57) / 10);
        EXPECT_EQ(frame.transparentIndex, -1);
    }
    // The first frame forced several restarts of the code table: 60,000 pixels of
    // random bytes need far more than the 3,837 codes one table holds.
    EXPECT_GT(LZWCompressGIF(pictures[0]).size(), 60000);
}

TEST_F(GIFExport, ExportedImagesDecodeFrameByFrame)
{
    CindralImage image;
    QRandomGenerator random(99);
    for (int i = 1; i < 256; ++i)
        image.SetPaletteColor(i, LEDColor::FromRgb(random.generate()));
    for (int f = 0; f < 3; ++f) {
        CindralImage::Frame frame;
        frame.duration = 100 * (f + 1);
        for (auto& index : frame.indices)
            index = quint8(random.bounded(1, 255));
        image.AddFrame(frame);
    }
    image.SetTransparentIndex(255);
    ASSERT_TRUE(image.ExportGIF(Path("cindral.gif"), 120, 100));
    const auto gif = DecodeGif(Path("cindral.gif"));
    ASSERT_TRUE(gif);
    EXPECT_EQ(gif->width, 120);
    EXPECT_EQ(gif->height, 100);
    EXPECT_EQ(gif->loopCount, 0);
    ASSERT_EQ(gif->frames.size(), 3u);
    for (int f = 0; f < 3; ++f) {
        EXPECT_EQ(gif->frames[std::size_t(f)].delayCs, 10 * (f + 1));
        EXPECT_EQ(gif->frames[std::size_t(f)].transparentIndex, 255);
        // The centre LED of the face shows its palette entry.
        const int centre = 50 * 120 + 60;
        EXPECT_EQ(gif->frames[std::size_t(f)].indices[std::size_t(centre)], image.GetFrame(f)->indices[60]);
    }
}

TEST_F(GIFExport, FailuresAreReportedAndLeaveTheOldFileWhole)
{
    BrevantImage image;
    image.AddFrame(UniformFrame(100, 1));
    EXPECT_FALSE(image.ExportGIF(Path("missing-folder/x.gif"), 16, 16));
    EXPECT_FALSE(QFile::exists(Path("missing-folder/x.gif")));

    QFile old(Path("old.gif"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("previous export");
    old.close();
    EXPECT_FALSE(image.ExportGIF(Path("old.gif"), 0, 16));
    EXPECT_FALSE(image.ExportGIF(Path("old.gif"), 16, 70000));
    EXPECT_EQ(ReadAll(Path("old.gif")), QByteArray("previous export"));

    // A file-size limit makes the writes fail midway, as a full disk would.
    for (int f = 0; f < 20; ++f)
        image.AddFrame(UniformFrame(100, quint8(f)));
    {
        testing_env::ScopedFileSizeLimit limit(4096);
        EXPECT_FALSE(image.ExportGIF(Path("old.gif"), 256, 256));
    }
    EXPECT_EQ(ReadAll(Path("old.gif")), QByteArray("previous export"));
}

// The palette mapping is cached across the whole export; the file must stay the one the
// plain nearest-entry search of every pixel gives: several frames of random indices whose
// rendered edges blend palette colours into thousands that are not in the table.
TEST_F(GIFExport, ManyFramesExportToTheSameBytesAsThePlainSearch)
{
    BrevantImage image;
    QRandomGenerator random(2024);
    for (int i = 0; i < 256; ++i)
        image.SetPaletteColor(i, LEDColor::FromRgb(random.generate()));
    for (int f = 0; f < 6; ++f) {
        BrevantImage::Frame frame;
        frame.duration = 40;
        for (auto& index : frame.indices)
            index = quint8(random.bounded(256));
        image.AddFrame(frame);
    }
    ASSERT_TRUE(image.ExportGIF(Path("many.gif"), 96, 96));
    const QByteArray gif = ReadAll(Path("many.gif"));
    EXPECT_EQ(QCryptographicHash::hash(gif, QCryptographicHash::Sha256).toHex().toStdString(),
              "b96a29a5d14665dc4b3dfec440a17caed059dac9c9bae1100b65228bb934b213")
        << gif.size() << " bytes";
}
