// content_tool and video_tool as a user runs them: one process per command, its exit
// status, its one line of result on stdout or its reasons on stderr.
#include "images/BrevantImage.h"
#include "library/user/ContentLibraryRoot.h"
#include "tests/images/FFmpegTool.h"
#include "tests/library/LibraryTestSupport.h"

#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Outcome
{
    int exitCode = -1;
    QString out;
    QString err;
};

class ContentTool : public ::testing::Test
{
protected:
    ContentTool()
    {
        EXPECT_TRUE(dir_.isValid());
        // An existing library without packages, as the program leaves a new one.
        EXPECT_TRUE(QDir().mkpath(Path(QStringLiteral("library"))));
        ContentLibraryRoot library(Path(QStringLiteral("library")));
        QFile text(Path(QStringLiteral("text.qelpkg")));
        EXPECT_TRUE(text.open(QIODevice::WriteOnly) && text.write("not an archive\n") > 0);
        QFile plain(Path(QStringLiteral("plain")));
        EXPECT_TRUE(plain.open(QIODevice::WriteOnly));
    }

    QString Path(const QString& name) const { return dir_.filePath(name); }

    // Runs the tool of the command in the test's folder: video_tool for the video import,
    // content_tool for everything else.
    Outcome Tool(const QStringList& arguments) const
    {
        QProcess tool;
        tool.setWorkingDirectory(dir_.path());
        const bool video = arguments.value(0) == QLatin1String("video-import");
        tool.start(video ? QStringLiteral(VELMORA_VIDEO_TOOL) : QStringLiteral(VELMORA_CONTENT_TOOL), arguments);
        Outcome run;
        if (!tool.waitForFinished(60000) || tool.exitStatus() != QProcess::NormalExit)
            return run;
        run.exitCode = tool.exitCode();
        run.out = QString::fromLocal8Bit(tool.readAllStandardOutput());
        run.err = QString::fromLocal8Bit(tool.readAllStandardError());
        return run;
    }

    // Every file and folder below the test's folder with its size and bytes' checksum, a
    // line each.
    std::string Tree() const
    {
        QStringList entries;
        QDirIterator it(dir_.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QFile file(path);
            const QByteArray bytes = it.fileInfo().isFile() && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
            entries.append(QStringLiteral("%1 %2 %3").arg(QDir(dir_.path()).relativeFilePath(path)).arg(bytes.size()).arg(qChecksum(bytes)));
        }
        entries.sort();
        return entries.join(u'\n').toStdString();
    }

    // Every file below `folder` by its path relative to it, with its bytes; a config.xml's
    // lines sorted, since it lists its images in no fixed order.
    static QStringList FilesOf(const QString& folder)
    {
        QStringList files;
        QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QFile file(path);
            EXPECT_TRUE(file.open(QIODevice::ReadOnly));
            QByteArray bytes = file.readAll();
            if (it.fileName() == QLatin1String("config.xml")) {
                QList<QByteArray> lines = bytes.split('\n');
                std::sort(lines.begin(), lines.end());
                bytes = lines.join('\n');
            }
            files.append(QDir(folder).relativeFilePath(path) + QLatin1Char(' ') + QString::fromLatin1(bytes.toHex()));
        }
        files.sort();
        return files;
    }

private:
    QTemporaryDir dir_;
};

struct RefusalCase
{
    QStringList arguments;
    int exitCode;
    const char* says; // on stderr
};

// Wrong commands and arguments, missing and unreadable files and folders that cannot be
// written each get their reason and a non-zero exit status, and leave every file as it was.
TEST_F(ContentTool, BadCommandsAndInputAreRefusedWithAReasonAndChangeNothing)
{
    const RefusalCase cases[] = {
        {{}, 2, "usage:"},
        {{"unpack", "x"}, 2, "no command \"unpack\""},
        {{"package-import", "text.qelpkg"}, 2, "usage: "},
        {{"package-import", "missing.qelpkg", "library"}, 1, "package-import: missing.qelpkg: no such file"},
        {{"package-import", "library", "library"}, 1, "package-import: library: no such file"},
        {{"package-import", "text.qelpkg", "library"}, 1, "\"text.qelpkg\" can't be read as a package"},
        {{"package-import", "text.qelpkg", "plain"}, 1, "plain is not a folder"},
        {{"package-import", "text.qelpkg", "plain/library"}, 1, "cannot make the folder plain/library"},
        {{"package-export", "missing", "Show", "out.qelpkg"}, 1, "package-export: missing: no such folder"},
        {{"package-export", "library", "Show", "out.tar.gz"}, 1, "out.tar.gz: a package archive's name ends with .qelpkg"},
        {{"package-export", "library", "Show", "out.qelpkg"}, 1, "library has no package \"Show\""},
        {{"make-sample-package", "plain"}, 1, "plain is not a folder"},
        {{"video-import"}, 2, "usage: "},
        {{"video-import", "clip.mp4", "out.img", "more"}, 2, "usage: "},
        {{"video-import", "missing.mp4", "out.img"}, 1, "video-import: missing.mp4: no such file"},
        {{"video-import", "library", "out.img"}, 1, "video-import: library: not a readable file"},
        {{"video-import", "text.qelpkg", "out.img"}, 1, "video-import: text.qelpkg: holds no video that can be decoded"},
    };
    const std::string before = Tree();
    for (const RefusalCase& refusal : cases) {
        SCOPED_TRACE(refusal.arguments.join(u' ').toStdString());
        const Outcome run = Tool(refusal.arguments);
        EXPECT_EQ(run.exitCode, refusal.exitCode);
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(refusal.says))) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
        EXPECT_EQ(Tree(), before);
    }
}

// A package exported and imported into another library arrives whole: the same image
// files, byte for byte, and the same folders' lists; a second import gets a name of its own.
TEST_F(ContentTool, APackageGoesOutAndComesBackWhole)
{
    {
        ASSERT_TRUE(QDir().mkpath(Path("source")));
        ContentLibraryRoot source(Path("source"));
        ASSERT_TRUE(source.CreateFolder("Show", 0, 1, nullptr));
        auto* show = static_cast<ContentFolder*>(library_test::ChildNamed(&source, "Show"));
        for (const QString folderName : {"F1", "F2"}) {
            ASSERT_TRUE(show->CreateFolder(folderName, folderName == "F1" ? 41 : 45, 0, nullptr));
            auto* folder = static_cast<ContentFolder*>(library_test::ChildNamed(show, folderName));
            for (int i = 1; i <= 3; ++i) {
                auto image = library_test::MakeImage<CindralImage>(folderName + QString::number(i), 0, 10 * i);
                image->SetAddress(i);
                ASSERT_TRUE(folder->AddChild({image.get()}, nullptr));
                image.release();
            }
        }
    }

    Outcome run = Tool({"package-export", "source", "Show", "Show.qelpkg"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith("exported \"Show\" (2 folders, 6 images) to Show.qelpkg: ")) << run.out.toStdString();

    run = Tool({"package-import", "Show.qelpkg", "library"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, "imported Show.qelpkg into library as \"Show\": 2 folders, 6 images\n");
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    EXPECT_EQ(FilesOf(Path("library/Show")), FilesOf(Path("source/Show")));

    run = Tool({"package-import", "Show.qelpkg", "library"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith("imported Show.qelpkg into library as \"Show")) << run.out.toStdString();
    EXPECT_FALSE(run.out.startsWith("imported Show.qelpkg into library as \"Show\":")) << run.out.toStdString();

    // The sample package goes only into a library that has none of its name.
    run = Tool({"make-sample-package", "source"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("source already has a package \"Show\"")) << run.err.toStdString();
}

// A clip becomes an image file of its frames (MPEG-4: 10 frames at 10 frames/s); without an
// output file the clip is imported and nothing written.
TEST_F(ContentTool, AVideoBecomesAnImageFile)
{
    QString error;
    ASSERT_TRUE(MakeTestClip(Path("clip.mp4"), 32, 24, 10, 1.0, &error)) << error.toStdString();

    Outcome run = Tool({"video-import", "clip.mp4", "clip.img"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, "imported clip.mp4: 10 frames read into an image of 10 frames, written to clip.img\n");
    const std::unique_ptr<BrevantImage> image = BrevantImage::LoadFile(Path("clip.img"));
    ASSERT_TRUE(image);
    ASSERT_EQ(image->FrameCount(), 10);
    int total = 0;
    for (int f = 0; f < image->FrameCount(); ++f)
        total += image->GetFrame(f)->duration;
    EXPECT_EQ(total, 1000);

    ASSERT_TRUE(QFile::remove(Path("clip.img")));
    const std::string before = Tree();
    run = Tool({"video-import", "clip.mp4"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, "imported clip.mp4: 10 frames read into an image of 10 frames\n");
    EXPECT_EQ(Tree(), before);
}

} // namespace
