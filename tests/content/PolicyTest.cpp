#include "content/policies/FamilyImport.h"
#include "content/policies/NamedPolicies.h"
#include "content/policies/PolicyFolder.h"
#include "images/BrevantImage.h"
#include "images/CindralImage.h"
#include "tests/content/MemoryFolders.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A folder of the given policy holding the named children at the given addresses.
std::unique_ptr<MemoryFolder> FolderWith(PolicyBase* policy, const QList<QPair<QString, int>>& children)
{
    auto folder = std::make_unique<MemoryFolder>(policy, QStringLiteral("F"));
    for (const auto& [name, address] : children)
        folder->AddContent(name, address);
    return folder;
}

template <class Image>
std::unique_ptr<Image> ImageWithOneFrame()
{
    auto image = std::make_unique<Image>();
    typename Image::Frame frame;
    frame.duration = 40;
    for (int led = 0; led < Image::kLedCount; ++led)
        frame.indices[std::size_t(led)] = quint8(led);
    image->AddFrame(frame);
    image->SetPaletteColor(1, {10, 20, 30});
    return image;
}

// An empty folder of the Mosavra library's policy-folder class.
class EmptyMosavraFolder : public MosavraContentPolicyFolder
{
public:
    using MosavraContentPolicyFolder::MosavraContentPolicyFolder;
    int ChildCount() const override { return 0; }
    ContentBase* Child(int) override { return nullptr; }
    const ContentBase* Child(int) const override { return nullptr; }
    bool CreateFolder(const QString&, int, int, IFeedback* feedback) override { return Refuse(feedback, "no"); }
    bool AddChild(QList<ContentBase*>, IFeedback* feedback) override { return Refuse(feedback, "no"); }
    bool ModifyChild(ContentBase*, const QString&, int, IFeedback* feedback) override { return Refuse(feedback, "no"); }
    bool MoveHere(ContentBase*, IFeedback* feedback) override { return Refuse(feedback, "no"); }
    bool RemoveChild(ContentBase*, IFeedback* feedback) override { return Refuse(feedback, "no"); }
};

} // namespace

TEST(UniqueFilenamePolicy, NumbersAClashingNameWithinFourteenCharacters)
{
    struct Case {
        QList<QPair<QString, int>> siblings;
        QString name;
        QString expected;
    };
    const Case cases[] = {
        {{{"Thunderstorms01", 1}}, "Thunderstorms01", "Thundersto (2)"},
        {{{"Rain", 1}, {"Rain (2)", 2}}, "Rain", "Rain (3)"},
        {{{"Sun", 1}}, "Moon", "Moon"},
        // Compared as it will be stored: the 20-character name is its first 16.
        {{{"ABCDEFGHIJKLMNOP", 1}}, "ABCDEFGHIJKLMNOPQRST", "ABCDEFGHIJ (2)"},
    };
    for (const Case& c : cases) {
        auto folder = FolderWith(UniqueFilenamePolicy::Instance(), c.siblings);
        QString name = c.name;
        int address = 50;
        UniqueFilenamePolicy::Instance()->MakeUnique(folder.get(), nullptr, name, address);
        EXPECT_EQ(name, c.expected) << c.name.toStdString();
        EXPECT_LE(name.size(), 16);
    }
}

TEST(UniqueFilenamePolicy, WalksTheAddressAfterTheNameAndSkipsTheGivenChild)
{
    auto folder = FolderWith(UniqueFilenamePolicy::Instance(), {{"Rain", 0}, {"Rain (2)", 1}, {"Snow", 2}});
    QString name = QStringLiteral("Rain");
    int address = 0;
    EXPECT_TRUE(UniqueFilenamePolicy::Instance()->MakeUnique(folder.get(), nullptr, name, address));
    EXPECT_EQ(name, QStringLiteral("Rain (3)"));
    EXPECT_EQ(address, 3) << "address 0 is walked like any other value, restarting after every bump";

    // A child compared with itself never clashes.
    ContentBase* snow = folder->Child(2);
    name = QStringLiteral("Snow");
    address = 2;
    EXPECT_FALSE(UniqueFilenamePolicy::Instance()->Conflicts(folder.get(), snow, name, address));
    EXPECT_FALSE(UniqueFilenamePolicy::Instance()->MakeUnique(folder.get(), snow, name, address));
    EXPECT_EQ(address, 2);
}

TEST(UniqueDMXChannelPolicy, MakeUniqueRestartsAfterEveryBumpAndLeavesZeroAlone)
{
    using Channels = UniqueDMXChannelPolicy<1, 255>;
    auto folder = FolderWith(Channels::Instance(), {{"a", 3}, {"b", 2}});
    QString name = QStringLiteral("a");
    int address = 2;
    EXPECT_TRUE(Channels::Instance()->MakeUnique(folder.get(), nullptr, name, address));
    EXPECT_EQ(address, 4);
    EXPECT_EQ(name, QStringLiteral("a")) << "the channel rule never renames";

    address = 0;
    EXPECT_FALSE(Channels::Instance()->MakeUnique(folder.get(), nullptr, name, address));
    EXPECT_EQ(address, 0);
    EXPECT_FALSE(Channels::Instance()->Conflicts(folder.get(), nullptr, name, 0));
    EXPECT_TRUE(Channels::Instance()->Conflicts(folder.get(), nullptr, QStringLiteral("new"), 3));

    // No range is applied by the rule: the caller checks it.
    auto full = FolderWith(Channels::Instance(), {{"x", 255}});
    address = 255;
    Channels::Instance()->MakeUnique(full.get(), nullptr, name, address);
    EXPECT_EQ(address, 256);
}

TEST(ContentPolicy, CombinationAsksTheSecondRuleOnlyWhenTheFirstChangedNothing)
{
    auto folder = FolderWith(UniqueNamesAndChannels::Instance(), {{"Sky", 5}});
    QString name = QStringLiteral("Cloud");
    int address = 5;
    EXPECT_TRUE(folder->Conflicts(name, address)) << "either rule's clash counts";
    folder->MakeUnique(name, address);
    EXPECT_EQ(name, QStringLiteral("Cloud"));
    EXPECT_EQ(address, 6);

    // A first-family folder: a fresh name at address 0 does not clash even beside others at 0.
    auto family = FolderWith(BREVANTContentFolderPolicy::Instance(), {{"a", 0}, {"b", 0}});
    EXPECT_FALSE(family->Conflicts(QStringLiteral("c"), 0));
}

TEST(NamedPolicies, RangesNamesAndPermissions)
{
    struct Case {
        PolicyBase* policy;
        const char* className;
        const char* display;
        const char* suffix;
        int min, max, emptyDefault;
        bool readOnly, childrenReadOnly, viewOnly;
    };
    const Case cases[] = {
        {BREVANTContentFolderPolicy::Instance(), "BREVANTContentFolderPolicy", "BREVANT Folder", "", 1, 255, 1, false, false, false},
        {BREVANTContentPackagePolicy::Instance(), "BREVANTContentPackagePolicy", "BREVANT Package", "(BREVANT)", 41, 250, 41, false, false, false},
        {CINDRALContentFolderPolicy::Instance(), "CINDRALContentFolderPolicy", "Cindral Folder", "", 1, 255, 1, false, false, false},
        {CINDRALContentPackagePolicy::Instance(), "CINDRALContentPackagePolicy", "Cindral Package", "(Cindral)", 41, 250, 41, false, false, false},
        {RootContentPolicy::Instance(), "RootContentPolicy", "Root Content", "", 0, 255, 0, false, false, false},
        {BREVANTMOSAVRAContentFolderPolicy::Instance(), "BREVANTMOSAVRAContentFolderPolicy", "BREVANT Mosavra Folder", "", 1, 255, 1, false, false, false},
        {BREVANTMOSAVRAContentPackagePolicy::Instance(), "BREVANTMOSAVRAContentPackagePolicy", "BREVANT Mosavra Package", "(BREVANT)", 1, 255, 1, true, false, true},
        {CINDRALMOSAVRAContentFolderPolicy::Instance(), "CINDRALMOSAVRAContentFolderPolicy", "Cindral Mosavra Folder", "", 1, 255, 1, false, false, false},
        {CINDRALMOSAVRAContentPackagePolicy::Instance(), "CINDRALMOSAVRAContentPackagePolicy", "Cindral Mosavra Package", "(Cindral)", 1, 255, 1, true, false, true},
        {RootMosavraContentPolicy::Instance(), "RootMosavraContentPolicy", "Root Mosavra Content", "", 0, 255, 0, true, true, true},
        {StandardStockContentPolicy::Instance(), "StandardStockContentPolicy", "StandardStockContentPolicy", "", 0, 255, 0, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.className);
        MemoryFolder folder(c.policy);
        EXPECT_STREQ(c.policy->ClassName(), c.className);
        EXPECT_STREQ(c.policy->DisplayName(), c.display);
        EXPECT_STREQ(c.policy->FamilySuffix(), c.suffix);
        EXPECT_EQ(folder.MinAddress(), c.min);
        EXPECT_EQ(folder.MaxAddress(), c.max);
        EXPECT_EQ(folder.DefaultAddress(), c.emptyDefault);
        EXPECT_EQ(folder.IsReadOnly(), c.readOnly);
        EXPECT_EQ(folder.IsChildrenReadOnly(), c.childrenReadOnly);
        EXPECT_EQ(folder.IsViewOnly(), c.viewOnly);
        EXPECT_EQ(PolicyRegistry::Find(c.className), c.policy);
    }
}

TEST(PolicyRegistry, FindsByClassNameIgnoringCaseInRegistrationOrder)
{
    EXPECT_EQ(PolicyRegistry::Find("brevantcontentfolderpolicy"), BREVANTContentFolderPolicy::Instance());
    EXPECT_EQ(PolicyRegistry::Find(QStringLiteral("ROOTCONTENTPOLICY")), RootContentPolicy::Instance());
    EXPECT_EQ(PolicyRegistry::Find("NoSuchPolicy"), nullptr);
    EXPECT_EQ(PolicyRegistry::Find(static_cast<const char*>(nullptr)), nullptr);
    EXPECT_EQ(PolicyRegistry::Find(""), nullptr) << "the unnamed rule classes are not registered";

    QStringList names;
    for (PolicyBase* policy : PolicyRegistry::All())
        names.prepend(QString::fromLatin1(policy->ClassName()));
    EXPECT_EQ(names, QStringList({"BREVANTContentFolderPolicy", "BREVANTContentPackagePolicy",
                                  "CINDRALContentFolderPolicy", "CINDRALContentPackagePolicy", "RootContentPolicy",
                                  "BREVANTMOSAVRAContentFolderPolicy", "BREVANTMOSAVRAContentPackagePolicy",
                                  "CINDRALMOSAVRAContentFolderPolicy", "CINDRALMOSAVRAContentPackagePolicy",
                                  "RootMosavraContentPolicy", "StandardStockContentPolicy"}));

    // A policy built with a name joins at the head and leaves when destroyed.
    struct Shadow : PolicyBase {
        Shadow() : PolicyBase("Shadow") {}
        const char* ClassName() const override { return "BREVANTContentFolderPolicy"; }
    };
    {
        Shadow extra;
        EXPECT_EQ(PolicyRegistry::Find("BREVANTCONTENTFOLDERPOLICY"), &extra);
    }
    EXPECT_EQ(PolicyRegistry::Find("BREVANTCONTENTFOLDERPOLICY"), BREVANTContentFolderPolicy::Instance());
}

TEST(NamedPolicies, NewChildPolicyAnswersPerKind)
{
    struct Case {
        PolicyBase* policy;
        PolicyBase* kind0;
        PolicyBase* kind1;
    };
    const Case cases[] = {
        {RootContentPolicy::Instance(), BREVANTContentPackagePolicy::Instance(), CINDRALContentPackagePolicy::Instance()},
        {BREVANTContentPackagePolicy::Instance(), BREVANTContentFolderPolicy::Instance(), nullptr},
        {CINDRALContentPackagePolicy::Instance(), CINDRALContentFolderPolicy::Instance(), nullptr},
        {BREVANTContentFolderPolicy::Instance(), BREVANTContentFolderPolicy::Instance(), nullptr},
        {CINDRALContentFolderPolicy::Instance(), CINDRALContentFolderPolicy::Instance(), nullptr},
        {RootMosavraContentPolicy::Instance(), BREVANTMOSAVRAContentPackagePolicy::Instance(),
         CINDRALMOSAVRAContentPackagePolicy::Instance()},
        {BREVANTMOSAVRAContentPackagePolicy::Instance(), BREVANTMOSAVRAContentFolderPolicy::Instance(), nullptr},
        {CINDRALMOSAVRAContentPackagePolicy::Instance(), CINDRALMOSAVRAContentFolderPolicy::Instance(), nullptr},
        {BREVANTMOSAVRAContentFolderPolicy::Instance(), BREVANTMOSAVRAContentFolderPolicy::Instance(), nullptr},
        {CINDRALMOSAVRAContentFolderPolicy::Instance(), CINDRALMOSAVRAContentFolderPolicy::Instance(), nullptr},
        {StandardStockContentPolicy::Instance(), StandardStockContentPolicy::Instance(), nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.policy->ClassName());
        EXPECT_EQ(c.policy->NewChildPolicy(nullptr, 0), c.kind0);
        EXPECT_EQ(c.policy->NewChildPolicy(nullptr, 1), c.kind1);
        EXPECT_EQ(c.policy->NewChildPolicy(nullptr, 2), nullptr);
        EXPECT_EQ(c.policy->NewChildPolicy(nullptr, -1), nullptr);
    }
}

TEST(NamedPolicies, FamilyFoldersTakeImagesOfBothFamiliesAndPackagesTakeFamilyFolders)
{
    MemoryFolder brevantFolder(BREVANTContentFolderPolicy::Instance());
    MemoryFolder cindralFolder(CINDRALContentFolderPolicy::Instance());
    MemoryFolder brevantPackage(BREVANTContentPackagePolicy::Instance());
    MemoryFolder mosavraFolder(BREVANTMOSAVRAContentFolderPolicy::Instance());
    BrevantImage brevant;
    CindralImage cindral;
    MemoryContent other;

    EXPECT_TRUE(brevantFolder.AcceptsContent(&brevant));
    EXPECT_TRUE(brevantFolder.AcceptsContent(&cindral));
    EXPECT_FALSE(brevantFolder.AcceptsContent(&other));
    EXPECT_FALSE(brevantPackage.AcceptsContent(&brevant));
    EXPECT_TRUE(mosavraFolder.AcceptsContent(&other)) << "the Mosavra folders take everything";

    MemoryFolder anotherPackage(BREVANTContentPackagePolicy::Instance());
    MemoryFolder cindralPackage(CINDRALContentPackagePolicy::Instance());
    EXPECT_TRUE(brevantPackage.AcceptsFolder(&brevantFolder));
    EXPECT_TRUE(brevantPackage.AcceptsFolder(&cindralFolder));
    EXPECT_TRUE(brevantPackage.AcceptsFolder(&anotherPackage));
    EXPECT_FALSE(brevantPackage.AcceptsFolder(&cindralPackage));
    EXPECT_FALSE(brevantPackage.AcceptsFolder(&mosavraFolder));
    EXPECT_FALSE(brevantFolder.AcceptsFolder(&cindralFolder)) << "family folders hold no folders";
    EXPECT_TRUE(brevantFolder.AcceptsFolder(nullptr));

    EmptyMosavraFolder otherClass(BREVANTContentFolderPolicy::Instance());
    EXPECT_FALSE(brevantPackage.AcceptsFolder(&otherClass)) << "a folder of the other policy-folder class";
    EXPECT_EQ(qobject_cast<ContentPolicyFolder*>(&otherClass), nullptr);
    EXPECT_EQ(PolicyOf(&otherClass), BREVANTContentFolderPolicy::Instance());
}

TEST(NamedPolicies, ConvertContentClonesOwnFamilyAndConvertsTheOther)
{
    auto cindral = ImageWithOneFrame<CindralImage>();
    auto brevant = ImageWithOneFrame<BrevantImage>();
    PolicyBase* brevantPolicy = BREVANTContentFolderPolicy::Instance();

    std::unique_ptr<Content> clone(brevantPolicy->ConvertContent(nullptr, brevant.get()));
    ASSERT_TRUE(clone);
    EXPECT_EQ(typeid(*clone), typeid(BrevantImage));
    EXPECT_EQ(clone->Key(), brevant->Key());

    std::unique_ptr<Content> converted(brevantPolicy->ConvertContent(nullptr, cindral.get()));
    ASSERT_TRUE(converted);
    EXPECT_EQ(typeid(*converted), typeid(BrevantImage));
    const auto* image = static_cast<BrevantImage*>(converted.get());
    EXPECT_EQ(image->GetFrame(0)->indices[BrevantImage::kOuterRingLeds], 0);
    EXPECT_EQ(image->GetFrame(0)->indices[BrevantImage::kOuterRingLeds + 5], 5);

    std::unique_ptr<Content> back(CINDRALContentFolderPolicy::Instance()->ConvertContent(nullptr, brevant.get()));
    ASSERT_TRUE(back);
    EXPECT_EQ(typeid(*back), typeid(CindralImage));

    MemoryContent other;
    EXPECT_EQ(brevantPolicy->ConvertContent(nullptr, &other), nullptr);
    EXPECT_EQ(RootContentPolicy::Instance()->ConvertContent(nullptr, brevant.get()), nullptr);
}

TEST(PolicyFolder, MovesStayBetweenFoldersOfOnePolicy)
{
    MemoryFolder root(RootContentPolicy::Instance(), QStringLiteral("Root"));
    MemoryFolder* package = root.AddFolder(QStringLiteral("P"), 0, BREVANTContentPackagePolicy::Instance());
    MemoryFolder* brevantA = package->AddFolder(QStringLiteral("A"), 41);
    MemoryFolder* brevantB = package->AddFolder(QStringLiteral("B"), 42);
    MemoryFolder* cindral = package->AddFolder(QStringLiteral("C"), 43, CINDRALContentFolderPolicy::Instance());
    auto* image = new BrevantImage;
    image->SetName(QStringLiteral("img"));
    brevantA->Adopt(image);

    EXPECT_TRUE(brevantB->CanMoveContentHere(image));
    EXPECT_FALSE(brevantA->CanMoveContentHere(image)) << "already there";
    EXPECT_FALSE(cindral->CanMoveContentHere(image)) << "a move never converts";
    EXPECT_FALSE(package->CanMoveFolderHere(package)) << "not into itself";

    // Folders, like contents, by the policy of the folder they leave.
    MemoryFolder* sameFamily = root.AddFolder(QStringLiteral("R"), 0, BREVANTContentPackagePolicy::Instance());
    EXPECT_TRUE(sameFamily->CanMoveFolderHere(brevantA)) << "between packages of one family";
    EXPECT_FALSE(package->CanMoveFolderHere(brevantA)) << "already there";
    MemoryFolder* otherPackage = root.AddFolder(QStringLiteral("Q"), 0, CINDRALContentPackagePolicy::Instance());
    EXPECT_FALSE(otherPackage->CanMoveFolderHere(brevantA)) << "a package of the other family";

    EXPECT_FALSE(brevantA->ConflictsFor(image, QStringLiteral("img"), 0)) << "a child never clashes with itself";
    EXPECT_TRUE(brevantA->Conflicts(QStringLiteral("img"), 0));
}

TEST(PolicyFolder, SetPolicyReachesChildFoldersOfItsOwnClass)
{
    MemoryFolder package(BREVANTContentPackagePolicy::Instance());
    MemoryFolder* folder = package.AddFolder(QStringLiteral("A"), 41);
    MemoryFolder* inner = folder->AddFolder(QStringLiteral("B"));
    folder->AddContent(QStringLiteral("c"), 1);

    package.SetChildrenPolicy(CINDRALContentFolderPolicy::Instance(), false);
    EXPECT_EQ(folder->Policy(), CINDRALContentFolderPolicy::Instance());
    EXPECT_EQ(inner->Policy(), BREVANTContentFolderPolicy::Instance());

    package.SetPolicy(CINDRALContentPackagePolicy::Instance(), true);
    EXPECT_EQ(package.Policy(), CINDRALContentPackagePolicy::Instance());
    EXPECT_EQ(inner->Policy(), CINDRALContentPackagePolicy::Instance());
}

TEST(FamilyImport, ProbesLoadsConvertsAndHandsPicturesToTheImporter)
{
    QTemporaryDir dir;
    auto stored = ImageWithOneFrame<CindralImage>();
    const QString cindralPath = dir.filePath(QStringLiteral("Waves.cdli"));
    ASSERT_TRUE(stored->Save(cindralPath));

    MemoryFolder brevantFolder(BREVANTContentFolderPolicy::Instance());
    MemoryFolder root(RootContentPolicy::Instance());

    // The probe reads nothing.
    QList<Content*> probe = brevantFolder.ImportFile(dir.filePath(QStringLiteral("missing.png")));
    ASSERT_EQ(probe.size(), 1);
    EXPECT_EQ(typeid(*probe[0]), typeid(BrevantImage));
    EXPECT_TRUE(probe[0]->IsNotLoaded());
    qDeleteAll(probe);
    EXPECT_TRUE(root.ImportFile(cindralPath).isEmpty()) << "only the family folders import";

    // The other family's file is converted and named after the file.
    QList<Content*> imported = brevantFolder.ImportFileFor(nullptr, cindralPath);
    ASSERT_EQ(imported.size(), 1);
    EXPECT_EQ(typeid(*imported[0]), typeid(BrevantImage));
    EXPECT_EQ(imported[0]->GetName(), QStringLiteral("Waves"));
    EXPECT_FALSE(imported[0]->IsNotLoaded());
    qDeleteAll(imported);

    // The suffix is compared case-sensitively; pictures go to the installed importer.
    const QString upper = dir.filePath(QStringLiteral("Loud.CDLI"));
    ASSERT_TRUE(QFile::copy(cindralPath, upper));
    EXPECT_TRUE(brevantFolder.ImportFileFor(nullptr, upper).isEmpty()) << "no importer installed";

    QStringList asked;
    SetPictureImporter([&](QWidget*, const QFileInfo& file, Content& image) {
        asked << file.fileName();
        return dynamic_cast<BrevantImage*>(&image) != nullptr && file.suffix() != QStringLiteral("png")
                   ? PictureImportResult::Imported
                   : PictureImportResult::Declined;
    });
    imported = brevantFolder.ImportFileFor(nullptr, upper);
    ASSERT_EQ(imported.size(), 1);
    EXPECT_EQ(imported[0]->GetName(), QStringLiteral("Loud"));
    qDeleteAll(imported);
    EXPECT_TRUE(brevantFolder.ImportFileFor(nullptr, dir.filePath(QStringLiteral("cancelled.png"))).isEmpty());
    SetPictureImporter({});
    EXPECT_EQ(asked, QStringList({"Loud.CDLI", "cancelled.png"}));
}

TEST(FamilyImport, WhatCannotBeReadIsNotedForTheCallerAndACancelIsNot)
{
    QTemporaryDir dir;
    MemoryFolder brevantFolder(BREVANTContentFolderPolicy::Instance());
    const QString broken = dir.filePath(QStringLiteral("Broken.cdli"));
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not an image");
    file.close();
    const QString notes = dir.filePath(QStringLiteral("notes.txt"));
    SetPictureImporter([](QWidget*, const QFileInfo& file, Content&) {
        return file.suffix() == QStringLiteral("txt") ? PictureImportResult::Unreadable
                                                      : PictureImportResult::Declined;
    });

    UnreadableImports outer;
    {
        UnreadableImports unreadable;
        for (const QString& path : {broken, notes, dir.filePath(QStringLiteral("cancelled.png"))})
            EXPECT_TRUE(brevantFolder.ImportFileFor(nullptr, path).isEmpty()) << path.toStdString();
        EXPECT_EQ(unreadable.Files(), QStringList({broken, notes}));
    }
    EXPECT_TRUE(brevantFolder.ImportFileFor(nullptr, notes).isEmpty());
    SetPictureImporter({});
    EXPECT_EQ(outer.Files(), QStringList{notes}) << "noted with the innermost collector only";
}
