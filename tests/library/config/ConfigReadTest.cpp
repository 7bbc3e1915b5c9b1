// How a config.xml read back changes the nodes, and what a bad file does.
#include "content/policies/NamedPolicies.h"
#include "library/config/ConfigFile.h"
#include "tests/library/config/ConfigTestNodes.h"
#include "tests/library/config/ConfigTestSupport.h"

#include <QFile>

using namespace config_test;
using Form = LibraryConfig::Form;

namespace {

// A registered policy that names no policy for sub-folders.
class NoChildPolicy : public PolicyBase
{
public:
    NoChildPolicy() : PolicyBase("TestNoChildPolicy") {}
    const char* ClassName() const override { return "TestNoChildPolicy"; }
    PolicyBase* NewChildPolicy(ContentFolder*, int) override { return nullptr; }

    static NoChildPolicy* Instance()
    {
        static NoChildPolicy* const policy = new NoChildPolicy;
        return policy;
    }
};

// A library with one package "Shows" (first family) holding the folders "Evening" and
// "Late"; "Evening" holds the items "Sunset" (address 7, Mosavra number 5) and "Moon" (8, 6).
class ReadingConfig : public ConfigFolder
{
protected:
    ReadingConfig()
        : root_(Form::Root, RootContentPolicy::Instance(), QStringLiteral("User Content"), Folder(QStringLiteral("lib")))
    {
        package_ = root_.AddFolder(QStringLiteral("Shows"));
        evening_ = package_->AddFolder(QStringLiteral("Evening"), 41);
        late_ = package_->AddFolder(QStringLiteral("Late"), 42);
        sunset_ = evening_->AddItem(QStringLiteral("Sunset"), 7, 5);
        moon_ = evening_->AddItem(QStringLiteral("Moon"), 8, 6);
        Folder(QStringLiteral("lib/Shows/Evening"));
        Folder(QStringLiteral("lib/Shows/Late"));
    }

    void WriteConfig(const QString& folder, const QByteArray& xml) { WriteBytes(ConfigOf(folder), xml); }

    UserNode root_;
    UserNode* package_;
    UserNode* evening_;
    UserNode* late_;
    ContentBase* sunset_;
    ContentBase* moon_;
};

struct ItemCase
{
    const char* what;
    const char* elements;
    int sunsetAddress, sunsetId, moonAddress, moonId;
};

TEST_F(ReadingConfig, ItemElements)
{
    const ItemCase cases[] = {
        {"names match without regard to case; no mosavraID is 0", R"(<content name="sunset" address="42"/>)", 42, 0, 8, 6},
        {"the later of two elements wins", R"(<content name="Moon" address="5" mosavraID="3"/><content name="MOON" address="9"/>)",
         7, 5, 9, 0},
        {"another element name or a name no child bears is ignored",
         R"(<Content name="Sunset" address="1"/><content name="Star" address="2"/><item name="Moon" address="3"/>)", 7, 5, 8, 6},
        {"an address that is not a number is 0", R"(<content name="Sunset" address="abc" mosavraID="12"/>)", 0, 12, 8, 6},
        {"an address outside 0..255 is 0", R"(<content name="Sunset" address="256"/><content name="Moon" address="-1"/>)", 0, 0, 0, 0},
        {"a number beyond 16 bits is 0", R"(<content name="Sunset" address="3" mosavraID="70000"/>)", 3, 0, 8, 6},
        {"an element counts wherever it stands", R"(<x><folder name="Sunset" address="11"/></x>)", 11, 0, 8, 6},
    };
    for (const ItemCase& c : cases) {
        SCOPED_TRACE(c.what);
        sunset_->SetAddress(7);
        sunset_->SetMosavraID(5);
        moon_->SetAddress(8);
        moon_->SetMosavraID(6);
        WriteConfig(QStringLiteral("lib/Shows/Evening"),
                    QByteArray(R"(<objects policy="BREVANTContentFolderPolicy">)") + c.elements + "</objects>");
        EXPECT_TRUE(evening_->LoadConfig().Ok());
        EXPECT_EQ(sunset_->GetAddress(), c.sunsetAddress);
        EXPECT_EQ(sunset_->GetMosavraID(), c.sunsetId);
        EXPECT_EQ(moon_->GetAddress(), c.moonAddress);
        EXPECT_EQ(moon_->GetMosavraID(), c.moonId);
    }
}

TEST_F(ReadingConfig, AFolderFileNamesTheFolderPolicy)
{
    WriteConfig(QStringLiteral("lib/Shows/Evening"),
                R"(<objects policy="CINDRALContentFolderPolicy"><content name="sunset" address="42"/>)"
                // An item has no policy to take.
                R"(<content name="Moon" address="9" policy="BREVANTContentFolderPolicy"/></objects>)");
    ASSERT_TRUE(evening_->LoadConfig().Ok());
    EXPECT_EQ(evening_->Policy(), CINDRALContentFolderPolicy::Instance());
    EXPECT_EQ(sunset_->GetAddress(), 42);
    EXPECT_EQ(moon_->GetAddress(), 9);
}

TEST_F(ReadingConfig, APackageFileHandsItsChildPolicyDownAndAFolderElementOverridesIt)
{
    WriteConfig(QStringLiteral("lib/Shows"), R"(<objects policy="cindralcontentpackagepolicy">)"
                                             R"(<folder name="late" address="50" policy="BREVANTContentFolderPolicy"/>)"
                                             "</objects>");
    ASSERT_TRUE(package_->LoadConfig().Ok());
    EXPECT_EQ(package_->Policy(), CINDRALContentPackagePolicy::Instance());
    EXPECT_EQ(evening_->Policy(), CINDRALContentFolderPolicy::Instance());
    EXPECT_EQ(late_->Policy(), BREVANTContentFolderPolicy::Instance());
    EXPECT_EQ(late_->GetAddress(), 50);
    EXPECT_EQ(evening_->GetAddress(), 41);
}

TEST_F(ReadingConfig, PoliciesThatCannotServeAreIgnored)
{
    (void)NoChildPolicy::Instance();
    const char* files[] = {
        R"(<objects policy="NoSuchPolicy"><folder name="Late" policy="NoSuchPolicy" address="42"/></objects>)",
        // Sub-folders would be left without any policy.
        R"(<objects policy="TestNoChildPolicy"><folder name="Late" policy="TestNoChildPolicy" address="42"/></objects>)",
    };
    for (const char* file : files) {
        SCOPED_TRACE(file);
        WriteConfig(QStringLiteral("lib/Shows"), file);
        ASSERT_TRUE(package_->LoadConfig().Ok());
        EXPECT_EQ(package_->Policy(), BREVANTContentPackagePolicy::Instance());
        EXPECT_EQ(evening_->Policy(), BREVANTContentFolderPolicy::Instance());
        EXPECT_EQ(late_->Policy(), BREVANTContentFolderPolicy::Instance());
    }
}

TEST_F(ReadingConfig, AMosavraPackageFileReachesItsCollages)
{
    MosavraNode root(Form::Root, RootMosavraContentPolicy::Instance(), QStringLiteral("Mosavra Content"),
                     Folder(QStringLiteral("mosavra")));
    MosavraNode* package = root.AddFolder(QStringLiteral("Cindral"), 251);
    MosavraNode* collage = package->AddFolder(QStringLiteral("Stage"));
    Folder(QStringLiteral("mosavra/Cindral"));
    WriteBytes(ConfigOf(QStringLiteral("mosavra/Cindral")),
               R"(<objects policy="CINDRALMOSAVRAContentPackagePolicy"><folder name="Stage" mosavraID="9" address="3"/></objects>)");

    ASSERT_TRUE(package->LoadConfig().Ok());
    EXPECT_EQ(package->Policy(), CINDRALMOSAVRAContentPackagePolicy::Instance());
    EXPECT_EQ(collage->Policy(), CINDRALMOSAVRAContentFolderPolicy::Instance());
    EXPECT_EQ(collage->GetAddress(), 3);
    EXPECT_EQ(collage->GetMosavraID(), 9);
}

TEST_F(ReadingConfig, OnlyARootTakesTheVersion)
{
    const struct
    {
        const char* objects;
        int version;
    } cases[] = {
        {R"(<objects version="1"/>)", 1},
        {R"(<objects version="2"/>)", 2},
        {R"(<objects version="one"/>)", 0},
        {R"(<objects/>)", -1}, // unchanged
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.objects);
        int version = -1;
        WriteConfig(QStringLiteral("lib"), c.objects);
        ASSERT_TRUE(LibraryConfig::LoadConfig(&root_, root_.Dir(), &version).Ok());
        EXPECT_EQ(version, c.version);
    }
    // A package's file has no version to set, and its policy stays.
    WriteConfig(QStringLiteral("lib/Shows"), R"(<objects version="7"/>)");
    EXPECT_TRUE(package_->LoadConfig().Ok());
    EXPECT_EQ(package_->Policy(), BREVANTContentPackagePolicy::Instance());
}

TEST_F(ReadingConfig, AMalformedFileFailsAfterApplyingWhatCameBefore)
{
    WriteConfig(QStringLiteral("lib/Shows/Evening"),
                R"(<objects policy="BREVANTContentFolderPolicy"><content name="Sunset" address="42"/><content name="Moon" addr)");
    const ArchiveResult result = evening_->LoadConfig();
    EXPECT_FALSE(result.Ok());
    EXPECT_TRUE(result.Message().contains(ConfigOf(QStringLiteral("lib/Shows/Evening")))) << result.Message().toStdString();
    EXPECT_EQ(sunset_->GetAddress(), 42);
    EXPECT_EQ(moon_->GetAddress(), 8);
}

TEST_F(ReadingConfig, AFileThatCannotBeReadChangesNothing)
{
    const QString config = ConfigOf(QStringLiteral("lib/Shows/Evening"));
    const QByteArray element = R"(<objects policy="CINDRALContentFolderPolicy"><content name="Sunset" address="42"/>)";
    const struct
    {
        const char* what;
        std::function<void()> make;
    } cases[] = {
        {"missing", [] {}},
        {"a folder", [&] { QDir().mkdir(config); }},
        {"a device that never ends", [&] { QFile::link(QStringLiteral("/dev/zero"), config); }},
        {"larger than a configuration file may be",
         [&] {
             WriteBytes(config, element + "<!--" + QByteArray(int(LibraryConfig::kMaxFileSize), ' ') + "--></objects>");
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(config);
        QDir().rmdir(config);
        c.make();
        const ArchiveResult result = evening_->LoadConfig();
        EXPECT_FALSE(result.Ok());
        EXPECT_TRUE(result.Message().contains(config)) << result.Message().toStdString();
        EXPECT_EQ(sunset_->GetAddress(), 7);
        EXPECT_EQ(evening_->Policy(), BREVANTContentFolderPolicy::Instance());
    }
}

// The version rule: a library whose root file does not say version 1 is rewritten whole
// at its first scan.
TEST_F(ReadingConfig, ARootOfAnotherVersionRewritesTheWholeLibrary)
{
    const QByteArray rootFile = Xml({R"(<objects version="1">)", R"(    <package name="Shows" address="0"/>)", "</objects>"});
    const QByteArray packageFile = Xml({R"(<objects policy="CINDRALContentPackagePolicy">)",
                                        R"(    <folder name="Evening" address="41"/>)", "</objects>"});
    const QByteArray folderFile = Xml({R"(<objects policy="CINDRALContentFolderPolicy">)",
                                       R"(    <content name="Sunset" address="3"/>)", "</objects>"});
    // What the files say before the scan, in another layout than the writer's.
    const QByteArray stalePackage = R"(<objects policy="CINDRALContentPackagePolicy"><folder name="evening" address="41"/><old/></objects>)";
    const QByteArray staleFolder = R"(<objects policy="CINDRALContentFolderPolicy"><content name="SUNSET" address="3"/></objects>)";
    const struct
    {
        const char* what;
        QByteArray root; // null: no file
        bool rewritten;
    } cases[] = {
        {"version 2", R"(<objects version="2"><package name="Shows"/></objects>)", true},
        {"no version", R"(<objects><package name="Shows"/></objects>)", true},
        {"no root file", QByteArray(), true},
        {"version 1", R"(<objects version="1"><package name="Shows"/></objects>)", false},
    };

    const QString library = Path(QStringLiteral("scanned"));
    Folder(QStringLiteral("scanned/Shows/Evening"));
    BrevantImage image;
    image.AddFrame({});
    ASSERT_TRUE(image.Save(library + QStringLiteral("/Shows/Evening/Sunset.bvi")));

    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(library + QStringLiteral("/config.xml"));
        if (!c.root.isNull())
            WriteBytes(library + QStringLiteral("/config.xml"), c.root);
        WriteBytes(library + QStringLiteral("/Shows/config.xml"), stalePackage);
        WriteBytes(library + QStringLiteral("/Shows/Evening/config.xml"), staleFolder);

        UserNode root(Form::Root, RootContentPolicy::Instance(), QStringLiteral("User Content"), library);
        root.Scan();
        EXPECT_EQ(root.Version(), 1);
        ASSERT_EQ(root.ChildCount(), 1);
        const auto* folder = static_cast<const UserNode*>(static_cast<const UserNode*>(root.Child(0))->Child(0));
        EXPECT_EQ(folder->Policy(), CINDRALContentFolderPolicy::Instance());
        EXPECT_EQ(folder->GetAddress(), 41);
        EXPECT_EQ(folder->Child(0)->GetAddress(), 3);
        if (c.rewritten) {
            EXPECT_EQ(ReadBytes(library + QStringLiteral("/config.xml")), rootFile);
            EXPECT_EQ(ReadBytes(library + QStringLiteral("/Shows/config.xml")), packageFile);
            EXPECT_EQ(ReadBytes(library + QStringLiteral("/Shows/Evening/config.xml")), folderFile);
        } else {
            EXPECT_EQ(ReadBytes(library + QStringLiteral("/config.xml")), c.root);
            EXPECT_EQ(ReadBytes(library + QStringLiteral("/Shows/config.xml")), stalePackage);
            EXPECT_EQ(ReadBytes(library + QStringLiteral("/Shows/Evening/config.xml")), staleFolder);
        }
    }
}

TEST_F(ReadingConfig, AnEmptyLibraryWritesNoFile)
{
    const QString library = Folder(QStringLiteral("empty"));
    UserNode root(Form::Root, RootContentPolicy::Instance(), QStringLiteral("User Content"), library);
    root.Scan();
    EXPECT_EQ(root.ChildCount(), 0);
    EXPECT_EQ(root.Version(), 1);
    EXPECT_FALSE(QFile::exists(library + QStringLiteral("/config.xml")));
}

} // namespace
