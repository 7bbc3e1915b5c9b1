#include "content/ContentMutex.h"
#include "images/BrevantImage.h"
#include "images/CindralImage.h"
#include "images/LEDImageImporter.h"

#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <functional>
#include <gtest/gtest.h>

namespace {

template <class Image>
typename Image::Frame MakeFrame(qint32 duration, quint8 flag, int seed)
{
    typename Image::Frame frame;
    frame.duration = duration;
    frame.flag = flag;
    for (int led = 0; led < Image::kLedCount; ++led)
        frame.indices[std::size_t(led)] = quint8(led * 7 + seed);
    return frame;
}

// A second-family image with a recognisable palette and two frames.
std::unique_ptr<CindralImage> SampleCindral()
{
    auto image = std::make_unique<CindralImage>();
    for (int i = 0; i < 256; ++i)
        image->SetPaletteColor(i, {quint8(i), quint8(255 - i), quint8(i / 2)});
    image->AddFrame(MakeFrame<CindralImage>(40, 0, 1));
    image->AddFrame(MakeFrame<CindralImage>(100000, 9, 2));
    image->SetBackgroundIndex(3);
    image->SetTransparentIndex(255);
    image->SetName(QStringLiteral("Sample"));
    image->SetAddress(12);
    return image;
}

// The frames as values, to compare after a change.
std::vector<CindralImage::Frame> FramesOf(const CindralImage& image)
{
    std::vector<CindralImage::Frame> frames;
    for (int f = 0; f < image.FrameCount(); ++f)
        frames.push_back(*image.GetFrame(f));
    return frames;
}

} // namespace

TEST(LEDImage, ANewImageIsBlankAndClearDrawsANewKey)
{
    BrevantImage image;
    EXPECT_TRUE(image.IsNotLoaded());
    EXPECT_EQ(image.GetFormatVersion(), 0);
    EXPECT_EQ(image.FrameCount(), 0);
    EXPECT_EQ(image.GetFrame(0), nullptr);
    LEDImageHeader header;
    header.palette[7] = {1, 1, 1};
    image.GetHeader(header);
    EXPECT_EQ(header.palette[7], LEDColor{});
    EXPECT_EQ(image.FileExtension(), QStringLiteral("bvi"));
    EXPECT_EQ(CindralImage().FileExtension(), QStringLiteral("cdli"));

    image.SetName(QStringLiteral("Rain"));
    image.AddFrame(MakeFrame<BrevantImage>(10, 0, 0));
    image.SetPaletteColor(4, {9, 9, 9});
    EXPECT_FALSE(image.IsNotLoaded());

    const quint32 oldKey = image.Key();
    QSignalSpy changed(&image, &Content::ContentChanged);
    QSignalSpy names(&image, &ContentBase::NameChanged);
    image.Clear();
    EXPECT_TRUE(image.IsNotLoaded());
    EXPECT_EQ(image.GetFormatVersion(), 1);
    EXPECT_EQ(image.FrameCount(), 0);
    EXPECT_EQ(image.GetPaletteColor(4), LEDColor{});
    EXPECT_EQ(image.GetName(), QString());
    EXPECT_NE(image.Key(), oldKey);
    EXPECT_TRUE(changed.isEmpty());
    ASSERT_EQ(names.size(), 1);
    EXPECT_EQ(names[0][1].toString(), QStringLiteral("Rain"));
}

TEST(LEDImage, HoldsAtMost255Frames)
{
    CindralImage image;
    QSignalSpy changed(&image, &Content::ContentChanged);
    for (int i = 0; i < 255; ++i)
        ASSERT_TRUE(image.AddFrame(MakeFrame<CindralImage>(i, 0, i)));
    EXPECT_EQ(changed.size(), 255);
    EXPECT_FALSE(image.AddFrame(MakeFrame<CindralImage>(1, 0, 0)));
    EXPECT_EQ(image.FrameCount(), 255);
    EXPECT_EQ(changed.size(), 255) << "a refused frame emits nothing";
    EXPECT_EQ(image.GetFrame(254)->duration, 254);
    EXPECT_EQ(image.GetFrame(255), nullptr);
    EXPECT_EQ(image.GetFrame(-1), nullptr);
}

TEST(LEDImage, SettersMarkTheDataLoadedAndRefuseBadPaletteIndices)
{
    CindralImage image;
    QSignalSpy changed(&image, &Content::ContentChanged);
    EXPECT_FALSE(image.SetPaletteColor(256, {1, 2, 3}));
    EXPECT_FALSE(image.SetPaletteColor(-1, {1, 2, 3}));
    EXPECT_TRUE(image.IsNotLoaded());
    EXPECT_TRUE(changed.isEmpty());

    EXPECT_TRUE(image.SetPaletteColor(255, {1, 2, 3}));
    EXPECT_TRUE(image.SetBackgroundIndex(6));
    EXPECT_TRUE(image.SetTransparentIndex(7));
    EXPECT_FALSE(image.IsNotLoaded());
    EXPECT_EQ(changed.size(), 3);
    LEDImageHeader header;
    image.GetHeader(header);
    EXPECT_EQ(header.palette[255], (LEDColor{1, 2, 3}));
    EXPECT_EQ(header.backgroundIndex, 6);
    EXPECT_EQ(header.transparentIndex, 7);
    EXPECT_EQ(header.frameCount, 0);
}

TEST(LEDImage, LedPositionsFollowTheRings)
{
    struct Case {
        const char* what;
        QPointF (*position)(int);
        int led;
        double x, y;
    } cases[] = {
        {"first family, first LED", &BrevantImage::LedPosition, 0, 0.0835242535, 0.9546865857},
        {"first family, second ring", &BrevantImage::LedPosition, 36, 0.0827517001, 0.7873298338},
        {"first family, last of the outer ring", &BrevantImage::LedPosition, 35, -0.0835242535, 0.9546865857},
        {"first family, centre", &BrevantImage::LedPosition, 126, 0.0, 0.0},
        {"first family, beyond the centre", &BrevantImage::LedPosition, 127, 0.0, 0.0},
        {"first family, negative", &BrevantImage::LedPosition, -1, 0.0, 0.0},
        {"second family, first LED", &CindralImage::LedPosition, 0, 0.1207367278, 0.9170864968},
        {"second family, centre", &CindralImage::LedPosition, 60, 0.0, 0.0},
    };
    for (const Case& c : cases) {
        const QPointF p = c.position(c.led);
        EXPECT_NEAR(p.x(), c.x, 1e-9) << c.what;
        EXPECT_NEAR(p.y(), c.y, 1e-9) << c.what;
    }
    // The inner rings of the first family lie where the second family's LEDs lie in
    // order (same counts), which is what the conversions rely on.
    for (int led = 0; led < CindralImage::kLedCount; ++led) {
        const QPointF inner = BrevantImage::LedPosition(led + 66);
        const QPointF other = CindralImage::LedPosition(led);
        EXPECT_NEAR(std::atan2(inner.y(), inner.x()), std::atan2(other.y(), other.x()), 1e-9) << led;
    }
}

TEST(LEDImage, FamilyConversionsMapTheInnerRingsBothWays)
{
    auto cindral = SampleCindral();
    const auto brevant = BrevantImage::FromCindralImage(*cindral);
    ASSERT_EQ(brevant->FrameCount(), 2);
    for (int f = 0; f < 2; ++f) {
        const auto& from = *cindral->GetFrame(f);
        const auto& mid = *brevant->GetFrame(f);
        EXPECT_EQ(mid.duration, from.duration);
        EXPECT_EQ(mid.flag, from.flag);
        for (int led = 0; led < 66; ++led)
            EXPECT_EQ(mid.indices[std::size_t(led)], 0) << led;
        for (int led = 0; led < 61; ++led)
            EXPECT_EQ(mid.indices[std::size_t(66 + led)], from.indices[std::size_t(led)]) << led;
    }
    EXPECT_EQ(brevant->GetPaletteColor(200), cindral->GetPaletteColor(200));
    EXPECT_EQ(brevant->GetBackgroundIndex(), 3);
    EXPECT_EQ(brevant->GetTransparentIndex(), 255);
    EXPECT_EQ(brevant->GetName(), QString()) << "callers name it";
    EXPECT_EQ(brevant->GetAddress(), 0);
    EXPECT_NE(brevant->Key(), cindral->Key());
    EXPECT_EQ(brevant->GetFormatVersion(), 0);

    const auto back = CindralImage::FromBrevantImage(*brevant);
    ASSERT_EQ(back->FrameCount(), 2);
    for (int f = 0; f < 2; ++f)
        EXPECT_EQ(*back->GetFrame(f), *cindral->GetFrame(f));
    EXPECT_EQ(back->GetPaletteColor(17), cindral->GetPaletteColor(17));
}

TEST(LEDImage, AssignAndCloneCopyEverythingIncludingTheKey)
{
    auto original = SampleCindral();
    original->SetMosavraID(77);
    std::unique_ptr<Content> clone(original->Clone());
    auto* copy = dynamic_cast<CindralImage*>(clone.get());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetParent(), nullptr);
    EXPECT_EQ(copy->Key(), original->Key());
    EXPECT_EQ(copy->GetName(), QStringLiteral("Sample"));
    EXPECT_EQ(copy->GetAddress(), 12);
    EXPECT_EQ(copy->GetMosavraID(), 77);
    EXPECT_FALSE(copy->IsNotLoaded());
    ASSERT_EQ(copy->FrameCount(), 2);
    EXPECT_EQ(*copy->GetFrame(1), *original->GetFrame(1));
    EXPECT_EQ(copy->GetPaletteColor(9), original->GetPaletteColor(9));
    EXPECT_EQ(copy->GetBackgroundIndex(), 3);
    EXPECT_EQ(copy->GetTransparentIndex(), 255);

    // Independent from then on.
    copy->AddFrame(MakeFrame<CindralImage>(5, 0, 0));
    copy->SetPaletteColor(9, {0, 0, 0});
    EXPECT_EQ(original->FrameCount(), 2);
    EXPECT_NE(original->GetPaletteColor(9), LEDColor{});

    CindralImage blank;
    blank.Assign(*original);
    blank.Assign(blank); // assigning to itself changes nothing
    EXPECT_EQ(blank.Key(), original->Key());
    EXPECT_EQ(blank.FrameCount(), 2);
}

TEST(LEDImage, AnotherThreadNeverSeesAHalfReplacedImage)
{
    // Two records the GUI thread switches the image between.
    BrevantRDMImage one, three;
    one.SetName(QStringLiteral("one"));
    three.SetName(QStringLiteral("three"));
    const quint8 indices[BrevantImage::kLedCount] = {};
    one.AppendFrame(0, 10, indices);
    for (int i = 0; i < 3; ++i)
        three.AppendFrame(0, 10, indices);

    BrevantImage image;
    image.FromRDMImage(one);
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::unique_ptr<QThread> reader(QThread::create([&] {
        while (!stop) {
            std::unique_ptr<Content> copy(image.Clone());
            auto* clone = static_cast<BrevantImage*>(copy.get());
            const QString name = clone->GetName();
            const int frames = clone->FrameCount();
            if (!((name == "one" && frames == 1) || (name == "three" && frames == 3)))
                ++torn;
        }
    }));
    reader->start();
    for (int i = 0; i < 2000; ++i)
        image.FromRDMImage(i % 2 ? one : three);
    stop = true;
    reader->wait();
    EXPECT_EQ(torn, 0);
}

TEST(LEDImage, ClonesShareTheirFramesUntilEitherSideChangesThem)
{
    // Another image of three frames, as a record, a file and an image.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto other = SampleCindral();
    other->AddFrame(MakeFrame<CindralImage>(7, 0, 9));
    CindralRDMImage record;
    ASSERT_TRUE(other->ToRDMImage(record));
    const QString path = dir.filePath(QStringLiteral("other.cdli"));
    ASSERT_TRUE(other->Save(path));

    struct Change {
        const char* what;
        std::function<void(CindralImage&)> apply;
        int framesAfter;
        bool changesFrames;
    };
    const Change changes[] = {
        {"AddFrame", [](CindralImage& i) { i.AddFrame(MakeFrame<CindralImage>(5, 0, 3)); }, 3, true},
        {"Clear", [](CindralImage& i) { i.Clear(); }, 0, true},
        {"FromRDMImage", [&](CindralImage& i) { i.FromRDMImage(record); }, 3, true},
        {"Load", [&](CindralImage& i) { i.Load(path); }, 3, true},
        {"Assign", [&](CindralImage& i) { i.Assign(*other); }, 3, true},
        {"importer's Finish",
         [](CindralImage& i) {
             LEDImageImporter<CindralImage> importer(0, 0, -1, -1, 0, 0, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, false, 0, 30,
                                                     0, 0);
             QImage picture(64, 64, QImage::Format_RGB32);
             picture.fill(qRgb(200, 100, 50));
             importer.PutFrame(picture, 40);
             importer.Finish(i);
         },
         1, true},
        {"palette, background and transparent index",
         [](CindralImage& i) {
             i.SetPaletteColor(9, {1, 2, 3});
             i.SetBackgroundIndex(1);
             i.SetTransparentIndex(2);
         },
         2, false},
        {"reading: record, GIF, conversion",
         [&](CindralImage& i) {
             CindralRDMImage out;
             i.ToRDMImage(out);
             i.ExportGIF(dir.filePath(QStringLiteral("out.gif")), 40, 40);
             BrevantImage::FromCindralImage(i);
         },
         2, false},
    };
    for (const Change& change : changes) {
        for (bool changeTheClone : {false, true}) {
            SCOPED_TRACE(std::string(change.what) + (changeTheClone ? ", on the clone" : ", on the original"));
            auto original = SampleCindral();
            std::unique_ptr<CindralImage> clone(static_cast<CindralImage*>(original->Clone()));
            CindralImage assigned;
            assigned.Assign(*original);
            ASSERT_EQ(clone->GetFrame(0), original->GetFrame(0)) << "a clone shares the frames";
            ASSERT_EQ(assigned.GetFrame(1), original->GetFrame(1)) << "so does an assigned image";

            CindralImage& changed = changeTheClone ? *clone : *original;
            CindralImage& kept = changeTheClone ? *original : *clone;
            const auto before = FramesOf(kept);
            const CindralImage::Frame* keptFrame = kept.GetFrame(0);
            change.apply(changed);

            EXPECT_EQ(changed.FrameCount(), change.framesAfter);
            EXPECT_EQ(FramesOf(kept), before) << "the other side keeps its frames";
            EXPECT_EQ(kept.GetFrame(0), keptFrame) << "where they were";
            EXPECT_EQ(FramesOf(assigned), before);
            if (change.changesFrames)
                EXPECT_NE(changed.GetFrame(0), keptFrame);
            else
                EXPECT_EQ(changed.GetFrame(0), keptFrame) << "still shared";
        }
    }
}

TEST(LEDImage, ClonesChangedOnAnotherThreadStayWhole)
{
    // Every frame here has all its indices equal to its duration, so a frame written
    // while another image reads it shows as a mixed one.
    const auto uniform = [](int value) {
        CindralImage::Frame frame;
        frame.duration = value;
        frame.indices.fill(quint8(value));
        return frame;
    };
    // Reads every frame without the lock: only for an image no other thread changes.
    const auto whole = [](const CindralImage& image) {
        for (int f = 0, count = image.FrameCount(); f < count; ++f) {
            const CindralImage::Frame* frame = image.GetFrame(f);
            for (quint8 index : frame->indices)
                if (index != quint8(frame->duration))
                    return false;
        }
        return true;
    };

    CindralImage image;
    image.AddFrame(uniform(1));
    std::atomic<bool> stop{false};
    std::atomic<int> broken{0};
    std::atomic<int> rounds{0};
    std::unique_ptr<QThread> cloner(QThread::create([&] {
        for (int round = 0; !stop; round = ++rounds) {
            // This thread owns the clone; the original and its other clones change on
            // the other thread meanwhile.
            std::unique_ptr<Content> copy(image.Clone());
            auto* clone = static_cast<CindralImage*>(copy.get());
            if (!whole(*clone))
                ++broken;
            if (round % 2)
                clone->AddFrame(uniform(200));
            else
                clone->Clear();
            if (!whole(*clone))
                ++broken;
        }
    }));
    cloner->start();
    // Both threads go through enough rounds to meet each other, however they are scheduled.
    for (int i = 0; i < 3000 || rounds < 3000; ++i) {
        if (i % 50 == 0)
            image.Clear();
        else
            image.AddFrame(uniform(i % 256));
        std::unique_ptr<Content> mine(image.Clone());
        static_cast<CindralImage*>(mine.get())->AddFrame(uniform(7));
    }
    stop = true;
    cloner->wait();
    EXPECT_EQ(broken, 0);
    ContentLocker lock(&ContentMutex);
    EXPECT_TRUE(whole(image));
}
