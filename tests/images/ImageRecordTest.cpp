#include "images/BrevantImage.h"
#include "images/CindralImage.h"
#include "library/archive/CustomFileSystemEngineHandler.h"
#include "library/archive/FileLayer.h"
#include "tests/common/ScopedFileSizeLimit.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// The first-family image of the reference layout: name "ABC", key 0x11223344,
// background 5, transparent 255, palette[1] = (1, 2, 3), one 1500 ms frame with flag 7
// and LED j showing index j.
std::unique_ptr<BrevantImage> ReferenceImage()
{
    auto image = std::make_unique<BrevantImage>();
    image->SetKey(0x11223344);
    image->SetName(QStringLiteral("ABC"));
    image->SetBackgroundIndex(5);
    image->SetTransparentIndex(255);
    image->SetPaletteColor(1, {1, 2, 3});
    BrevantImage::Frame frame;
    frame.duration = 1500;
    frame.flag = 7;
    for (int led = 0; led < BrevantImage::kLedCount; ++led)
        frame.indices[std::size_t(led)] = quint8(led);
    image->AddFrame(frame);
    return image;
}

// A header of the given version, followed by `records` records of `type` and length.
QByteArray ImageBytes(quint8 version, int records, quint8 type, int recordLength)
{
    QByteArray bytes(792, '\0');
    bytes[0] = char(version);
    bytes[8] = 'X';
    for (int r = 0; r < records; ++r) {
        QByteArray record(recordLength, char(r + 1));
        record[0] = char(type);
        record[1] = char(r); // flag
        record[2] = char(0x10);
        record[3] = char(0x27); // 10000 ms
        bytes += record;
    }
    return bytes;
}

class ImageRecord : public testing::Test
{
protected:
    QString Path(const QString& name) const { return dir_.filePath(name); }
    QTemporaryDir dir_;
};

} // namespace

TEST_F(ImageRecord, TheReferenceImageSavesToItsExactBytes)
{
    const QString path = Path(QStringLiteral("ref.bvi"));
    ASSERT_TRUE(ReferenceImage()->Save(path));
    const QByteArray bytes = ReadAll(path);
    ASSERT_EQ(bytes.size(), 928);
    EXPECT_EQ(bytes.left(11), QByteArray::fromHex("010105FF44332211414243"));
    EXPECT_EQ(bytes.mid(11, 13), QByteArray(13, '\0')) << "name padded with NUL";
    EXPECT_EQ(bytes.mid(24, 6), QByteArray::fromHex("000000010203"));
    EXPECT_EQ(bytes.mid(792, 10), QByteArray::fromHex("0207DC05000000000001"));
    EXPECT_EQ(quint8(bytes.at(792 + 8 + 126)), 126);
    EXPECT_EQ(bytes.at(927), '\0') << "trailing byte";

    BrevantImage loaded;
    ASSERT_TRUE(loaded.Load(path));
    EXPECT_EQ(loaded.Key(), 0x11223344u);
    EXPECT_EQ(loaded.GetName(), QStringLiteral("ABC"));
    EXPECT_EQ(loaded.GetFormatVersion(), 1);
    EXPECT_EQ(*loaded.GetFrame(0), *ReferenceImage()->GetFrame(0));
    EXPECT_EQ(loaded.GetPaletteColor(1), (LEDColor{1, 2, 3}));
    EXPECT_FALSE(loaded.IsNotLoaded());
}

TEST_F(ImageRecord, FileSizesFollowTheFrameCount)
{
    BrevantImage empty;
    const QString emptyPath = Path(QStringLiteral("empty.bvi"));
    ASSERT_TRUE(empty.Save(emptyPath));
    EXPECT_EQ(ReadAll(emptyPath).size(), 792);
    BrevantImage emptyBack;
    ASSERT_TRUE(emptyBack.Load(emptyPath));
    EXPECT_EQ(emptyBack.FrameCount(), 0);

    CindralImage three;
    for (int i = 0; i < 3; ++i) {
        CindralImage::Frame frame;
        frame.duration = 100 * (i + 1);
        frame.indices.fill(quint8(i + 40));
        three.AddFrame(frame);
    }
    const QString path = Path(QStringLiteral("three.cdli"));
    ASSERT_TRUE(three.Save(path));
    EXPECT_EQ(ReadAll(path).size(), 1002);
    std::unique_ptr<CindralImage> back = CindralImage::LoadFile(path);
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->FrameCount(), 3);
    EXPECT_EQ(*back->GetFrame(2), *three.GetFrame(2));
    EXPECT_EQ(back->Key(), three.Key());
}

TEST_F(ImageRecord, TypeOneRecordsLoadAndAreSavedAsTypeTwo)
{
    const QString path = Path(QStringLiteral("old.bvi"));
    WriteAll(path, ImageBytes(1, 2, 1, 135));
    BrevantImage image;
    ASSERT_TRUE(image.Load(path));
    ASSERT_EQ(image.FrameCount(), 2);
    EXPECT_EQ(image.GetFrame(1)->flag, 1);
    EXPECT_EQ(image.GetFrame(1)->duration, 10000);
    EXPECT_EQ(image.GetFrame(1)->indices[126], 2) << "the last index, not a trailing byte";

    ASSERT_TRUE(image.Save(path));
    const QByteArray saved = ReadAll(path);
    ASSERT_EQ(saved.size(), 792 + 2 * 136);
    EXPECT_EQ(saved.at(792), 2);
    EXPECT_EQ(saved.at(792 + 136), 2);
    EXPECT_EQ(saved.at(792 + 135), 0);
}

TEST_F(ImageRecord, ARecordWritesBackTheBytesItReadWhateverItsRecordTypesAndHeaderCount)
{
    // Records of both types in runs, under headers that state too few, too many and the
    // right number of frames (the count is informational).
    const QByteArray two = ImageBytes(1, 1, 2, 136).mid(792);
    const QByteArray one = ImageBytes(1, 1, 1, 135).mid(792);
    const QByteArray frames = two + two + one + two + one + one + two;
    for (const quint8 stated : {quint8(0), quint8(3), quint8(7), quint8(255)}) {
        QByteArray file = ImageBytes(1, 0, 2, 136) + frames;
        file[1] = char(stated);
        QDataStream in(&file, QIODevice::ReadOnly);
        BrevantRDMImage record;
        ASSERT_TRUE(record.Read(in)) << int(stated);
        EXPECT_EQ(record.FrameCount(), 7) << int(stated);
        EXPECT_EQ(record.FrameType(2), 1) << int(stated);
        EXPECT_EQ(QByteArray(record.FrameData(2), 136).back(), '\0') << "held with a trailing 0";
        QBuffer written;
        written.open(QIODevice::WriteOnly);
        ASSERT_TRUE(record.WriteTo(written)) << int(stated);
        EXPECT_EQ(written.data(), file) << int(stated);
    }
}

TEST_F(ImageRecord, AFileThatIsNotAValidRecordLeavesTheImageUntouched)
{
    struct Case {
        const char* what;
        QByteArray bytes;
    } cases[] = {
        {"header version 0", ImageBytes(0, 1, 2, 136)},
        {"header version 2", ImageBytes(2, 1, 2, 136)},
        {"short header", ImageBytes(1, 0, 2, 136).left(791)},
        {"truncated last record", ImageBytes(1, 2, 2, 136).chopped(1)},
        {"type-1 record cut short", ImageBytes(1, 1, 1, 134)},
        {"record type 3", ImageBytes(1, 1, 3, 136)},
        {"record type 0", ImageBytes(1, 1, 0, 136)},
        {"256 records", ImageBytes(1, 256, 2, 136)},
    };
    const auto reference = ReferenceImage();
    for (const Case& c : cases) {
        const QString path = Path(QStringLiteral("bad.bvi"));
        WriteAll(path, c.bytes);
        std::unique_ptr<Content> image(reference->Clone());
        QSignalSpy changed(image.get(), &Content::ContentChanged);
        EXPECT_FALSE(image->Load(path)) << c.what;
        EXPECT_TRUE(changed.isEmpty()) << c.what;
        auto* brevant = static_cast<BrevantImage*>(image.get());
        EXPECT_EQ(brevant->GetName(), QStringLiteral("ABC")) << c.what;
        EXPECT_EQ(brevant->Key(), 0x11223344u) << c.what;
        EXPECT_EQ(brevant->FrameCount(), 1) << c.what;
        EXPECT_EQ(BrevantImage::LoadFile(path), nullptr) << c.what;
    }
    EXPECT_FALSE(BrevantImage().Load(Path(QStringLiteral("missing.bvi"))));
    EXPECT_FALSE(BrevantImage().Load(dir_.path())) << "a directory";

    WriteAll(Path(QStringLiteral("full.bvi")), ImageBytes(1, 255, 2, 136));
    const auto full = BrevantImage::LoadFile(Path(QStringLiteral("full.bvi")));
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(full->FrameCount(), 255);
}

TEST_F(ImageRecord, LoadNamesAnUnnamedImageAfterItsFileButLoadFileDoesNot)
{
    QByteArray bytes = ImageBytes(1, 1, 2, 136);
    bytes[8] = '\0'; // empty name field
    const QString path = Path(QStringLiteral("MyLongFileName1234.v2.bvi"));
    WriteAll(path, bytes);

    BrevantImage image;
    ASSERT_TRUE(image.Load(path));
    EXPECT_EQ(image.GetName(), QStringLiteral("MyLongFileName12"));

    const auto loaded = BrevantImage::LoadFile(path);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->GetName(), QString());
    EXPECT_FALSE(loaded->IsNotLoaded());
}

TEST_F(ImageRecord, NamesAreSixteenLatin1Bytes)
{
    const QString path = Path(QStringLiteral("names.cdli"));
    for (const QString& name : {QStringLiteral("Exactly16Chars!!"), QStringLiteral("Caf\u00e9 cr\u00e8me")}) {
        CindralImage image;
        image.SetName(name);
        ASSERT_TRUE(image.Save(path));
        CindralImage back;
        ASSERT_TRUE(back.Load(path));
        EXPECT_EQ(back.GetName(), name);
    }
    EXPECT_EQ(ReadAll(path).mid(8, 4), QByteArray("Caf\xe9", 4)) << "8-bit Latin-1, not UTF-8";
    EXPECT_EQ(ReadAll(path).at(8 + 10), '\0');
}

TEST_F(ImageRecord, DurationsBeyondTheFieldAreClampedNotWrapped)
{
    BrevantImage image;
    for (qint32 duration : {70000, 65535, -5}) {
        BrevantImage::Frame frame;
        frame.duration = duration;
        image.AddFrame(frame);
    }
    BrevantRDMImage record;
    ASSERT_TRUE(image.ToRDMImage(record));
    ASSERT_EQ(record.FrameCount(), 3);
    EXPECT_EQ(record.FrameDuration(0), 65535) << "70 s shows as long as the field allows";
    EXPECT_EQ(record.FrameDuration(1), 65535);
    EXPECT_EQ(record.FrameDuration(2), 0);
}

TEST_F(ImageRecord, RecordsOfTheOtherFamilyAreRefused)
{
    BrevantImage brevant;
    CindralRDMImage cindralRecord;
    EXPECT_FALSE(brevant.ToRDMImage(cindralRecord));
    EXPECT_FALSE(brevant.FromRDMImage(cindralRecord));
    EXPECT_TRUE(brevant.IsNotLoaded());
}

TEST_F(ImageRecord, ARecordReadsAndWritesAnyDeviceAndFlattensForTransfer)
{
    const auto image = ReferenceImage();
    BrevantRDMImage record;
    ASSERT_TRUE(image->ToRDMImage(record));
    EXPECT_EQ(record.HeaderSize(), 792);
    EXPECT_EQ(record.FrameSize(), 136);
    EXPECT_EQ(CindralRDMImage().FrameSize(), 70);
    EXPECT_EQ(record.FrameCount(), 1);

    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    ASSERT_TRUE(record.WriteTo(buffer));
    EXPECT_EQ(buffer.data(), record.Flatten());
    EXPECT_EQ(record.Flatten().mid(792), QByteArray(record.FrameData(0), 136));
    EXPECT_EQ(record.Flatten().left(792), QByteArray(record.HeaderData(), 792));

    // The download path: received bytes wrapped in a stream.
    QByteArray received = buffer.data();
    QDataStream stream(&received, QIODevice::ReadOnly);
    BrevantRDMImage copy;
    ASSERT_TRUE(copy.Read(stream));
    EXPECT_EQ(copy.Flatten(), record.Flatten());

    // A device that takes only part of the bytes fails the write.
    class ShortDevice : public QIODevice
    {
    protected:
        qint64 readData(char*, qint64) override { return -1; }
        qint64 writeData(const char*, qint64 length) override { return taken_++ ? -1 : length; }
        int taken_ = 0;
    } shortDevice;
    shortDevice.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    EXPECT_FALSE(record.WriteTo(shortDevice));
}

TEST_F(ImageRecord, AFailedSaveKeepsThePreviousFileWholeAndLeavesNoNewOne)
{
    const QString path = Path(QStringLiteral("keep.bvi"));
    BrevantImage small;
    small.SetName(QStringLiteral("good"));
    ASSERT_TRUE(small.Save(path));
    const QByteArray good = ReadAll(path);
    ASSERT_EQ(good.size(), 792);

    const auto large = ReferenceImage(); // 928 bytes: more than the limit below
    {
        testing_env::ScopedFileSizeLimit limit(800);
        EXPECT_FALSE(large->Save(path));
        // A new file is written under its own name: cut off, it goes again.
        EXPECT_FALSE(large->Save(Path(QStringLiteral("new.bvi"))));
    }
    EXPECT_EQ(ReadAll(path), good);
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{QStringLiteral("keep.bvi")})
        << "no temporary file and no half new file left behind";

    EXPECT_FALSE(large->Save(Path(QStringLiteral("no/such/folder/x.bvi"))));
}

TEST_F(ImageRecord, ImagesSaveIntoAPackageBeingWrittenAndLoadFromIt)
{
    const QString package = Path(QStringLiteral("Show.qelpkg"));
    const QString member = package + QStringLiteral("/Sky/ref.bvi");
    {
        CustomFileSystemEngineHandler::ArchiveWriterEnabler writer(package);
        ASSERT_TRUE(FileLayer::MakeDir(package + QStringLiteral("/Sky")));
        ASSERT_TRUE(ReferenceImage()->Save(member));
        ASSERT_TRUE(writer.Commit().Ok());
    }
    BrevantImage loaded;
    ASSERT_TRUE(loaded.Load(member));
    EXPECT_EQ(loaded.GetName(), QStringLiteral("ABC"));
    EXPECT_EQ(loaded.Key(), 0x11223344u);
    ASSERT_EQ(loaded.FrameCount(), 1);
    EXPECT_EQ(loaded.GetFrame(0)->indices[126], 126);

    // Outside an export the package is read-only: a save fails and changes nothing.
    const QByteArray before = ReadAll(package);
    EXPECT_FALSE(ReferenceImage()->Save(member));
    EXPECT_EQ(ReadAll(package), before);
}
