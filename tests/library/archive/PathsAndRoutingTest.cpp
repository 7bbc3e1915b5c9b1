// How names are split, matched and routed to the archive engines.

#include "library/archive/ArchivePaths.h"
#include "library/archive/CustomFileSystemEngineHandler.h"
#include "library/archive/FileLayer.h"
#include "tests/library/archive/ArchiveTestSupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using Handler = CustomFileSystemEngineHandler;
using Kind = ArchiveEngine::Kind;

namespace {

struct SplitCase
{
    const char* name;
    bool package;
    const char* extension;
    const char* archivePath;
    const char* archiveFile;
    const char* innerPath;
};

TEST(ArchivePaths, SplitsNamesAtThePackageExtension)
{
    const SplitCase cases[] = {
        {"C:/X/Pack.QELPKG/a", true, ".qelpkg", "C:/X/Pack.QELPKG", "C:/X/Pack.QELPKG", "a"},
        {"/lib/p.qelpkg", true, ".qelpkg", "/lib/p.qelpkg", "/lib/p.qelpkg", ""},
        {"/lib/p.qelpkg/", true, ".qelpkg", "/lib/p.qelpkg", "/lib/p.qelpkg", ""},
        {"/lib/p.qelpkg//f/./a.bvi", true, ".qelpkg", "/lib/p.qelpkg", "/lib/p.qelpkg", "f/a.bvi"},
        {"c:/x/a.qrvpkg/b", true, ".qrvpkg", "c:/x/a.qrvpkg", "c:/x/a.qrvpkg", "b"},
        {"decode#/s/b.qelpkg/f/a.bvi", true, ".qelpkg", "decode#/s/b.qelpkg", "/s/b.qelpkg", "f/a.bvi"},
        {"/m/c.CindralCollage/f", true, ".cindralcollage", "/m/c.CindralCollage", "/m/c.CindralCollage", "f"},
        // Both extensions: the content-package row is tested first.
        {"/x/a.qrvpkg/b.qelpkg/c", true, ".qelpkg", "/x/a.qrvpkg/b.qelpkg", "/x/a.qrvpkg/b.qelpkg", "c"},
        // The extension must end a path component.
        {"/x/a.qelpkgs/b", false, "", "", "", ""},
        {"/x/plain/file.txt", false, "", "", "", ""},
        // A member path may not climb out of its archive.
        {"/x/p.qelpkg/../y", false, "", "", "", ""},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto parts = ArchivePaths::SplitPackagePath(QString::fromUtf8(c.name));
        ASSERT_EQ(parts.has_value(), c.package);
        if (!parts)
            continue;
        EXPECT_EQ(parts->extension, QString::fromUtf8(c.extension));
        EXPECT_EQ(parts->archivePath, QString::fromUtf8(c.archivePath));
        EXPECT_EQ(parts->archiveFile, QString::fromUtf8(c.archiveFile));
        EXPECT_EQ(parts->innerPath, QString::fromUtf8(c.innerPath));
    }
}

TEST(ArchivePaths, WildcardsMatchLikeFnmatchWithoutPathnameIgnoringCase)
{
    const struct
    {
        const char* pattern;
        const char* text;
        bool matches;
    } cases[] = {
        {"*.bvi", "f/a.bvi", true}, // '*' crosses '/'
        {"*.BVI", "f/a.bvi", true},
        {"*.bvi", "f/a.cdli", false},
        {"f*", "f/a.bvi", true},
        {"a.bvi", "f/a.bvi", false}, // the whole member path must match
        {"?.bvi", "a.bvi", true},
        {"?.bvi", "ab.bvi", false},
        {"[ab].bvi", "B.bvi", true},
        {"[!a].bvi", "a.bvi", false},
        {"[^a].bvi", "c.bvi", true},
        {"[a-c]x", "bx", true},
        {"[a-c]x", "dx", false},
        {"[]]x", "]x", true},
        {"\\*.bvi", "*.bvi", true},
        {"\\*.bvi", "a.bvi", false},
        {"[x", "[x", true}, // an unclosed set is a plain '['
        {"a.b(c)+", "A.B(C)+", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " ~ " + c.text);
        EXPECT_EQ(ArchivePaths::MatchesWildcard(QString::fromUtf8(c.pattern), QString::fromUtf8(c.text)),
                  c.matches);
    }
}

TEST(ArchivePaths, DirectChildren)
{
    const struct
    {
        const char* path;
        const char* parent;
        const char* child;
    } cases[] = {
        {"/f", "", "f"},    {"f/", "", "f"},           {"f", "", "f"},
        {"f/a.bvi", "f", "a.bvi"}, {"F/a.bvi", "f", "a.bvi"}, {"f/a.bvi", "", ""},
        {"f", "f", ""},     {"g/a.bvi", "f", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " below " + c.parent);
        EXPECT_EQ(ArchivePaths::DirectChildName(QString::fromUtf8(c.path), QString::fromUtf8(c.parent)),
                  QString::fromUtf8(c.child));
    }
}

TEST(FileLayerPaths, BaseAndFileNames)
{
    EXPECT_EQ(FileLayer::BaseName(QStringLiteral("C:/Lib/p.qelpkg/f/a.b.bvi")), QStringLiteral("a"));
    EXPECT_EQ(FileLayer::BaseName(QStringLiteral("C:/Lib/p.qelpkg")), QStringLiteral("p"));
    EXPECT_EQ(FileLayer::BaseName(QStringLiteral("decode#/x/brevant_stock_content.qelpkg")),
              QStringLiteral("brevant_stock_content"));
    EXPECT_EQ(FileLayer::FileName(QStringLiteral("/lib/p.qelpkg/f/")), QStringLiteral("f"));
    EXPECT_EQ(FileLayer::FilePath(QStringLiteral("decode#/s/p.qelpkg"), QStringLiteral("f/../g/a.bvi")),
              QStringLiteral("decode#/s/p.qelpkg/g/a.bvi"));
    EXPECT_EQ(FileLayer::FilePath(QStringLiteral("/a"), QStringLiteral("/b/c")), QStringLiteral("/b/c"));
}

// ---------------------------------------------------------------------------------------

std::optional<Kind> Route(const QString& name)
{
    const auto engine = Handler::create(name);
    return engine ? std::optional<Kind>(engine->EngineKind()) : std::nullopt;
}

class Routing : public testing::Test
{
protected:
    archive_test::Folder folder;
    QString Path(const char* name) const { return folder.Path(QString::fromUtf8(name)); }
};

TEST_F(Routing, ReaderModeChoosesReadersByName)
{
    EXPECT_EQ(Route(QStringLiteral("/x/Pack.QELPKG/a")), Kind::Reader);
    EXPECT_EQ(Route(QStringLiteral("decode#/x/pack.qelpkg/a")), Kind::EncryptedReader);
    // Only content packages are decoded.
    EXPECT_EQ(Route(QStringLiteral("decode#/x/c.brevantcollage/a")), Kind::Reader);
    EXPECT_EQ(Route(QStringLiteral("/x/a.qrvpkg/b")), Kind::Reader);
    EXPECT_EQ(Route(QStringLiteral("/x/a/b.bvi")), std::nullopt);
}

TEST_F(Routing, WriterModeCoversOnlyTheDestinationArchive)
{
    const QString destination = Path("out.qelpkg");
    const QString collage = Path("out.brevantcollage");
    const QString firmware = Path("fw.qrvpkg");
    Handler::ArchiveWriterEnabler writing(destination);
    Handler::ArchiveWriterEnabler writingCollage(collage);
    EXPECT_TRUE(Handler::ArchiveWriterMode());
    EXPECT_EQ(Route(destination + QStringLiteral("/f/a.bvi")), Kind::Writer);
    EXPECT_EQ(Route(QStringLiteral("decode#") + destination + QStringLiteral("/f/a.bvi")), Kind::Writer);
    EXPECT_EQ(Route(collage + QStringLiteral("/f")), Kind::Writer);
    // Every other package is still read, the firmware packages always.
    EXPECT_EQ(Route(Path("other.qelpkg/f/a.bvi")), Kind::Reader);
    EXPECT_EQ(Route(QStringLiteral("decode#") + Path("stock.qelpkg/f/a.bvi")), Kind::EncryptedReader);
    Handler::ArchiveWriterEnabler firmwareWriting(firmware);
    EXPECT_EQ(Route(firmware + QStringLiteral("/b.bin")), Kind::Reader);
    EXPECT_FALSE(firmwareWriting.Commit().Ok());
    writing.Discard();
    writingCollage.Discard();
}

TEST_F(Routing, DestinationsMatchWhateverSpellingOfTheirPath)
{
    QDir::setSearchPaths(QStringLiteral("RoutingRoot"), {folder.Root()});
    Handler::ArchiveWriterEnabler writing(QStringLiteral("RoutingRoot:out.qelpkg"));
    EXPECT_EQ(Route(Path("out.qelpkg/a")), Kind::Writer);
    EXPECT_EQ(Route(Path("sub/../out.qelpkg/a")), Kind::Writer);
    EXPECT_TRUE(Handler::IsWriterDestination(QStringLiteral("decode#") + Path("out.qelpkg")));
    writing.Discard();
    QDir::setSearchPaths(QStringLiteral("RoutingRoot"), {});
}

TEST_F(Routing, EncryptedDestinationsGetTheRecordWriter)
{
    const QString destination = Path("stock.qelpkg");
    Handler::ArchiveWriterEnabler writing(destination, Handler::MemberEncoding::EncryptedRecords);
    EXPECT_EQ(Route(destination + QStringLiteral("/f/a.bvi")), Kind::EncryptedWriter);
    writing.Discard();
}

TEST_F(Routing, NestedEnablersRestoreThePreviousMode)
{
    const QString destination = Path("nested.qelpkg/a");
    ASSERT_FALSE(Handler::ArchiveWriterMode());
    {
        Handler::ArchiveReaderEnabler reading;
        EXPECT_FALSE(Handler::ArchiveWriterMode());
        {
            Handler::ArchiveWriterEnabler writing(Path("nested.qelpkg"));
            EXPECT_TRUE(Handler::ArchiveWriterMode());
            EXPECT_EQ(Route(destination), Kind::Writer);
            {
                Handler::ArchiveReaderEnabler innerReading;
                EXPECT_FALSE(Handler::ArchiveWriterMode());
                EXPECT_EQ(Route(destination), Kind::Reader);
            }
            EXPECT_TRUE(Handler::ArchiveWriterMode());
            writing.Discard();
        }
        EXPECT_FALSE(Handler::ArchiveWriterMode());
    }
    EXPECT_FALSE(Handler::ArchiveWriterMode());
}

TEST_F(Routing, SuspendersTurnRoutingOffAndNest)
{
    {
        Handler::Suspender outer;
        {
            Handler::Suspender inner;
            EXPECT_EQ(Route(QStringLiteral("c:/x/a.qelpkg/b.bvi")), std::nullopt);
        }
        // The outer scope still holds routing off.
        EXPECT_FALSE(Handler::ArchiveHandlerActive());
    }
    EXPECT_TRUE(Handler::ArchiveHandlerActive());
    EXPECT_EQ(Route(QStringLiteral("c:/x/a.qelpkg/b.bvi")), Kind::Reader);
}

TEST_F(Routing, AFolderNamedLikeAPackageIsAPlainFolder)
{
    ASSERT_TRUE(QDir().mkpath(Path("looks.qelpkg/inner")));
    EXPECT_EQ(Route(Path("looks.qelpkg/inner")), std::nullopt);
    EXPECT_EQ(FileLayer::EntryList(Path("looks.qelpkg"), {}, QDir::Dirs | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("inner")});
}

TEST_F(Routing, SearchPathPrefixesResolveAsQtResolvesThem)
{
    archive_test::Folder second;
    QDir::setSearchPaths(QStringLiteral("VelTestRoot"), {folder.Root(), second.Root()});
    archive_test::WriteTar(second.Path("p.qelpkg"), {{QStringLiteral("f/a.bvi"), archive_test::TarMember::File, "x"}});

    // The first folder in which the rest exists...
    EXPECT_EQ(FileLayer::ResolveSearchPath(QStringLiteral("VelTestRoot:p.qelpkg/f/a.bvi")),
              second.Path("p.qelpkg/f/a.bvi"));
    EXPECT_EQ(FileLayer::ResolveSearchPath(QStringLiteral("decode#VelTestRoot:p.qelpkg")),
              QStringLiteral("decode#") + second.Path("p.qelpkg"));
    EXPECT_TRUE(FileLayer::IsFile(QStringLiteral("VelTestRoot:p.qelpkg/f/a.bvi")));
    // ... else the last; "." names the folder itself; unknown prefixes stay as they are.
    EXPECT_EQ(FileLayer::ResolveSearchPath(QStringLiteral("VelTestRoot:none")), second.Path("none"));
    EXPECT_EQ(FileLayer::Dir(QStringLiteral("VelTestRoot:.")).absolutePath(), folder.Root());
    EXPECT_EQ(FileLayer::ResolveSearchPath(QStringLiteral("NoSuchRoot:x")), QStringLiteral("NoSuchRoot:x"));
    QDir::setSearchPaths(QStringLiteral("VelTestRoot"), {});
}

} // namespace
