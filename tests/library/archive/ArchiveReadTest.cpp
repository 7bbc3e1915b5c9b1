// Reading packages: listing, existence, member data, damage and bounds.

#include "library/archive/ArchiveIndex.h"
#include "library/archive/ArchiveLimits.h"
#include "library/archive/CustomFileSystemEngineHandler.h"
#include "library/archive/FileLayer.h"
#include "tests/common/ScopedFileSizeLimit.h"
#include "tests/library/archive/ArchiveTestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

#include <clocale>

using archive_test::TarMember;

namespace {

constexpr QDir::Filters kDirs = QDir::Dirs | QDir::NoDotAndDotDot;
constexpr QDir::Filters kFiles = QDir::Files;

class ReadingPackages : public testing::Test
{
protected:
    void SetUp() override
    {
        package = folder.Path(QStringLiteral("p.qelpkg"));
        archive_test::WriteTar(package, {
                                            {QStringLiteral("/f"), TarMember::Directory, {}},
                                            {QStringLiteral("f/a.bvi"), TarMember::File, "first image"},
                                            {QStringLiteral("g/b.bvi"), TarMember::File, "second"},
                                            {QStringLiteral("CVS"), TarMember::Directory, {}},
                                            {QStringLiteral("h/CVS"), TarMember::File, "not a folder"},
                                            {QStringLiteral("./"), TarMember::Directory, {}},
                                            {QStringLiteral("."), TarMember::Directory, {}},
                                            {QStringLiteral("../escape.bvi"), TarMember::File, "outside"},
                                            {QStringLiteral("f/"), TarMember::Directory, {}},
                                            {QStringLiteral("f/config.xml"), TarMember::File, "<objects/>"},
                                        });
    }

    QString In(const char* member) const { return package + QLatin1Char('/') + QString::fromUtf8(member); }

    archive_test::Folder folder;
    QString package;
};

TEST_F(ReadingPackages, ListsDirectChildrenByTheirHeaders)
{
    // "g" has no header of its own, so it is no folder of the listing; "CVS" folders are
    // never listed, "." and ".." are no folders, and "f" is listed once.
    EXPECT_EQ(FileLayer::EntryList(package, {}, kDirs), QStringList{QStringLiteral("f")});
    EXPECT_EQ(FileLayer::EntryList(package, {}, kFiles), QStringList());
    EXPECT_EQ(FileLayer::EntryList(In("f"), {}, kFiles), (QStringList{QStringLiteral("a.bvi"), QStringLiteral("config.xml")}));
    EXPECT_EQ(FileLayer::EntryList(In("h"), {}, kFiles), QStringList{QStringLiteral("CVS")});
    EXPECT_EQ(FileLayer::EntryList(In("F"), {QStringLiteral("*.BVI")}, kFiles), QStringList{QStringLiteral("a.bvi")});
    EXPECT_EQ(FileLayer::EntryList(package, {QStringLiteral("*.bvi")}, kDirs | kFiles), QStringList());
}

TEST_F(ReadingPackages, SortsListingsWhenAsked)
{
    const QString sorted = folder.Path(QStringLiteral("sorted.qelpkg"));
    archive_test::WriteTar(sorted, {{QStringLiteral("b"), TarMember::Directory, {}},
                                    {QStringLiteral("a.bvi"), TarMember::File, "1"},
                                    {QStringLiteral("C"), TarMember::Directory, {}},
                                    {QStringLiteral("A"), TarMember::Directory, {}}});
    const QDir::Filters all = QDir::AllEntries | QDir::NoDotAndDotDot;
    EXPECT_EQ(FileLayer::EntryList(sorted, {}, all),
              (QStringList{QStringLiteral("b"), QStringLiteral("a.bvi"), QStringLiteral("C"), QStringLiteral("A")}));
    EXPECT_EQ(FileLayer::EntryList(sorted, {}, all, QDir::Name),
              (QStringList{QStringLiteral("A"), QStringLiteral("C"), QStringLiteral("a.bvi"), QStringLiteral("b")}));
    EXPECT_EQ(FileLayer::EntryList(sorted, {}, all, QDir::Name | QDir::IgnoreCase | QDir::DirsFirst),
              (QStringList{QStringLiteral("A"), QStringLiteral("b"), QStringLiteral("C"), QStringLiteral("a.bvi")}));
}

TEST_F(ReadingPackages, AnswersExistenceAndTypeFromTheArchive)
{
    const struct
    {
        const char* member;
        bool exists;
        bool dir;
    } cases[] = {
        {"", true, true},          {"f", true, true},         {"g", true, true}, // below members: a folder
        {"f/a.bvi", true, false},  {"f/zz.bvi", false, false}, {"F/a.bvi", false, false},
        {"x/y.bvi", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.member);
        const QString path = *c.member ? In(c.member) : package;
        EXPECT_EQ(FileLayer::Exists(path), c.exists);
        EXPECT_EQ(FileLayer::IsDir(path), c.dir);
        EXPECT_EQ(FileLayer::IsFile(path), c.exists && !c.dir);
    }
    EXPECT_FALSE(FileLayer::Exists(folder.Path(QStringLiteral("missing.qelpkg/f/a.bvi"))));
    EXPECT_TRUE(FileLayer::Exists(QStringLiteral("decode#") + package));
    EXPECT_EQ(FileLayer::Size(In("f/a.bvi")), 11);
    EXPECT_EQ(FileLayer::Size(In("f/zz.bvi")), 0);
}

TEST_F(ReadingPackages, ReadsMembersByExactPath)
{
    FileLayer::File file(In("f/a.bvi"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.errorString().toStdString();
    EXPECT_EQ(file.size(), 11);
    EXPECT_EQ(file.readAll(), QByteArray("first image"));
    EXPECT_TRUE(file.atEnd());
    ASSERT_TRUE(file.seek(6));
    EXPECT_EQ(file.read(3), QByteArray("ima"));
    file.close();

    for (const char* missing : {"F/a.bvi", "f/A.bvi", "f", "", "f/zz.bvi"}) {
        SCOPED_TRACE(missing);
        FileLayer::File other(*missing ? In(missing) : package);
        EXPECT_FALSE(other.open(QIODevice::ReadOnly));
        EXPECT_FALSE(other.errorString().isEmpty());
    }
}

TEST_F(ReadingPackages, MembersCannotBeChangedOutsideAnExport)
{
    FileLayer::File file(In("f/a.bvi"));
    EXPECT_FALSE(file.open(QIODevice::WriteOnly));
    EXPECT_FALSE(FileLayer::Remove(In("f/a.bvi")));
    EXPECT_FALSE(FileLayer::Remove(package));
    EXPECT_FALSE(FileLayer::Rename(package, folder.Path(QStringLiteral("q.qelpkg"))));
    EXPECT_FALSE(FileLayer::MakeDir(In("new")));
    EXPECT_FALSE(FileLayer::RemoveDir(In("f")));
    EXPECT_TRUE(QFile::exists(package));
    EXPECT_EQ(FileLayer::EntryList(package, {}, kDirs), QStringList{QStringLiteral("f")});
}

TEST_F(ReadingPackages, ReaderEngineEndsAMemberWithZeroAndContinuesOnASecondOpen)
{
    auto engine = CustomFileSystemEngineHandler::create(In("g/b.bvi"));
    ASSERT_TRUE(engine);
    char buffer[16];
    EXPECT_EQ(engine->read(buffer, 4), -1); // not open
    ASSERT_TRUE(engine->open(QIODevice::ReadOnly));
    EXPECT_EQ(engine->read(buffer, 4), 4);
    EXPECT_TRUE(engine->open(QIODevice::ReadOnly));
    EXPECT_EQ(engine->read(buffer, 16), 2);
    EXPECT_EQ(QByteArray(buffer, 2), QByteArray("nd"));
    EXPECT_EQ(engine->read(buffer, 16), 0);
    EXPECT_FALSE(engine->close());
}

TEST_F(ReadingPackages, AScanWalksTheArchiveOnce)
{
    ArchiveLibInterface::ArchiveIndexCache::Clear();
    const int before = ArchiveLibInterface::ArchiveIndexCache::BuildCount();
    FileLayer::EntryList(package, {}, kDirs);
    FileLayer::EntryList(In("f"), {QStringLiteral("*.bvi")}, kFiles);
    for (const char* member : {"f/a.bvi", "f/config.xml", "g/b.bvi"}) {
        FileLayer::File file(In(member));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    }
    EXPECT_EQ(ArchiveLibInterface::ArchiveIndexCache::BuildCount(), before + 1);

    // A changed archive is walked again.
    archive_test::WriteTar(package, {{QStringLiteral("f/a.bvi"), TarMember::File, "changed, and longer"}});
    FileLayer::File file(In("f/a.bvi"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("changed, and longer"));
    EXPECT_EQ(ArchiveLibInterface::ArchiveIndexCache::BuildCount(), before + 2);
}

TEST(ReadingArchives, PlainTarAndLargeMembersAreRead)
{
    archive_test::Folder folder;
    const QString package = folder.Path(QStringLiteral("fw.qrvpkg"));
    // Larger than the index holds in memory: read by walking to it.
    const QByteArray image = archive_test::RandomBytes(int(ArchiveLimits::kMaxHeldMemberSize) + 4321);
    archive_test::WriteTar(package,
                           {{QStringLiteral("/brevant_fpga.bin"), TarMember::File, image},
                            {QStringLiteral("/Brevant_config.xml"), TarMember::File, "<fpga version=\"7\"/>"}},
                           /*gzip=*/false);
    FileLayer::File fpga(package + QStringLiteral("/brevant_fpga.bin"));
    ASSERT_TRUE(fpga.open(QIODevice::ReadOnly));
    EXPECT_EQ(fpga.readAll(), image);
    FileLayer::File config(package + QStringLiteral("/Brevant_config.xml"));
    ASSERT_TRUE(config.open(QIODevice::ReadOnly | QIODevice::Text));
    EXPECT_EQ(config.readAll(), QByteArray("<fpga version=\"7\"/>"));
}

TEST(ReadingArchives, MembersTheIndexCannotSetAsideAreStillRead)
{
    archive_test::Folder folder;
    const QString package = folder.Path(QStringLiteral("aside.qelpkg"));
    const QList<QByteArray> images = {archive_test::RandomBytes(40000), archive_test::RandomBytes(40000)};
    archive_test::WriteTar(package, {{QStringLiteral("f/a.bvi"), TarMember::File, images[0]},
                                     {QStringLiteral("f/b.bvi"), TarMember::File, images[1]}});
    ArchiveLibInterface::ArchiveIndexCache::Clear();
    // The index's temporary file takes the first member, not the second.
    testing_env::ScopedFileSizeLimit limit(64 * 1024);
    for (int i = 0; i < 2; ++i) {
        FileLayer::File file(package + (i == 0 ? QStringLiteral("/f/a.bvi") : QStringLiteral("/f/b.bvi")));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << i;
        EXPECT_EQ(file.readAll(), images[i]) << i;
    }
    const auto index = ArchiveLibInterface::ArchiveIndexCache::Get(package);
    ASSERT_TRUE(index);
    EXPECT_TRUE(index->Find(QStringLiteral("f/a.bvi"))->held);
    EXPECT_FALSE(index->Find(QStringLiteral("f/b.bvi"))->held);
}

TEST(ReadingArchives, MembersOverTheCapForTheirKindAreRefused)
{
    archive_test::Folder folder;
    const QString package = folder.Path(QStringLiteral("big.qelpkg"));
    archive_test::WriteTar(package,
                           {{QStringLiteral("f/config.xml"), TarMember::File,
                             QByteArray(int(ArchiveLimits::kMaxConfigMemberSize) + 1, ' ')},
                            {QStringLiteral("f/a.bvi"), TarMember::File,
                             QByteArray(int(ArchiveLimits::kMaxImageMemberSize) + 1, 'x')},
                            {QStringLiteral("f/b.bvi"), TarMember::File,
                             QByteArray(int(ArchiveLimits::kMaxImageMemberSize), 'y')}});
    for (const char* member : {"f/config.xml", "f/a.bvi"}) {
        SCOPED_TRACE(member);
        FileLayer::File file(package + QLatin1Char('/') + QString::fromUtf8(member));
        EXPECT_FALSE(file.open(QIODevice::ReadOnly));
    }
    FileLayer::File file(package + QStringLiteral("/f/b.bvi"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.size(), ArchiveLimits::kMaxImageMemberSize);
}

TEST(ReadingArchives, DamagedArchivesGiveWhatCouldBeReadAndNoMore)
{
    archive_test::Folder folder;
    const QString package = folder.Path(QStringLiteral("cut.qelpkg"));
    archive_test::WriteTar(package, {{QStringLiteral("a"), TarMember::Directory, {}},
                                     {QStringLiteral("a/x.bvi"), TarMember::File, "x"},
                                     {QStringLiteral("b"), TarMember::Directory, {}},
                                     {QStringLiteral("b/y.bvi"), TarMember::File, archive_test::RandomBytes(60000)}},
                           /*gzip=*/false);
    EXPECT_TRUE(FileLayer::IsListable(package));
    QFile file(package);
    ASSERT_TRUE(file.resize(file.size() - 40000));
    EXPECT_EQ(FileLayer::EntryList(package, {}, kDirs), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    // What it lists is not all it holds.
    EXPECT_FALSE(FileLayer::IsListable(package));
    EXPECT_FALSE(FileLayer::IsListable(package + QStringLiteral("/a")));
    FileLayer::File first(package + QStringLiteral("/a/x.bvi"));
    EXPECT_TRUE(first.open(QIODevice::ReadOnly));
    FileLayer::File cut(package + QStringLiteral("/b/y.bvi"));
    EXPECT_FALSE(cut.open(QIODevice::ReadOnly));

    const QString garbage = folder.Path(QStringLiteral("garbage.qelpkg"));
    QFile junk(garbage);
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(archive_test::RandomBytes(3000));
    junk.close();
    EXPECT_TRUE(FileLayer::Exists(garbage));
    EXPECT_EQ(FileLayer::EntryList(garbage, {}, kDirs | kFiles), QStringList());
    EXPECT_FALSE(FileLayer::Exists(garbage + QStringLiteral("/a")));
    EXPECT_FALSE(FileLayer::IsListable(garbage));
    EXPECT_FALSE(FileLayer::IsListable(folder.Path(QStringLiteral("missing.qelpkg"))));
    // Plain folders: a directory is, a file is not.
    EXPECT_TRUE(FileLayer::IsListable(folder.Root()));
    QFile plain(folder.Path(QStringLiteral("plain.txt")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    EXPECT_FALSE(FileLayer::IsListable(plain.fileName()));
}

// Restores the process's character-type locale when it goes.
class ScopedCTypeLocale
{
public:
    explicit ScopedCTypeLocale(const char* locale) : previous_(std::setlocale(LC_CTYPE, nullptr))
    {
        std::setlocale(LC_CTYPE, locale);
    }
    ~ScopedCTypeLocale() { std::setlocale(LC_CTYPE, previous_.c_str()); }

private:
    std::string previous_;
};

TEST(ReadingArchives, NonAsciiNamesSurviveAnyLocale)
{
    archive_test::Folder folder;
    const QString package = folder.Path(QStringLiteral("names.qelpkg"));
    const QString name = QStringLiteral("Grün Œuvre");
    archive_test::WriteTar(package, {{name, TarMember::Directory, {}},
                                     {name + QStringLiteral("/ä.bvi"), TarMember::File, "a"}});
    for (const char* locale : {"C", "C.UTF-8"}) {
        SCOPED_TRACE(locale);
        ScopedCTypeLocale scope(locale);
        ArchiveLibInterface::ArchiveIndexCache::Clear();
        EXPECT_EQ(FileLayer::EntryList(package, {}, kDirs), QStringList{name});
        EXPECT_EQ(FileLayer::EntryList(package + QLatin1Char('/') + name, {}, kFiles), QStringList{QStringLiteral("ä.bvi")});
        FileLayer::File file(package + QLatin1Char('/') + name + QStringLiteral("/ä.bvi"));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    }
}

} // namespace
