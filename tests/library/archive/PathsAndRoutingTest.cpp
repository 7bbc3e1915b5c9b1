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

// Names from outside (fixtures, config.xml, archives, the user) reach paths only through
// the file layer's one door, which keeps them inside their folder.
TEST(FileLayerPaths, NamesThatWouldLeaveTheirFolderAreRefused)
{
    archive_test::Folder folder;
    QDir::setSearchPaths(QStringLiteral("NameTestRoot"), {folder.Root()});
    const QString library = folder.Path(QStringLiteral("lib"));
    ASSERT_TRUE(QDir().mkpath(library + QStringLiteral("/pkg")));
    const QStringList refused = {
        QString(), QStringLiteral("."), QStringLiteral(".."), QStringLiteral("../../etc/x"), QStringLiteral("a/b"),
        QStringLiteral("a\\b"), QStringLiteral("/etc/x"), QString::fromUtf8("a\0b", 3), QStringLiteral("NameTestRoot:x"),
    };
    for (const QString& name : refused) {
        SCOPED_TRACE(name.toStdString());
        const ArchiveResult check = FileLayer::CheckName(name);
        EXPECT_FALSE(check.Ok());
        EXPECT_TRUE(check.Message().contains(QStringLiteral("cannot be used as a file or folder name"))) << check.Message().toStdString();
        QString error;
        EXPECT_EQ(FileLayer::ChildPath(library + QStringLiteral("/pkg"), name, &error), QString());
        EXPECT_EQ(error, check.Message());

        const FileLayer::Dir dir(library + QStringLiteral("/pkg"));
        EXPECT_EQ(dir.filePath(name), QString());
        EXPECT_FALSE(dir.mkdir(name));
        EXPECT_FALSE(dir.exists(name));
        EXPECT_FALSE(dir.remove(name));
        FileLayer::File file(dir.filePath(name));
        EXPECT_FALSE(file.open(QIODevice::WriteOnly));
        const FileLayer::Dir beyond(dir.filePath(name));
        EXPECT_FALSE(beyond.exists()) << "a refused name is no folder, not the current one";
        EXPECT_TRUE(beyond.entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
        // Inside a package the same.
        EXPECT_EQ(FileLayer::Dir(library + QStringLiteral("/p.qelpkg")).filePath(name), QString());
    }
    EXPECT_EQ(QDir(folder.Root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"lib"})
        << "nothing was made outside the folder";

    for (const QString& name : {QStringLiteral("Stage left"), QStringLiteral("a.bvi"), QStringLiteral("..a"),
                                QStringLiteral("x.."), QStringLiteral("Stage: left")}) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_TRUE(FileLayer::CheckName(name).Ok());
        EXPECT_EQ(FileLayer::Dir(library).filePath(name), library + QLatin1Char('/') + name);
    }
    FileLayer::Dir dir(library);
    EXPECT_TRUE(dir.cd(QStringLiteral("pkg")));
    EXPECT_FALSE(dir.cd(QStringLiteral("../..")));
    EXPECT_TRUE(dir.cd(QStringLiteral("..")));
    EXPECT_EQ(dir.path(), library);
    QDir::setSearchPaths(QStringLiteral("NameTestRoot"), {});
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
    const QString archive = Path("nested.qelpkg");
    const QString destination = archive + QStringLiteral("/a");
    ASSERT_FALSE(Handler::ArchiveWriterMode());
    {
        Handler::ArchiveReaderEnabler reading(archive);
        EXPECT_FALSE(Handler::ArchiveWriterMode());
        {
            Handler::ArchiveWriterEnabler writing(archive);
            EXPECT_TRUE(Handler::ArchiveWriterMode());
            EXPECT_EQ(Route(destination), Kind::Writer);
            {
                Handler::ArchiveReaderEnabler innerReading(archive);
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

// Enablers are counted per archive: whatever order they end in, each takes away only its
// own say, and an import of one package leaves the export of another alone.
TEST_F(Routing, EnablersEndingInAnyOrderRestoreExactlyTheStateBefore)
{
    const QString exported = Path("export.qelpkg");
    const QString imported = Path("import.qelpkg");
    const QString member = QStringLiteral("/f/a.bvi");
    auto writing = std::make_unique<Handler::ArchiveWriterEnabler>(exported);
    auto reading = std::make_unique<Handler::ArchiveReaderEnabler>(imported);
    EXPECT_EQ(Route(exported + member), Kind::Writer) << "an import elsewhere leaves the export alone";
    EXPECT_EQ(Route(imported + member), Kind::Reader);
    auto readingTheExport = std::make_unique<Handler::ArchiveReaderEnabler>(exported);
    EXPECT_EQ(Route(exported + member), Kind::Reader) << "an import of the package being written reads it";

    // The export ends first, then the imports, the older one first.
    writing->Discard();
    writing.reset();
    EXPECT_EQ(Route(exported + member), Kind::Reader);
    reading.reset();
    readingTheExport.reset();
    EXPECT_FALSE(Handler::ArchiveWriterMode());
    EXPECT_EQ(Route(exported + member), Kind::Reader) << "no package stays in writer mode";

    // Two exports of one package, ended in the order they began: writing until the last.
    auto first = std::make_unique<Handler::ArchiveWriterEnabler>(exported);
    auto second = std::make_unique<Handler::ArchiveWriterEnabler>(exported);
    first->Discard();
    first.reset();
    EXPECT_EQ(Route(exported + member), Kind::Writer);
    second->Discard();
    second.reset();
    EXPECT_EQ(Route(exported + member), Kind::Reader);
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
