// Writing packages: member order, tools' view of the result, sharing, and failures that
// must be reported and must not damage what was there.

#include "library/archive/ArchiveLimits.h"
#include "library/archive/ArchivedStreams.h"
#include "library/archive/CustomFileSystemEngineHandler.h"
#include "library/archive/FileLayer.h"
#include "tests/common/ScopedFileSizeLimit.h"
#include "tests/library/archive/ArchiveTestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

using Handler = CustomFileSystemEngineHandler;
using archive_test::TarMember;

namespace {

bool WriteMember(const QString& path, const QByteArray& bytes)
{
    FileLayer::File file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const bool written = file.write(bytes) == bytes.size();
    return file.Close().Ok() && written;
}

QByteArray ReadMember(const QString& path)
{
    FileLayer::File file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

class WritingPackages : public testing::Test
{
protected:
    QString Path(const char* name) const { return folder.Path(QString::fromUtf8(name)); }
    QStringList FolderContents() const { return QDir(folder.Root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden); }

    archive_test::Folder folder;
};

TEST_F(WritingPackages, MembersAreWrittenInKeyOrderAsGzipUstar)
{
    const QString package = Path("out.qelpkg");
    {
        Handler::ArchiveWriterEnabler writing(package);
        ASSERT_TRUE(WriteMember(package + QStringLiteral("/b/x"), "bx"));
        ASSERT_TRUE(WriteMember(package + QStringLiteral("/a/y"), "ay"));
        ASSERT_TRUE(FileLayer::MakeDir(package + QStringLiteral("/a")));
        EXPECT_FALSE(FileLayer::MakeDir(package));
        // Nothing reaches the disk before the commit.
        EXPECT_FALSE(QFile::exists(package));
        EXPECT_TRUE(FileLayer::IsDir(package + QStringLiteral("/a")));
        EXPECT_TRUE(FileLayer::IsFile(package + QStringLiteral("/b/x")));
        EXPECT_EQ(FileLayer::EntryList(package, {}, QDir::Dirs), QStringList{QStringLiteral("a")});
        const ArchiveResult result = writing.Commit();
        ASSERT_TRUE(result.Ok()) << result.Message().toStdString();
    }
    ASSERT_TRUE(archive_test::StartsWithGzipMagic(package));
    const auto members = archive_test::ReadTar(package);
    ASSERT_EQ(members.size(), 3);
    EXPECT_EQ(members[0].path, QStringLiteral("/a/"));
    EXPECT_TRUE(members[0].directory);
    EXPECT_EQ(members[1].path, QStringLiteral("a/y"));
    EXPECT_EQ(members[1].data, QByteArray("ay"));
    EXPECT_EQ(members[2].path, QStringLiteral("b/x"));
    EXPECT_EQ(ReadMember(package + QStringLiteral("/b/x")), QByteArray("bx"));
    EXPECT_EQ(FileLayer::EntryList(package, {}, QDir::Dirs), QStringList{QStringLiteral("a")});
}

TEST_F(WritingPackages, ArchivesAreReadableByGnuTarAndBsdtar)
{
    const QString package = Path("tools.qelpkg");
    // Large enough to be compressed in many blocks.
    const QByteArray large = archive_test::RandomBytes(700000) + QByteArray(500000, 'z');
    {
        Handler::ArchiveWriterEnabler writing(package);
        ASSERT_TRUE(FileLayer::MakeDir(package + QStringLiteral("/a")));
        ASSERT_TRUE(WriteMember(package + QStringLiteral("/a/y.bvi"), "ay"));
        ASSERT_TRUE(WriteMember(package + QStringLiteral("/b/Grün.bvi"), "bx"));
        ASSERT_TRUE(WriteMember(package + QStringLiteral("/c/large.dat"), large));
        ASSERT_TRUE(writing.Commit().Ok());
    }
    ASSERT_GT(QFileInfo(package).size(), 5 * 128 * 1024);
    const QString gzip = QStandardPaths::findExecutable(QStringLiteral("gzip"));
    if (!gzip.isEmpty()) {
        int exitCode = -1;
        archive_test::RunProgram(gzip, {QStringLiteral("-t"), package}, &exitCode);
        EXPECT_EQ(exitCode, 0);
    }
    EXPECT_EQ(ReadMember(package + QStringLiteral("/c/large.dat")), large);
    for (const char* tool : {"tar", "bsdtar"}) {
        SCOPED_TRACE(tool);
        const QString program = QStandardPaths::findExecutable(QString::fromUtf8(tool));
        if (program.isEmpty())
            GTEST_SKIP() << tool << " is not installed (scripts/install-deps installs it)";
        int exitCode = -1;
        const QByteArray listing = archive_test::RunProgram(program, {QStringLiteral("-tzf"), package}, &exitCode);
        EXPECT_EQ(exitCode, 0);
        EXPECT_EQ(QString::fromUtf8(listing).split(u'\n', Qt::SkipEmptyParts),
                  (QStringList{QStringLiteral("/a/"), QStringLiteral("a/y.bvi"), QStringLiteral("b/Grün.bvi"),
                               QStringLiteral("c/large.dat")}));
        const QByteArray content =
            archive_test::RunProgram(program, {QStringLiteral("-xzOf"), package, QStringLiteral("a/y.bvi")}, &exitCode);
        EXPECT_EQ(exitCode, 0);
        EXPECT_EQ(content, QByteArray("ay"));
        EXPECT_EQ(archive_test::RunProgram(program, {QStringLiteral("-xzOf"), package, QStringLiteral("c/large.dat")},
                                           &exitCode),
                  large);
        EXPECT_EQ(exitCode, 0);
    }
}

TEST_F(WritingPackages, FilesOpenTogetherKeepTheirOwnMembersAndPositions)
{
    const QString package = Path("two.brevantcollage");
    archive_test::StreamMessages messages;
    {
        Handler::ArchiveWriterEnabler writing(package);
        FileLayer::File first(package + QStringLiteral("/f/one.bvi"));
        FileLayer::File second(package + QStringLiteral("/f/two.bvi"));
        ASSERT_TRUE(first.open(QIODevice::WriteOnly));
        ASSERT_TRUE(second.open(QIODevice::WriteOnly));
        first.write("1a");
        second.write("2a");
        first.write("1b");
        second.write("2b");
        EXPECT_TRUE(first.Close().Ok());
        EXPECT_TRUE(second.Close().Ok());
        ASSERT_TRUE(writing.Commit().Ok());
    }
    EXPECT_EQ(ReadMember(package + QStringLiteral("/f/one.bvi")), QByteArray("1a1b"));
    EXPECT_EQ(ReadMember(package + QStringLiteral("/f/two.bvi")), QByteArray("2a2b"));
    EXPECT_EQ(messages.Take(),
              (QStringList{QStringLiteral("Request Stream"), QStringLiteral("New Stream Created"),
                           QStringLiteral("Request Stream"), QStringLiteral("Request Stream"),
                           QStringLiteral("Stream Released"), QStringLiteral("Stream Released"),
                           QStringLiteral("Stream Released"), QStringLiteral("Stream Deleted")}));
}

// Writing a package says nothing unless its logging category is switched on.
TEST_F(WritingPackages, WritingLogsNothingByDefault)
{
    const QString package = Path("quiet.qelpkg");
    archive_test::StreamMessages messages(false);
    {
        Handler::ArchiveWriterEnabler writing(package);
        FileLayer::File file(package + QStringLiteral("/f/one.bvi"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("1");
        EXPECT_TRUE(file.Close().Ok());
        ASSERT_TRUE(writing.Commit().Ok());
    }
    EXPECT_EQ(ReadMember(package + QStringLiteral("/f/one.bvi")), QByteArray("1"));
    EXPECT_TRUE(messages.Take().isEmpty());
}

TEST_F(WritingPackages, ReopenedAndReplacedMembers)
{
    const QString package = Path("re.qelpkg");
    {
        Handler::ArchiveWriterEnabler writing(package);
        ASSERT_TRUE(WriteMember(package + QStringLiteral("/f/a.bvi"), "old bytes"));
        ASSERT_TRUE(WriteMember(package + QStringLiteral("/f/a.bvi"), "new")); // WriteOnly truncates
        FileLayer::File append(package + QStringLiteral("/f/a.bvi"));
        ASSERT_TRUE(append.open(QIODevice::WriteOnly | QIODevice::Append));
        append.write("+more");
        ASSERT_TRUE(append.Close().Ok());
        // A file made where a folder was replaces it.
        ASSERT_TRUE(FileLayer::MakeDir(package + QStringLiteral("/g")));
        ASSERT_TRUE(WriteMember(package + QStringLiteral("/g"), "file now"));
        // A member cannot be read back while its package is being written.
        FileLayer::File reading(package + QStringLiteral("/f/a.bvi"));
        EXPECT_FALSE(reading.open(QIODevice::ReadOnly));
        ASSERT_TRUE(writing.Commit().Ok());
    }
    const auto members = archive_test::ReadTar(package);
    ASSERT_EQ(members.size(), 2);
    EXPECT_EQ(members[0].path, QStringLiteral("f/a.bvi"));
    EXPECT_EQ(members[0].data, QByteArray("new+more"));
    EXPECT_EQ(members[1].path, QStringLiteral("g"));
    EXPECT_FALSE(members[1].directory);
}

TEST_F(WritingPackages, OnlyMembersOpenNowAreHeldInMemory)
{
    const QString package = Path("held.qelpkg");
    Handler::ArchiveWriterEnabler writing(package);
    const auto stream = ArchiveLibInterface::WritingArchivedStream::Find(package);
    ASSERT_TRUE(stream);
    QList<QByteArray> images;
    for (int i = 0; i < 20; ++i) {
        images.append(archive_test::RandomBytes(30000));
        ASSERT_TRUE(WriteMember(package + QStringLiteral("/f/%1.bvi").arg(i), images.last()));
    }
    FileLayer::File open(package + QStringLiteral("/f/open.bvi"));
    ASSERT_TRUE(open.open(QIODevice::WriteOnly));
    open.write("open");
    EXPECT_EQ(stream->HeldBytes(), 4);
    // An appended member is back in memory while it is open, and leaves again.
    FileLayer::File append(package + QStringLiteral("/f/0.bvi"));
    ASSERT_TRUE(append.open(QIODevice::WriteOnly | QIODevice::Append));
    append.write("+");
    images.first().append('+');
    EXPECT_EQ(stream->HeldBytes(), 4 + 30001);
    ASSERT_TRUE(append.Close().Ok());
    ASSERT_TRUE(open.Close().Ok());
    EXPECT_EQ(stream->HeldBytes(), 0);
    ASSERT_TRUE(writing.Commit().Ok());

    const auto members = archive_test::ReadTar(package);
    ASSERT_EQ(members.size(), 21);
    for (int i = 0; i < 20; ++i) {
        const auto member = std::find_if(members.begin(), members.end(), [i](const auto& m) {
            return m.path == QStringLiteral("f/%1.bvi").arg(i);
        });
        ASSERT_NE(member, members.end());
        EXPECT_EQ(member->data, images[i]) << i;
    }
}

TEST_F(WritingPackages, AMemberThatCannotBeSetAsideFailsTheExport)
{
    const QString package = Path("keep.qelpkg");
    archive_test::WriteTar(package, {{QStringLiteral("f/a.bvi"), TarMember::File, "the old package"}});
    const QByteArray before = archive_test::FileBytes(package);
    {
        Handler::ArchiveWriterEnabler writing(package);
        // Closed members go to a temporary file, which cannot grow past the limit; the
        // export goes on, and its commit fails and says why.
        testing_env::ScopedFileSizeLimit limit(64 * 1024);
        for (const char* name : {"/f/a.bvi", "/f/b.bvi", "/f/c.bvi"})
            EXPECT_TRUE(WriteMember(package + QString::fromUtf8(name), archive_test::RandomBytes(40000)));
        const ArchiveResult committed = writing.Commit();
        EXPECT_FALSE(committed.Ok());
        EXPECT_TRUE(committed.Message().contains(QStringLiteral("\"f/b.bvi\" could not be set aside")))
            << committed.Message().toStdString();
        EXPECT_TRUE(committed.Message().contains(QStringLiteral("temporary file"))) << committed.Message().toStdString();
    }
    EXPECT_EQ(archive_test::FileBytes(package), before);
}

TEST_F(WritingPackages, MembersCannotGrowPastTheCapForTheirKind)
{
    const QString package = Path("cap.qelpkg");
    Handler::ArchiveWriterEnabler writing(package);
    FileLayer::File file(package + QStringLiteral("/f/a.bvi"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    EXPECT_EQ(file.write(QByteArray(int(ArchiveLimits::kMaxImageMemberSize), 'x')), ArchiveLimits::kMaxImageMemberSize);
    EXPECT_EQ(file.write("y"), -1);
    // The export is spoilt: nothing is written, and both the file and the commit say why.
    const ArchiveResult closed = file.Close();
    EXPECT_FALSE(closed.Ok());
    const ArchiveResult committed = writing.Commit();
    EXPECT_FALSE(committed.Ok());
    EXPECT_TRUE(committed.Message().contains(closed.Message())) << committed.Message().toStdString();
    EXPECT_FALSE(QFile::exists(package));
}

TEST_F(WritingPackages, AnUnwritablePlaceFailsAndSaysSo)
{
    // A regular file where a folder should be: even root cannot write below it.
    QFile blocker(Path("blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString package = Path("blocker/out.qelpkg");
    Handler::ArchiveWriterEnabler writing(package);
    ASSERT_TRUE(WriteMember(package + QStringLiteral("/f/a.bvi"), "bytes"));
    const ArchiveResult result = writing.Commit();
    EXPECT_FALSE(result.Ok());
    EXPECT_TRUE(result.Message().contains(package)) << result.Message().toStdString();
    EXPECT_EQ(FolderContents(), QStringList{QStringLiteral("blocker")});
    // Asking again gives the same answer and writes nothing more.
    EXPECT_EQ(writing.Commit().Message(), result.Message());
}

TEST_F(WritingPackages, AWriteThatFailsHalfWayLeavesThePreviousArchiveWhole)
{
    const QString package = Path("keep.qelpkg");
    archive_test::WriteTar(package, {{QStringLiteral("f/a.bvi"), TarMember::File, "the old package"}});
    const QByteArray before = archive_test::FileBytes(package);
    {
        Handler::ArchiveWriterEnabler writing(package);
        // Random bytes do not compress: the archive outgrows the limit half-way.
        ASSERT_TRUE(WriteMember(package + QStringLiteral("/f/a.bvi"), archive_test::RandomBytes(60000)));
        ASSERT_TRUE(WriteMember(package + QStringLiteral("/f/b.bvi"), archive_test::RandomBytes(60000)));
        testing_env::ScopedFileSizeLimit limit(64 * 1024);
        const ArchiveResult result = writing.Commit();
        EXPECT_FALSE(result.Ok());
        EXPECT_FALSE(result.Message().isEmpty());
    }
    EXPECT_EQ(archive_test::FileBytes(package), before);
    EXPECT_EQ(FolderContents(), QStringList{QStringLiteral("keep.qelpkg")});
    EXPECT_EQ(ReadMember(package + QStringLiteral("/f/a.bvi")), QByteArray("the old package"));
}

TEST_F(WritingPackages, AFailureInTheLastBytesOfTheArchiveIsReported)
{
    // The archive's last bytes reach the disk only as the commit flushes them: a disk that
    // fills up right there must fail the export too, not leave a truncated package.
    const QByteArray member = archive_test::RandomBytes(20000);
    const QString sized = Path("sized.qelpkg");
    const QString package = Path("keep.qelpkg");
    // The old package's bytes: its gzip header carries the second it was written in too.
    const auto writeOldPackage = [&] {
        archive_test::WriteTar(package, {{QStringLiteral("f/a.bvi"), TarMember::File, "the old package"}});
        return archive_test::FileBytes(package);
    };
    QByteArray before = writeOldPackage();

    // Writes the archive once to learn its size, then again under a file-size limit one byte
    // short of it. Each tar header carries the second it was written in, and another second
    // can compress to another size, so both go in one second.
    bool committed = true;
    for (int attempt = 0;; ++attempt) {
        ASSERT_LT(attempt, 10) << "no two archives were written within one second";
        QFile::remove(sized);
        const qint64 second = QDateTime::currentSecsSinceEpoch();
        {
            Handler::ArchiveWriterEnabler writing(sized);
            ASSERT_TRUE(WriteMember(sized + QStringLiteral("/f/a.bvi"), member));
            ASSERT_TRUE(writing.Commit().Ok());
        }
        const qint64 size = QFileInfo(sized).size();
        {
            Handler::ArchiveWriterEnabler writing(package);
            ASSERT_TRUE(WriteMember(package + QStringLiteral("/f/a.bvi"), member));
            testing_env::ScopedFileSizeLimit limit(rlim_t(size - 1));
            committed = writing.Commit().Ok();
        }
        if (QDateTime::currentSecsSinceEpoch() == second)
            break;
        before = writeOldPackage();
    }
    EXPECT_FALSE(committed);
    EXPECT_EQ(archive_test::FileBytes(package), before);
    EXPECT_EQ(FolderContents(), (QStringList{QStringLiteral("keep.qelpkg"), QStringLiteral("sized.qelpkg")}));
}

TEST_F(WritingPackages, ADiscardedExportChangesNothing)
{
    const QString package = Path("discard.qelpkg");
    archive_test::WriteTar(package, {{QStringLiteral("f/a.bvi"), TarMember::File, "kept"}});
    const QByteArray before = archive_test::FileBytes(package);
    {
        Handler::ArchiveWriterEnabler writing(package);
        ASSERT_TRUE(WriteMember(package + QStringLiteral("/f/a.bvi"), "replaced"));
        writing.Discard();
        // Once given up, the package is read again.
        EXPECT_EQ(ReadMember(package + QStringLiteral("/f/a.bvi")), QByteArray("kept"));
    }
    EXPECT_EQ(archive_test::FileBytes(package), before);
}

TEST_F(WritingPackages, AFileStillOpenAtTheCommitWritesTheArchiveWhenClosed)
{
    const QString package = Path("late.qelpkg");
    FileLayer::File file(package + QStringLiteral("/f/a.bvi"));
    {
        Handler::ArchiveWriterEnabler writing(package);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("late");
        EXPECT_FALSE(writing.Commit().Ok());
        EXPECT_FALSE(QFile::exists(package));
    }
    const ArchiveResult result = file.Close();
    ASSERT_TRUE(result.Ok()) << result.Message().toStdString();
    EXPECT_EQ(ReadMember(package + QStringLiteral("/f/a.bvi")), QByteArray("late"));
}

TEST_F(WritingPackages, FirmwarePackagesAreNeverWritten)
{
    const QString package = Path("fw.qrvpkg");
    archive_test::WriteTar(package, {{QStringLiteral("/brevant_motion.bin"), TarMember::File, "motion"}});
    const QByteArray before = archive_test::FileBytes(package);
    {
        Handler::ArchiveWriterEnabler writing(package);
        FileLayer::File file(package + QStringLiteral("/brevant_motion.bin"));
        EXPECT_FALSE(file.open(QIODevice::WriteOnly));
        EXPECT_TRUE(writing.Commit().Message().contains(QStringLiteral("not a package that can be written")));
    }
    EXPECT_EQ(archive_test::FileBytes(package), before);
}

TEST_F(WritingPackages, NonAsciiNamesAreWrittenAsUtf8InAnyLocale)
{
    const QString package = Path("utf8.qelpkg");
    const std::string previous = std::setlocale(LC_CTYPE, nullptr);
    std::setlocale(LC_CTYPE, "C");
    {
        Handler::ArchiveWriterEnabler writing(package);
        EXPECT_TRUE(WriteMember(package + QStringLiteral("/Grün/ä.bvi"), "a"));
        EXPECT_TRUE(writing.Commit().Ok());
    }
    std::setlocale(LC_CTYPE, previous.c_str());
    const auto members = archive_test::ReadTar(package);
    ASSERT_EQ(members.size(), 1);
    EXPECT_EQ(members[0].path, QStringLiteral("Grün/ä.bvi"));
}

TEST_F(WritingPackages, AnExportOnWorkerThreadsLeavesOtherReadersAlone)
{
    // The export's enabler lives on this thread, its files are written by two workers,
    // and a third thread keeps reading another package meanwhile.
    const QString source = Path("source.qelpkg");
    archive_test::WriteTar(source, {{QStringLiteral("f/a.bvi"), TarMember::File, "source bytes"}});
    const QString package = Path("threads.qelpkg");
    constexpr int kMembersPerWorker = 40;
    std::atomic<bool> writing{true};
    std::atomic<int> badReads{0};
    {
        Handler::ArchiveWriterEnabler enabler(package);
        std::thread reader([&] {
            while (writing.load()) {
                if (ReadMember(source + QStringLiteral("/f/a.bvi")) != QByteArray("source bytes"))
                    ++badReads;
            }
        });
        auto work = [&](int worker) {
            for (int i = 0; i < kMembersPerWorker; ++i) {
                const QString name = QStringLiteral("/w%1/m%2.bvi").arg(worker).arg(i);
                WriteMember(package + name, name.toUtf8());
            }
        };
        std::thread first(work, 1);
        std::thread second(work, 2);
        first.join();
        second.join();
        writing = false;
        reader.join();
        ASSERT_TRUE(enabler.Commit().Ok());
    }
    EXPECT_EQ(badReads.load(), 0);
    const auto members = archive_test::ReadTar(package);
    ASSERT_EQ(members.size(), 2 * kMembersPerWorker);
    for (const auto& member : members)
        EXPECT_EQ(QByteArray('/' + member.path.toUtf8()), member.data);
}

TEST(WritingPlainFiles, PlainFilesAreReplacedOnlyWhenWhollyWritten)
{
    archive_test::Folder folder;
    const QString path = folder.Path(QStringLiteral("config.xml"));
    ASSERT_TRUE(WriteMember(path, "first"));
    EXPECT_EQ(archive_test::FileBytes(path), QByteArray("first"));
    {
        FileLayer::File file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        testing_env::ScopedFileSizeLimit limit(64 * 1024);
        file.write(archive_test::RandomBytes(200000));
        const ArchiveResult result = file.Close();
        EXPECT_FALSE(result.Ok());
        EXPECT_EQ(file.errorString(), result.Message());
    }
    EXPECT_EQ(archive_test::FileBytes(path), QByteArray("first"));
    EXPECT_EQ(QDir(folder.Root()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("config.xml")});

    FileLayer::File blocked(folder.Path(QStringLiteral("config.xml/inside")));
    EXPECT_FALSE(blocked.open(QIODevice::WriteOnly));
    EXPECT_FALSE(blocked.errorString().isEmpty());
}

TEST(WritingPlainFiles, PlainFoldersThroughTheLayer)
{
    archive_test::Folder folder;
    FileLayer::Dir dir(folder.Root());
    ASSERT_TRUE(dir.mkdir(QStringLiteral("p")));
    EXPECT_FALSE(dir.mkdir(QStringLiteral("p")));
    ASSERT_TRUE(dir.cd(QStringLiteral("p")));
    EXPECT_FALSE(dir.cd(QStringLiteral("missing")));
    EXPECT_EQ(dir.dirName(), QStringLiteral("p"));
    ASSERT_TRUE(WriteMember(dir.absoluteFilePath(QStringLiteral("a.bvi")), "a"));
    EXPECT_TRUE(dir.rename(QStringLiteral("a.bvi"), QStringLiteral("b.bvi")));
    EXPECT_EQ(dir.entryList({QStringLiteral("*.bvi")}, QDir::Files), QStringList{QStringLiteral("b.bvi")});
    EXPECT_FALSE(dir.rename(QStringLiteral("b.bvi"), QStringLiteral("x.qelpkg/b.bvi")));
    EXPECT_TRUE(dir.remove(QStringLiteral("b.bvi")));
    ASSERT_TRUE(dir.cdUp());
    EXPECT_TRUE(dir.rmdir(QStringLiteral("p")));
    EXPECT_EQ(dir.absolutePath(), folder.Root());
}

} // namespace
