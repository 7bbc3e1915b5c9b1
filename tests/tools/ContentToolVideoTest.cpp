#include "images/BrevantImage.h"
#include "tests/images/FFmpegTool.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

ToolRun RunVideoImport(const QStringList& arguments)
{
    QProcess tool;
    tool.start(QStringLiteral(VELMORA_CONTENT_TOOL), QStringList{QStringLiteral("video-import")} + arguments);
    ToolRun run;
    if (!tool.waitForFinished(60000) || tool.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = tool.exitCode();
    run.out = QString::fromLocal8Bit(tool.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(tool.readAllStandardError());
    return run;
}

} // namespace

// Clips that cannot be imported, and calls without a clip, fail with a message and a
// non-zero status, and write no image.
TEST(ContentToolVideo, BadClipsAndCallsFailWithAMessage)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile text(dir.filePath(QStringLiteral("notes.mp4")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a video");
    text.close();
    const QString out = dir.filePath(QStringLiteral("out.img"));
    struct Case {
        QStringList arguments;
        int exitCode;
        const char* says;
    };
    const Case cases[] = {
        {{dir.filePath(QStringLiteral("missing.mp4")), out}, 1, "missing.mp4: no such file"},
        {{dir.path(), out}, 1, "not a readable file"},
        {{text.fileName(), out}, 1, "notes.mp4: holds no video that can be decoded"},
        {{}, 2, "usage"},
        {{text.fileName(), out, QStringLiteral("extra")}, 2, "usage"},
    };
    for (const Case& c : cases) {
        const ToolRun run = RunVideoImport(c.arguments);
        const std::string called = c.arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(run.exitCode, c.exitCode) << called;
        EXPECT_TRUE(run.err.contains(QString::fromLatin1(c.says))) << called << ": " << run.err.toStdString();
        EXPECT_FALSE(QFile::exists(out)) << called;
    }
}

// A tiny clip becomes an image file of its frames (MPEG-4: 10 frames at 10 frames/s).
TEST(ContentToolVideo, AClipBecomesAnImageFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString clip = dir.filePath(QStringLiteral("clip.mp4"));
    QString error;
    ASSERT_TRUE(MakeTestClip(clip, 32, 24, 10, 1.0, &error)) << error.toStdString();
    const QString out = dir.filePath(QStringLiteral("clip.img"));

    const ToolRun run = RunVideoImport({clip, out});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("10 frames read"))) << run.out.toStdString();
    const std::unique_ptr<BrevantImage> image = BrevantImage::LoadFile(out);
    ASSERT_TRUE(image);
    ASSERT_GT(image->FrameCount(), 0);
    int total = 0;
    for (int f = 0; f < image->FrameCount(); ++f)
        total += image->GetFrame(f)->duration;
    EXPECT_EQ(total, 1000);

    // Without an output file it imports and writes nothing.
    const ToolRun dry = RunVideoImport({clip});
    EXPECT_EQ(dry.exitCode, 0) << dry.err.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}
