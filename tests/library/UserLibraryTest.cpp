// The user content library on disk: scans, change operations and their refusals.
#include "content/policies/NamedPolicies.h"
#include "library/user/ContentLibraryRoot.h"
#include "tests/common/ScopedFileSizeLimit.h"
#include "tests/library/LibraryTestSupport.h"

#include <QFile>
#include <QSignalSpy>
#include <QThread>

using namespace library_test;

namespace {

QByteArray Config(const QStringList& lines)
{
    return (QStringList{QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>")} + lines).join(u'\n').toUtf8();
}

// A library in "lib": the Cindral package "P" (folder "F" at 42 with the items "a" of both
// families) and the first-family package "Q" (folder "G" at 41 holding "g", at 5).
class UserLibrary : public LibraryFolder
{
protected:
    UserLibrary()
    {
        Folder(QStringLiteral("lib/P/F"));
        Folder(QStringLiteral("lib/Q/G"));
        WriteBytes(Path(QStringLiteral("lib/P/config.xml")),
                   Config({R"(<objects policy="CINDRALContentPackagePolicy">)", R"(<folder name="F" address="42"/>)",
                           "</objects>"}));
        WriteBytes(Path(QStringLiteral("lib/Q/config.xml")),
                   Config({R"(<objects policy="BREVANTContentPackagePolicy">)", R"(<folder name="G" address="41"/>)",
                           "</objects>"}));
        WriteBytes(Path(QStringLiteral("lib/Q/G/config.xml")),
                   Config({R"(<objects policy="BREVANTContentFolderPolicy">)", R"(<content name="g" address="5"/>)",
                           "</objects>"}));
        keyA_ = WriteImage<BrevantImage>(Path(QStringLiteral("lib/P/F/a.bvi")));
        WriteImage<CindralImage>(Path(QStringLiteral("lib/P/F/a.cdli")));
        WriteImage<BrevantImage>(Path(QStringLiteral("lib/Q/G/g.bvi")));
    }

    // Builds (again) the root of "lib".
    ContentLibraryRoot* Open()
    {
        root_.reset();
        DeleteLaterNodes();
        root_ = std::make_unique<ContentLibraryRoot>(Path(QStringLiteral("lib")));
        return root_.get();
    }
    ContentLibraryPackage* Package(const QString& name)
    {
        return qobject_cast<ContentLibraryPackage*>(ChildNamed(root_.get(), name));
    }
    ContentLibraryFolder* FolderOf(const QString& package, const QString& name)
    {
        return qobject_cast<ContentLibraryFolder*>(ChildNamed(Package(package), name));
    }

    std::unique_ptr<ContentLibraryRoot> root_;
    quint32 keyA_ = 0;
};

TEST_F(UserLibrary, AnEmptyDirectoryGivesAnEmptyRootWithoutFile)
{
    ContentLibraryRoot root(Folder(QStringLiteral("empty")));
    EXPECT_EQ(root.GetName(), QStringLiteral("User Content"));
    EXPECT_EQ(root.ChildCount(), 0);
    EXPECT_EQ(root.Version(), 1);
    EXPECT_TRUE(Entries(Path(QStringLiteral("empty"))).isEmpty());
}

TEST_F(UserLibrary, TheProcessWideRootIsTheLibraryOfItsSearchPath)
{
    ScopedSearchPath roots(QStringLiteral("ContentLibraryRoot"), Path(QStringLiteral("lib")));
    ContentLibraryRoot::DestroyInstance();
    ContentLibraryRoot* root = ContentLibraryRoot::Instance();
    EXPECT_EQ(ContentLibraryRoot::RootPath(), Path(QStringLiteral("lib")));
    EXPECT_EQ(Describe(root), (QStringList{"P@0", "Q@0"}));
    EXPECT_EQ(ContentLibraryRoot::Instance(), root);
    ContentLibraryRoot::DestroyInstance();
}

TEST_F(UserLibrary, AScanFindsFamiliesAddressesAndItemsAndLeavesWhatItCannotReadOnDisk)
{
    WriteBytes(Path(QStringLiteral("lib/P/F/notes.txt")), "not an image");
    WriteBytes(Path(QStringLiteral("lib/P/F/b.bvi")), "not an image either");
    WriteBytes(Path(QStringLiteral("lib/P/stray.txt")), "a plain file beside the folders");
    Folder(QStringLiteral("lib/P/F/sub"));
    Folder(QStringLiteral("lib/P/ABCDEFGHIJKLMNOPQ")); // a name no node can keep whole
    Open();

    ContentLibraryPackage* p = Package(QStringLiteral("P"));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->Policy(), CINDRALContentPackagePolicy::Instance());
    EXPECT_EQ(Describe(p), QStringList{"F@42"});
    ContentLibraryFolder* f = FolderOf(QStringLiteral("P"), QStringLiteral("F"));
    EXPECT_EQ(f->Policy(), CINDRALContentFolderPolicy::Instance());
    ASSERT_EQ(Describe(f), (QStringList{"a@0", "a@0"}));
    EXPECT_TRUE(qobject_cast<BrevantImage*>(f->Child(0)));
    EXPECT_TRUE(qobject_cast<CindralImage*>(f->Child(1)));
    EXPECT_EQ(static_cast<Content*>(f->Child(0))->Key(), keyA_);
    EXPECT_TRUE(QFile::exists(Path(QStringLiteral("lib/P/F/b.bvi"))));
    // F holds a file it could not read: nothing may take it for a folder without one.
    EXPECT_FALSE(f->ChildrenRead());
    EXPECT_TRUE(p->ChildrenRead());
    EXPECT_TRUE(FolderOf(QStringLiteral("Q"), QStringLiteral("G"))->ChildrenRead());
    // The root's file was written at this first scan, with the current version.
    EXPECT_EQ(root_->Version(), 1);
    EXPECT_TRUE(ReadBytes(Path(QStringLiteral("lib/config.xml"))).contains(R"(version="1")"));
}

TEST_F(UserLibrary, AnItemIsItsFileLessTheLastExtensionAndTheExtensionChoosesTheFamily)
{
    WriteImage<BrevantImage>(Path(QStringLiteral("lib/P/F/a.b.bvi")));
    // A second-family image without frames is also a valid first-family record: only its
    // extension tells its family.
    CindralImage empty;
    ASSERT_TRUE(empty.Save(Path(QStringLiteral("lib/P/F/z.CDLI"))));
    Open();
    ContentLibraryFolder* f = FolderOf(QStringLiteral("P"), QStringLiteral("F"));
    ContentBase* dotted = ChildNamed(f, QStringLiteral("a.b"));
    ContentBase* z = ChildNamed(f, QStringLiteral("z"));
    ASSERT_NE(dotted, nullptr);
    ASSERT_NE(z, nullptr);
    EXPECT_TRUE(qobject_cast<CindralImage*>(z));
    EXPECT_EQ(f->FileOf(z), QStringLiteral("z.CDLI"));

    // Every operation finds the very file the scan found.
    FeedbackRecorder feedback;
    EXPECT_TRUE(f->ModifyChild(dotted, QStringLiteral("c.d"), 7, &feedback));
    EXPECT_TRUE(QFile::exists(Path(QStringLiteral("lib/P/F/c.d.bvi"))));
    EXPECT_TRUE(f->RemoveChild(z, &feedback));
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("lib/P/F/z.CDLI"))));
    EXPECT_TRUE(feedback.Texts(FeedbackError).isEmpty()) << feedback.Texts().join('\n').toStdString();

    // A dotted name added keeps its dots, in the tree and after a scan.
    auto image = MakeImage<BrevantImage>(QStringLiteral("x.y"));
    ASSERT_TRUE(f->AddChild({image.get()}, &feedback));
    image.release();
    EXPECT_TRUE(QFile::exists(Path(QStringLiteral("lib/P/F/x.y.bvi"))));
    Open();
    f = FolderOf(QStringLiteral("P"), QStringLiteral("F"));
    EXPECT_TRUE(ChildNamed(f, QStringLiteral("x.y")));
    EXPECT_EQ(ChildNamed(f, QStringLiteral("c.d"))->GetAddress(), 7);
}

TEST_F(UserLibrary, ItemChangesWorkOnDiskAndAnnounceThemselves)
{
    Open();
    ContentLibraryFolder* f = FolderOf(QStringLiteral("P"), QStringLiteral("F"));
    QSignalSpy added(f, &ContentFolder::ContentAdded);
    QSignalSpy removed(f, &ContentFolder::ContentRemoved);
    FeedbackRecorder feedback;

    auto image = MakeImage<CindralImage>(QStringLiteral("new"));
    image->SetAddress(9);
    ASSERT_TRUE(f->AddChild({image.get()}, &feedback));
    Content* item = image.release();
    EXPECT_EQ(item->GetParent(), f);
    EXPECT_EQ(added.count(), 1);
    EXPECT_TRUE(QFile::exists(Path(QStringLiteral("lib/P/F/new.cdli"))));
    EXPECT_TRUE(ReadBytes(Path(QStringLiteral("lib/P/F/config.xml"))).contains(R"(name="new" address="9")"));

    ASSERT_TRUE(f->ModifyChild(item, QStringLiteral("renamed"), 10, &feedback));
    EXPECT_TRUE(QFile::exists(Path(QStringLiteral("lib/P/F/renamed.cdli"))));
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("lib/P/F/new.cdli"))));

    ASSERT_TRUE(f->RemoveChild(item, &feedback));
    EXPECT_EQ(removed.count(), 1);
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("lib/P/F/renamed.cdli"))));
    EXPECT_EQ(feedback.Results(), (QList<FeedbackResult>{FeedbackSuccess, FeedbackSuccess, FeedbackSuccess}));
}

TEST_F(UserLibrary, ModifyChildTestsRangeAndClashesBeforeAnythingOnDiskChanges)
{
    Open();
    ContentLibraryFolder* f = FolderOf(QStringLiteral("P"), QStringLiteral("F"));
    auto image = MakeImage<CindralImage>(QStringLiteral("b"));
    image->SetAddress(3);
    ASSERT_TRUE(f->AddChild({image.get()}, nullptr));
    ContentBase* b = image.release();
    const QStringList before = Entries(Path(QStringLiteral("lib/P/F")));
    const QByteArray config = ReadBytes(Path(QStringLiteral("lib/P/F/config.xml")));

    struct Case {
        const char* name;
        int address;
        const char* text;
    };
    const Case cases[] = {
        {"b", 300, "Address out of range"},
        {"c", 256, "Address out of range"},
        {"a", 3, "New name and/or address conflicts with an existing child"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FeedbackRecorder feedback;
        EXPECT_FALSE(f->ModifyChild(b, QString::fromLatin1(c.name), c.address, &feedback));
        EXPECT_EQ(feedback.Texts(FeedbackError), QStringList{QString::fromLatin1(c.text)});
        EXPECT_TRUE(feedback.Results().isEmpty());
        EXPECT_EQ(b->GetName(), QStringLiteral("b"));
        EXPECT_EQ(b->GetAddress(), 3);
        EXPECT_EQ(Entries(Path(QStringLiteral("lib/P/F"))), before);
        EXPECT_EQ(ReadBytes(Path(QStringLiteral("lib/P/F/config.xml"))), config);
    }
}

TEST_F(UserLibrary, NamesThatWouldLeaveTheirFolderAreRefusedEverywhere)
{
    Open();
    ContentLibraryPackage* p = Package(QStringLiteral("P"));
    ContentLibraryFolder* f = FolderOf(QStringLiteral("P"), QStringLiteral("F"));
    ScopedSearchPath elsewhere(QStringLiteral("Stash"), Folder(QStringLiteral("stash")));
    const QStringList before = Entries(Path());
    const QStringList lib = Entries(Path(QStringLiteral("lib")));
    for (const QString& name : {QStringLiteral("../x"), QStringLiteral("a/b"), QStringLiteral("a\\b"),
                                QStringLiteral(".."), QStringLiteral("."), QString(), QStringLiteral("a") + QChar(0),
                                QStringLiteral("Config.XML"), QStringLiteral("Stash:x"), QStringLiteral("a\x01b"),
                                QStringLiteral("tab\there"), QStringLiteral("a") + QChar(0xD800),
                                QStringLiteral("a") + QChar(0xFFFF)}) {
        SCOPED_TRACE(name.toStdString());
        FeedbackRecorder feedback;
        EXPECT_FALSE(root_->CreateFolder(name, 0, 0, &feedback));
        EXPECT_FALSE(p->CreateFolder(name, 43, 0, &feedback));
        EXPECT_FALSE(p->ModifyChild(f, name, 42, &feedback));
        EXPECT_FALSE(f->ModifyChild(f->Child(0), name, 0, &feedback));
        auto image = MakeImage<BrevantImage>(QStringLiteral("x"));
        image->SetName(name);
        EXPECT_FALSE(f->AddChild({image.get()}, &feedback));
        EXPECT_EQ(feedback.Texts(FeedbackError).size(), 5);
        EXPECT_TRUE(feedback.Results().isEmpty());
    }
    EXPECT_EQ(Entries(Path()), before);
    EXPECT_EQ(Entries(Path(QStringLiteral("lib"))), lib);
    EXPECT_TRUE(Entries(Path(QStringLiteral("stash"))).isEmpty());
    EXPECT_EQ(Describe(f), (QStringList{"a@0", "a@0"}));
}

TEST_F(UserLibrary, AFolderWhoseFileCannotBeReadIsNeitherChangedNorWrittenOver)
{
    const QByteArray damaged = "<objects policy=\"BREVANTContentFolderPolicy\"><content name=\"g\" addr";
    WriteBytes(Path(QStringLiteral("lib/Q/G/config.xml")), damaged);
    Open();
    ContentLibraryPackage* q = Package(QStringLiteral("Q"));
    ContentLibraryFolder* g = FolderOf(QStringLiteral("Q"), QStringLiteral("G"));
    ASSERT_NE(g, nullptr);
    EXPECT_FALSE(g->ChildrenRead());
    EXPECT_TRUE(q->ChildrenRead());
    const QStringList files = Entries(Path(QStringLiteral("lib/Q/G")));

    const QString unread = QStringLiteral("G could not be read, so it is left as it is");
    FeedbackRecorder feedback;
    auto image = MakeImage<BrevantImage>(QStringLiteral("n"));
    EXPECT_FALSE(g->AddChild({image.get()}, &feedback));
    EXPECT_FALSE(g->ModifyChild(g->Child(0), QStringLiteral("g"), 7, &feedback));
    EXPECT_FALSE(g->RemoveChild(g->Child(0), &feedback));
    EXPECT_FALSE(q->RemoveChild(g, &feedback));
    EXPECT_EQ(feedback.Texts(FeedbackError), (QStringList{unread, unread, unread, "Can't delete folder"}));
    EXPECT_FALSE(g->SaveConfig().Ok());
    EXPECT_FALSE(root_->SaveConfig(true).Ok());
    EXPECT_EQ(ReadBytes(Path(QStringLiteral("lib/Q/G/config.xml"))), damaged);
    EXPECT_EQ(Entries(Path(QStringLiteral("lib/Q/G"))), files);
    // Its package goes on working, and keeps listing it.
    ASSERT_TRUE(q->ModifyChild(g, QStringLiteral("G"), 44, &feedback));
    Open();
    EXPECT_EQ(Describe(Package(QStringLiteral("Q"))), QStringList{"G@44"});
}

TEST_F(UserLibrary, AFolderIsDeletedOnlyOnceItsLastItemIsGone)
{
    Open();
    ContentLibraryPackage* p = Package(QStringLiteral("P"));
    ContentLibraryFolder* f = FolderOf(QStringLiteral("P"), QStringLiteral("F"));
    f->ModifyChild(f->Child(0), QStringLiteral("a"), 1, nullptr);
    ASSERT_TRUE(QFile::exists(Path(QStringLiteral("lib/P/F/config.xml"))));
    QSignalSpy removed(p, &ContentFolder::FolderRemoved);

    while (f->ChildCount() > 0) {
        FeedbackRecorder feedback;
        EXPECT_FALSE(p->RemoveChild(f, &feedback));
        EXPECT_EQ(feedback.Texts(FeedbackError), QStringList{"Can't delete folder"});
        ASSERT_TRUE(f->RemoveChild(f->Child(0), nullptr));
    }
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("lib/P/F/config.xml"))));
    FeedbackRecorder feedback;
    ASSERT_TRUE(p->RemoveChild(f, &feedback));
    EXPECT_EQ(removed.count(), 1);
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("lib/P/F"))));
    EXPECT_EQ(p->ChildCount(), 0);
    // The empty package keeps its file, and so its family.
    EXPECT_TRUE(ReadBytes(Path(QStringLiteral("lib/P/config.xml"))).contains("CINDRALContentPackagePolicy"));
}

TEST_F(UserLibrary, AFolderMovesBetweenPackagesOnlyWhereItsPlaceIsFree)
{
    Open();
    ContentLibraryPackage* p = Package(QStringLiteral("P"));
    ContentLibraryPackage* q = Package(QStringLiteral("Q"));
    ContentLibraryFolder* g = FolderOf(QStringLiteral("Q"), QStringLiteral("G"));

    // At an address P's F already has: refused before anything moves.
    ASSERT_TRUE(q->ModifyChild(g, QStringLiteral("G"), 42, nullptr));
    FeedbackRecorder clash;
    EXPECT_FALSE(p->MoveHere(g, &clash));
    EXPECT_EQ(clash.Texts(FeedbackError), QStringList{"New name and/or address conflicts with an existing child"});

    // Onto a directory another program made meanwhile: refused, nothing changes.
    ASSERT_TRUE(q->ModifyChild(g, QStringLiteral("G"), 43, nullptr));
    Folder(QStringLiteral("lib/P/G"));
    FeedbackRecorder taken;
    EXPECT_FALSE(p->MoveHere(g, &taken));
    EXPECT_EQ(taken.Texts(FeedbackError), QStringList{"Can't move folder"});
    EXPECT_EQ(g->GetParent(), q);
    EXPECT_TRUE(QFile::exists(Path(QStringLiteral("lib/Q/G/g.bvi"))));

    QDir().rmdir(Path(QStringLiteral("lib/P/G")));
    FeedbackRecorder moved;
    ASSERT_TRUE(p->MoveHere(g, &moved));
    EXPECT_EQ(moved.Results(), QList<FeedbackResult>{FeedbackSuccess});
    EXPECT_EQ(g->GetParent(), p);
    EXPECT_EQ(Describe(p), (QStringList{"F@42", "G@43"}));
    EXPECT_EQ(q->ChildCount(), 0);
    EXPECT_TRUE(QFile::exists(Path(QStringLiteral("lib/P/G/g.bvi"))));
    EXPECT_EQ(ChildNamed(g, QStringLiteral("g"))->GetAddress(), 5);
    Open();
    EXPECT_EQ(Describe(Package(QStringLiteral("P"))), (QStringList{"F@42", "G@43"}));
}

TEST_F(UserLibrary, AnItemMovesWithItsFileBetweenFolders)
{
    Open();
    ContentLibraryFolder* f = FolderOf(QStringLiteral("P"), QStringLiteral("F"));
    ContentLibraryFolder* g = FolderOf(QStringLiteral("Q"), QStringLiteral("G"));
    ContentBase* item = g->Child(0);
    FeedbackRecorder feedback;
    ASSERT_TRUE(f->MoveHere(item, &feedback));
    EXPECT_EQ(item->GetParent(), f);
    EXPECT_EQ(g->ChildCount(), 0);
    EXPECT_TRUE(QFile::exists(Path(QStringLiteral("lib/P/F/g.bvi"))));
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("lib/Q/G/g.bvi"))));
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("lib/Q/G/config.xml"))));
    EXPECT_TRUE(ReadBytes(Path(QStringLiteral("lib/P/F/config.xml"))).contains(R"(name="g" address="5")"));
}

TEST_F(UserLibrary, AnItemOfTheSameNameReplacesTheOldOnlyOnceItIsWritten)
{
    Open();
    ContentLibraryFolder* f = FolderOf(QStringLiteral("P"), QStringLiteral("F"));
    const QByteArray oldFile = ReadBytes(Path(QStringLiteral("lib/P/F/a.bvi")));
    ContentBase* oldItem = f->Child(0);

    // A save that cannot be written whole keeps the old item and its file.
    {
        auto big = MakeImage<BrevantImage>(QStringLiteral("a"), 0, 200);
        testing_env::ScopedFileSizeLimit limit(oldFile.size() + 200);
        FeedbackRecorder feedback;
        EXPECT_FALSE(f->AddChild({big.get()}, &feedback));
        EXPECT_EQ(feedback.Texts(FeedbackError), QStringList{"Can't save a"});
        EXPECT_EQ(big->GetParent(), nullptr);
    }
    EXPECT_EQ(f->Child(0), oldItem);
    EXPECT_EQ(f->ChildCount(), 2);
    EXPECT_EQ(ReadBytes(Path(QStringLiteral("lib/P/F/a.bvi"))), oldFile);

    // Written, it replaces both items of its name (one of each family) and the other file.
    auto image = MakeImage<BrevantImage>(QStringLiteral("a"), 0, 3);
    const quint32 key = image->Key();
    FeedbackRecorder feedback;
    ASSERT_TRUE(f->AddChild({image.get()}, &feedback));
    image.release();
    ASSERT_EQ(f->ChildCount(), 1);
    EXPECT_EQ(static_cast<Content*>(f->Child(0))->Key(), key);
    EXPECT_EQ(Entries(Path(QStringLiteral("lib/P/F"))), (QStringList{"a.bvi", "config.xml"}));
}

TEST_F(UserLibrary, FilesWhoseNamesNoItemCanCarryStayUnlistedAndAnAddLeavesThemAlone)
{
    const QStringList longFiles{"ABCDEFGHIJKLMNOP-one.bvi", "ABCDEFGHIJKLMNOP-two.bvi"};
    for (const QString& file : longFiles)
        WriteImage<BrevantImage>(Path(QStringLiteral("lib/Q/G/") + file));
    Open();
    ContentLibraryFolder* g = FolderOf(QStringLiteral("Q"), QStringLiteral("G"));
    EXPECT_EQ(Describe(g), QStringList{"g@5"});
    EXPECT_TRUE(g->ChildrenRead()) << "nothing it lists is unread";

    auto image = MakeImage<BrevantImage>(QStringLiteral("ABCDEFGHIJKLMNOP"));
    FeedbackRecorder feedback;
    ASSERT_TRUE(g->AddChild({image.get()}, &feedback));
    image.release();
    EXPECT_TRUE(feedback.Texts(FeedbackWarning).isEmpty()) << feedback.Texts().join('\n').toStdString();
    EXPECT_EQ(Describe(g), (QStringList{"g@5", "ABCDEFGHIJKLMNOP@0"}));
    EXPECT_EQ(Entries(Path(QStringLiteral("lib/Q/G"))),
              (QStringList{"ABCDEFGHIJKLMNOP-one.bvi", "ABCDEFGHIJKLMNOP-two.bvi", "ABCDEFGHIJKLMNOP.bvi", "config.xml",
                           "g.bvi"}));
}

TEST_F(UserLibrary, AnAddThatStopsUndoesItsOwnFiles)
{
    Open();
    ContentLibraryFolder* f = FolderOf(QStringLiteral("P"), QStringLiteral("F"));
    const QByteArray oldFile = ReadBytes(Path(QStringLiteral("lib/P/F/a.cdli")));
    auto first = MakeImage<CindralImage>(QStringLiteral("a"), 0, 1);
    auto second = MakeImage<CindralImage>(QStringLiteral("fresh"), 0, 1);
    auto big = MakeImage<CindralImage>(QStringLiteral("big"), 0, 255);
    {
        testing_env::ScopedFileSizeLimit limit(oldFile.size() + 2000);
        FeedbackRecorder feedback;
        EXPECT_FALSE(f->AddChild({first.get(), second.get(), big.get()}, &feedback));
    }
    EXPECT_EQ(Entries(Path(QStringLiteral("lib/P/F"))), (QStringList{"a.bvi", "a.cdli", "config.xml"}));
    EXPECT_EQ(ReadBytes(Path(QStringLiteral("lib/P/F/a.cdli"))), oldFile);
    EXPECT_EQ(Describe(f), (QStringList{"a@0", "a@0"}));
    EXPECT_EQ(first->GetParent(), nullptr);
}

TEST_F(UserLibrary, ANodeWhoseDirectoryIsGoneFailsRatherThanWritingItsParent)
{
    Open();
    ContentLibraryFolder* f = FolderOf(QStringLiteral("P"), QStringLiteral("F"));
    const QByteArray packageConfig = ReadBytes(Path(QStringLiteral("lib/P/config.xml")));
    ASSERT_TRUE(QDir(Path(QStringLiteral("lib/P/F"))).removeRecursively());

    auto image = MakeImage<CindralImage>(QStringLiteral("n"));
    FeedbackRecorder feedback;
    EXPECT_FALSE(f->AddChild({image.get()}, &feedback));
    EXPECT_EQ(feedback.Texts(FeedbackError), QStringList{"The folder of F is missing on disk"});
    EXPECT_FALSE(f->SaveConfig().Ok());
    EXPECT_EQ(ReadBytes(Path(QStringLiteral("lib/P/config.xml"))), packageConfig);
    EXPECT_EQ(Entries(Path(QStringLiteral("lib/P"))), QStringList{"config.xml"});
}

TEST_F(UserLibrary, AnEmptyPackageKeepsItsFamilyThroughARestartAndCanBeRemoved)
{
    Open();
    FeedbackRecorder feedback;
    ASSERT_TRUE(root_->CreateFolder(QStringLiteral("Show"), -1, 1, &feedback));
    EXPECT_EQ(qobject_cast<ContentLibraryPackage*>(ChildNamed(root_.get(), QStringLiteral("Show")))->Policy(),
              CINDRALContentPackagePolicy::Instance());
    Open();
    auto* show = Package(QStringLiteral("Show"));
    ASSERT_NE(show, nullptr);
    EXPECT_EQ(show->Policy(), CINDRALContentPackagePolicy::Instance());
    EXPECT_EQ(show->NewChildTypeName(0), QStringLiteral("Cindral Folder"));

    ASSERT_TRUE(root_->RemoveChild(show, &feedback));
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("lib/Show"))));
    EXPECT_EQ(feedback.Texts(FeedbackError), QStringList());
}

TEST_F(UserLibrary, RefusalsOfTheRootAndPackages)
{
    Open();
    ContentLibraryPackage* p = Package(QStringLiteral("P"));
    ContentLibraryFolder* f = FolderOf(QStringLiteral("P"), QStringLiteral("F"));
    auto image = MakeImage<CindralImage>(QStringLiteral("n"));
    FeedbackRecorder feedback;
    EXPECT_FALSE(p->AcceptsContent(image.get()));
    EXPECT_FALSE(p->AddChild({image.get()}, &feedback));
    EXPECT_FALSE(root_->AddChild({image.get()}, &feedback));
    EXPECT_FALSE(root_->MoveHere(p, &feedback));
    EXPECT_FALSE(root_->ModifyChild(p, QStringLiteral("P2"), 4, &feedback));
    EXPECT_FALSE(p->CreateFolder(QStringLiteral("F"), 43, 0, &feedback));
    EXPECT_FALSE(p->CreateFolder(QStringLiteral("H"), 42, 0, &feedback));
    EXPECT_FALSE(p->CreateFolder(QStringLiteral("H"), 43, 1, &feedback));
    EXPECT_FALSE(f->CreateFolder(QStringLiteral("H"), 1, 0, &feedback));
    EXPECT_EQ(feedback.Texts(FeedbackError).size(), 8);
    EXPECT_TRUE(feedback.Results().isEmpty());
    EXPECT_EQ(Entries(Path(QStringLiteral("lib/P"))), (QStringList{"F", "config.xml"}));
    // A package has no address and answers by its policy.
    EXPECT_EQ(p->GetAddress(), 0);
    EXPECT_FALSE(p->SetAddress(5));
    EXPECT_EQ(p->MinAddress(), 41);
    EXPECT_EQ(p->MaxAddress(), 250);
    EXPECT_TRUE(root_->IsReadOnly());
    EXPECT_FALSE(f->IsReadOnly());
    EXPECT_TRUE(p->AcceptsFolder(f));
    EXPECT_FALSE(p->AcceptsFolder(FolderOf(QStringLiteral("Q"), QStringLiteral("G"))));
}

TEST_F(UserLibrary, ANewFolderAndARenamedPackageStayThroughARestart)
{
    Open();
    ContentLibraryPackage* q = Package(QStringLiteral("Q"));
    FeedbackRecorder feedback;
    ASSERT_TRUE(q->CreateFolder(QStringLiteral("ABCDEFGHIJKLMNOPQRS"), 99, 0, &feedback));
    EXPECT_TRUE(QFile::exists(Path(QStringLiteral("lib/Q/ABCDEFGHIJKLMNOP"))));
    ASSERT_TRUE(root_->ModifyChild(q, QStringLiteral("Renamed"), 0, &feedback));
    Open();
    EXPECT_EQ(Describe(root_.get()), (QStringList{"P@0", "Renamed@0"}));
    EXPECT_EQ(Describe(Package(QStringLiteral("Renamed"))), (QStringList{"ABCDEFGHIJKLMNOP@99", "G@41"}));
    root_->Reload(true);
    EXPECT_EQ(Describe(Package(QStringLiteral("Renamed"))), (QStringList{"G@41", "ABCDEFGHIJKLMNOP@99"}));
}

TEST_F(UserLibrary, ALongNameIsCutBetweenCharactersAndKeepsItsAddress)
{
    Open();
    ContentLibraryPackage* q = Package(QStringLiteral("Q"));
    FeedbackRecorder feedback;
    // The 16th unit is the first half of a surrogate pair: the name keeps 15.
    const QString name = QStringLiteral("ABCDEFGHIJKLMNO") + QString::fromUcs4(U"\U0001F600") + QStringLiteral("Z");
    ASSERT_TRUE(q->CreateFolder(name, 99, 0, &feedback));
    EXPECT_TRUE(QFile::exists(Path(QStringLiteral("lib/Q/ABCDEFGHIJKLMNO"))));
    Open();
    EXPECT_EQ(Describe(Package(QStringLiteral("Q"))), (QStringList{"ABCDEFGHIJKLMNO@99", "G@41"}));
    EXPECT_EQ(ContentBase::CutName(name, 17), name.left(17));
    EXPECT_EQ(ContentBase::CutName(name, 16), name.left(15));
}

TEST_F(UserLibrary, ItemsAddedFromAWorkerThreadLiveOnTheLibrarysThread)
{
    Open();
    ContentLibraryFolder* f = FolderOf(QStringLiteral("P"), QStringLiteral("F"));
    Content* added = nullptr;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        auto image = MakeImage<CindralImage>(QStringLiteral("w"));
        if (f->AddChild({image.get()}, nullptr))
            added = image.release();
    }));
    worker->start();
    worker->wait();
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->thread(), f->thread());
}

} // namespace
