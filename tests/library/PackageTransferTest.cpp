// Packages and collages exported to archives and imported back, as the export and import
// actions run them.
#include "content/operations/ContentOperation.h"
#include "content/policies/NamedPolicies.h"
#include "library/PackageTransfer.h"
#include "library/config/StoreHold.h"
#include "library/mosavra/MosavraContentLibraryRoot.h"
#include "library/user/ContentLibraryRoot.h"
#include "link/ui/OperationDialog.h"
#include "tests/library/LibraryTestSupport.h"
#include "tests/library/archive/ArchiveTestSupport.h"

#include <QFile>
#include <QStandardPaths>
#include <QThread>

using namespace library_test;

namespace {

// Runs an operation on the calling thread, as a test runner.
bool RunHere(ContentOperation& operation)
{
    FeedbackRecorder feedback;
    const int result = operation.Run(&feedback);
    EXPECT_TRUE(feedback.Texts(FeedbackError).isEmpty()) << feedback.Texts().join(u'\n').toStdString();
    return result == 0;
}

// Runs an operation as the program does: on the operation dialog's worker thread.
bool RunInDialog(ContentOperation& operation)
{
    OperationDialog dialog;
    return dialog.Run(&operation);
}

// The user library in "lib" with the Cindral package "Show": F1 at 41 (a at 10, b at 0),
// F2 at 45 (c at 1).
class Transfers : public LibraryFolder
{
protected:
    Transfers() : root_(std::make_unique<ContentLibraryRoot>(Folder(QStringLiteral("lib"))))
    {
        EXPECT_TRUE(root_->CreateFolder(QStringLiteral("Show"), 0, 1, nullptr));
        show_ = qobject_cast<ContentLibraryPackage*>(ChildNamed(root_.get(), QStringLiteral("Show")));
        EXPECT_TRUE(show_->CreateFolder(QStringLiteral("F1"), 41, 0, nullptr));
        EXPECT_TRUE(show_->CreateFolder(QStringLiteral("F2"), 45, 0, nullptr));
        Add(QStringLiteral("F1"), QStringLiteral("a"), 10, 3);
        Add(QStringLiteral("F1"), QStringLiteral("b"), 0, 1);
        Add(QStringLiteral("F2"), QStringLiteral("c"), 1, 2);
    }

    void Add(const QString& folder, const QString& name, int address, int frames)
    {
        auto image = MakeImage<CindralImage>(name, 0, frames, 40 * frames);
        image->SetAddress(address);
        auto* target = static_cast<ContentFolder*>(ChildNamed(show_, folder));
        ASSERT_TRUE(target->AddChild({image.get()}, nullptr));
        image.release();
    }

    // "folder/item" -> key, frame count, first frame's time, over a package.
    static QStringList Summary(ContentFolder* package)
    {
        QStringList lines;
        for (int f = 0; f < package->ChildCount(); ++f) {
            auto* folder = static_cast<ContentFolder*>(package->Child(f));
            for (int i = 0; i < folder->ChildCount(); ++i) {
                auto* image = qobject_cast<CindralImage*>(folder->Child(i));
                if (!image) {
                    lines.append(QStringLiteral("not a Cindral image"));
                    continue;
                }
                lines.append(QStringLiteral("%1@%2/%3@%4 key %5 frames %6 %7ms")
                                 .arg(folder->GetName())
                                 .arg(folder->GetAddress())
                                 .arg(image->GetName())
                                 .arg(image->GetAddress())
                                 .arg(image->Key())
                                 .arg(image->FrameCount())
                                 .arg(image->GetFrame(0)->duration));
            }
        }
        lines.sort();
        return lines;
    }

    std::unique_ptr<ContentLibraryRoot> root_;
    ContentLibraryPackage* show_ = nullptr;
};

TEST_F(Transfers, APackageGoesOutAsAGzipUstarArchiveAndComesBackWhole)
{
    const QString archive = Path(QStringLiteral("Show.qelpkg"));
    ASSERT_TRUE(PackageTransfer::ExportPackage(show_, archive, RunHere).Ok());

    ASSERT_TRUE(archive_test::StartsWithGzipMagic(archive));
    QStringList directories;
    QStringList files;
    QByteArray f1Config;
    for (const archive_test::ListedMember& member : archive_test::ReadTar(archive)) {
        (member.directory ? directories : files).append(member.path);
        if (member.path == QStringLiteral("F1/config.xml"))
            f1Config = member.data;
    }
    EXPECT_EQ(directories.size(), 2);
    files.sort();
    EXPECT_EQ(files, (QStringList{"F1/a.cdli", "F1/b.cdli", "F1/config.xml", "F2/c.cdli", "F2/config.xml", "config.xml"}));
    // The copy gave b the folder's default address.
    EXPECT_TRUE(f1Config.contains(R"(<content name="a" address="10"/>)")) << f1Config.toStdString();
    EXPECT_TRUE(f1Config.contains(R"(<content name="b" address="1"/>)")) << f1Config.toStdString();

    // tar reads it, and its headers are ustar's.
    const QString tar = QStandardPaths::findExecutable(QStringLiteral("tar"));
    const QString gzip = QStandardPaths::findExecutable(QStringLiteral("gzip"));
    if (!tar.isEmpty() && !gzip.isEmpty()) {
        int exitCode = -1;
        const QByteArray listing = archive_test::RunProgram(tar, {QStringLiteral("-tzf"), archive}, &exitCode);
        EXPECT_EQ(exitCode, 0);
        EXPECT_EQ(QString::fromUtf8(listing).split(u'\n', Qt::SkipEmptyParts).size(), 8);
        const QByteArray plain = archive_test::RunProgram(gzip, {QStringLiteral("-dc"), archive}, &exitCode);
        EXPECT_EQ(plain.mid(257, 5), QByteArray("ustar"));
    }

    // Imported into an empty library, through the operation dialog's worker thread.
    ContentLibraryRoot other(Folder(QStringLiteral("other")));
    ASSERT_TRUE(PackageTransfer::ImportPackage(archive, &other, RunInDialog).Ok());
    auto* imported = qobject_cast<ContentLibraryPackage*>(ChildNamed(&other, QStringLiteral("Show")));
    ASSERT_NE(imported, nullptr);
    EXPECT_EQ(imported->Policy(), CINDRALContentPackagePolicy::Instance());
    EXPECT_EQ(imported->thread(), other.thread());
    EXPECT_EQ(imported->Child(0)->thread(), other.thread());
    QStringList expected = Summary(show_);
    expected.replaceInStrings(QStringLiteral("/b@0 "), QStringLiteral("/b@1 "));
    EXPECT_EQ(Summary(imported), expected);
    ContentLibraryRoot reread(Path(QStringLiteral("other")));
    EXPECT_EQ(Summary(static_cast<ContentFolder*>(reread.Child(0))), expected);
}

TEST_F(Transfers, AFailedExportLeavesTheOldArchiveAndAnEmptyPackageIsNotExported)
{
    const QString archive = Path(QStringLiteral("old.qelpkg"));
    WriteBytes(archive, "the old archive");
    const ArchiveResult failed =
        PackageTransfer::ExportPackage(show_, archive, [](ContentOperation&) { return false; });
    EXPECT_FALSE(failed.Ok());
    EXPECT_EQ(failed.Message(), QStringLiteral("The export of Show did not complete"));
    EXPECT_EQ(ReadBytes(archive), QByteArray("the old archive"));

    ASSERT_TRUE(root_->CreateFolder(QStringLiteral("Empty"), 0, 0, nullptr));
    const ArchiveResult empty =
        PackageTransfer::ExportPackage(static_cast<ContentFolder*>(ChildNamed(root_.get(), QStringLiteral("Empty"))),
                                       Path(QStringLiteral("empty.qelpkg")), RunHere);
    EXPECT_EQ(empty.Message(), QStringLiteral("Empty is empty: there is nothing to export"));
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("empty.qelpkg"))));
}

TEST_F(Transfers, AnImportedPackageIsNamedAfterTheArchiveLessItsExtension)
{
    const QString archive = Path(QStringLiteral("Show.v2.qelpkg"));
    ASSERT_TRUE(PackageTransfer::ExportPackage(show_, archive, RunHere).Ok());
    ASSERT_TRUE(PackageTransfer::ImportPackage(archive, root_.get(), RunHere).Ok());
    EXPECT_EQ(Describe(root_.get()), (QStringList{"Show@0", "Show.v2@0"}));
    EXPECT_TRUE(QFile::exists(Path(QStringLiteral("lib/Show.v2/F2/c.cdli"))));
}

TEST_F(Transfers, AFileThatIsNoPackageIsNotImported)
{
    const QString junk = Path(QStringLiteral("junk.qelpkg"));
    WriteBytes(junk, "no archive at all");
    bool ran = false;
    const auto run = [&ran](ContentOperation&) { return ran = true; };
    for (const QString& path : {junk, Path(QStringLiteral("missing.qelpkg")), QString()}) {
        const ArchiveResult result = PackageTransfer::ImportPackage(path, root_.get(), run);
        EXPECT_FALSE(result.Ok());
        EXPECT_TRUE(result.Message().contains(QStringLiteral("can't be read as a package")));
    }
    EXPECT_FALSE(ran);
    EXPECT_EQ(Describe(root_.get()), QStringList{"Show@0"});
}

// An import stopped part-way takes back the package it began: the library is as before.
TEST_F(Transfers, AnImportStoppedPartWayLeavesNoPackageBehind)
{
    const QString archive = Path(QStringLiteral("Late.qelpkg"));
    ASSERT_TRUE(PackageTransfer::ExportPackage(show_, archive, RunHere).Ok());
    QStringList runs;
    const auto run = [&runs](ContentOperation& operation) {
        runs.append(operation.Title());
        FeedbackRecorder feedback;
        if (runs.size() == 1)
            feedback.CancelOnText(QStringLiteral("Copying c"));
        return operation.Run(&feedback) == 0;
    };
    const ArchiveResult result = PackageTransfer::ImportPackage(archive, root_.get(), run);
    EXPECT_EQ(result.Message(), QStringLiteral("The import of Late did not complete"));
    ASSERT_EQ(runs.size(), 2);
    EXPECT_TRUE(runs[1].startsWith(QStringLiteral("Deleting"))) << runs[1].toStdString();
    EXPECT_EQ(Describe(root_.get()), QStringList{"Show@0"});
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("lib/Late"))));
    EXPECT_EQ(Describe(std::make_unique<ContentLibraryRoot>(Path(QStringLiteral("lib"))).get()), QStringList{"Show@0"});
}

// While a hold lives, the config.xml files of folders made below its top stay in memory
// (and are read from there); the existing folders beside them are written as before.
TEST_F(Transfers, AConfigHoldWritesTheFilesOfNewFoldersOnceAtTheEnd)
{
    const QString newPackage = Path(QStringLiteral("lib/New/config.xml"));
    const QString newFolder = Path(QStringLiteral("lib/New/F/config.xml"));
    {
        LibraryConfig::StoreHold hold(root_->DirPath(), LibraryConfig::StoreHold::Top::Excluded);
        ASSERT_TRUE(root_->CreateFolder(QStringLiteral("New"), 0, 1, nullptr));
        auto* created = static_cast<ContentFolder*>(ChildNamed(root_.get(), QStringLiteral("New")));
        ASSERT_TRUE(created->CreateFolder(QStringLiteral("F"), 42, 0, nullptr));
        auto image = MakeImage<CindralImage>(QStringLiteral("n"), 0, 1, 40);
        image->SetAddress(3);
        ASSERT_TRUE(static_cast<ContentFolder*>(created->Child(0))->AddChild({image.get()}, nullptr));
        image.release();
        Add(QStringLiteral("F2"), QStringLiteral("d"), 9, 1);

        EXPECT_FALSE(QFile::exists(newPackage));
        EXPECT_FALSE(QFile::exists(newFolder));
        EXPECT_TRUE(ReadBytes(Path(QStringLiteral("lib/config.xml"))).contains("\"New\""));
        EXPECT_TRUE(ReadBytes(Path(QStringLiteral("lib/Show/F2/config.xml"))).contains("\"d\""));
        // A node read meanwhile sees what is held.
        ContentLibraryRoot rereadRoot(Path(QStringLiteral("lib")));
        EXPECT_EQ(Describe(static_cast<ContentFolder*>(ChildNamed(&rereadRoot, QStringLiteral("New")))),
                  QStringList{"F@42"});
        ASSERT_TRUE(hold.Write().Ok());
    }
    EXPECT_TRUE(ReadBytes(newFolder).contains(R"(<content name="n" address="3"/>)"));
    ContentLibraryRoot reread(Path(QStringLiteral("lib")));
    ASSERT_EQ(Summary(static_cast<ContentFolder*>(ChildNamed(&reread, QStringLiteral("New")))).size(), 1);
    EXPECT_TRUE(Summary(static_cast<ContentFolder*>(ChildNamed(&reread, QStringLiteral("New"))))[0].startsWith(
        QStringLiteral("F@42/n@3 ")));
}

// A package whose archive breaks off is not taken for the part before the break.
TEST_F(Transfers, ADamagedPackageIsNotImportedInPart)
{
    using archive_test::TarMember;
    const QString archive = Path(QStringLiteral("cut.qelpkg"));
    const QByteArray image = ReadBytes(Path(QStringLiteral("lib/Show/F1/a.cdli")));
    archive_test::WriteTar(archive,
                           {{QStringLiteral("config.xml"), TarMember::File,
                             R"(<objects policy="CINDRALContentPackagePolicy"><folder name="F1" address="41"/></objects>)"},
                            {QStringLiteral("F1"), TarMember::Directory, {}},
                            {QStringLiteral("F1/a.cdli"), TarMember::File, image},
                            {QStringLiteral("F2"), TarMember::Directory, {}},
                            {QStringLiteral("F2/big.cdli"), TarMember::File, archive_test::RandomBytes(60000)}},
                           /*gzip=*/false);
    {
        ContentLibraryPackageFile whole(BREVANTContentPackagePolicy::Instance(), nullptr, QStringLiteral("cut"), archive);
        EXPECT_EQ(Describe(&whole), (QStringList{"F1@41", "F2@0"}));
        EXPECT_TRUE(static_cast<ContentFolder*>(whole.Child(0))->ChildrenRead());
        EXPECT_FALSE(static_cast<ContentFolder*>(whole.Child(1))->ChildrenRead()) << "its member is no image";
    }
    QFile file(archive);
    ASSERT_TRUE(file.resize(file.size() - 40000));
    ContentLibraryPackageFile cut(BREVANTContentPackagePolicy::Instance(), nullptr, QStringLiteral("cut"), archive);
    EXPECT_FALSE(cut.ChildrenRead());

    bool ran = false;
    const ArchiveResult result =
        PackageTransfer::ImportPackage(archive, root_.get(), [&ran](ContentOperation&) { return ran = true; });
    EXPECT_EQ(result.Message(), QStringLiteral("\"%1\" can't be read whole: cut could not be read").arg(archive));
    EXPECT_FALSE(ran);
    EXPECT_EQ(Describe(root_.get()), QStringList{"Show@0"});
}

// A collage exported, removed and imported again comes back as it was.
TEST_F(Transfers, ACollageComesBackFromItsArchive)
{
    ScopedSearchPath roots(QStringLiteral("MosavraContentLibraryRoot"), Folder(QStringLiteral("mosavra")));
    MosavraContentLibraryRoot::DestroyInstance();
    MosavraContentLibraryPackage* brevant = MosavraContentLibraryRoot::Instance()->Package(0);
    auto seven = MakeImage<BrevantImage>(QStringLiteral("x"), 7, 2);
    auto twelve = MakeImage<BrevantImage>(QStringLiteral("y"), 12, 1);
    const QList<quint32> keys{seven->Key(), twelve->Key()};
    ASSERT_TRUE(brevant->CreateFolder(QStringLiteral("Stage"), 3, {seven.release(), twelve.release()}));

    const QString archive = Path(QStringLiteral("s.brevantcollage"));
    ASSERT_TRUE(PackageTransfer::ExportPackage(brevant, archive, RunHere).Ok());

    auto* stage = static_cast<ContentFolder*>(ChildNamed(brevant, QStringLiteral("Stage")));
    while (stage->ChildCount() > 0)
        ASSERT_TRUE(stage->RemoveChild(stage->Child(0), nullptr));
    ASSERT_TRUE(brevant->RemoveChild(stage, nullptr));
    ASSERT_EQ(brevant->ChildCount(), 0);

    ASSERT_TRUE(PackageTransfer::ImportCollages(archive, brevant, RunHere).Ok());
    ASSERT_EQ(Describe(brevant), QStringList{"Stage@3"});
    stage = static_cast<ContentFolder*>(brevant->Child(0));
    ASSERT_EQ(Describe(stage), (QStringList{"Stage_12@3", "Stage_7@3"}));
    EXPECT_EQ(stage->Child(0)->GetMosavraID(), 12);
    EXPECT_EQ(stage->Child(1)->GetMosavraID(), 7);
    EXPECT_EQ(static_cast<Content*>(stage->Child(1))->Key(), keys.at(0));
    EXPECT_EQ(static_cast<BrevantImage*>(stage->Child(1))->FrameCount(), 2);

    // Imported again, it is made unique next to itself.
    ASSERT_TRUE(PackageTransfer::ImportCollages(archive, brevant, RunHere).Ok());
    EXPECT_EQ(Describe(brevant), (QStringList{"Stage@3", "Stage (2)@4"}));
    EXPECT_EQ(Describe(static_cast<ContentFolder*>(brevant->Child(1))), (QStringList{"Stage (2)_12@4", "Stage (2)_7@4"}));
    MosavraContentLibraryRoot::DestroyInstance();
}

} // namespace
