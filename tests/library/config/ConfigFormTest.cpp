// What each kind of library node writes into its config.xml.
#include "content/policies/NamedPolicies.h"
#include "tests/library/config/ConfigTestNodes.h"
#include "tests/library/config/ConfigTestSupport.h"

using namespace config_test;
using Form = LibraryConfig::Form;

namespace {

// A user library in "lib" with the package "Shows".
class WrittenForms : public ConfigFolder
{
protected:
    WrittenForms()
        : root_(Form::Root, RootContentPolicy::Instance(), QStringLiteral("User Content"), Folder(QStringLiteral("lib")))
    {
        shows_ = root_.AddFolder(QStringLiteral("Shows"));
    }

    // A new folder of "Shows", its directory made.
    UserNode* ShowsFolder(const QString& name)
    {
        Folder(QStringLiteral("lib/Shows/") + name);
        return shows_->AddFolder(name);
    }

    UserNode root_;
    UserNode* shows_;
};

TEST_F(WrittenForms, AUserFolderListsOnlyItemsWithAnAddress)
{
    UserNode* folder = ShowsFolder(QStringLiteral("Evening"));
    folder->AddItem(QStringLiteral("A"), 42);
    folder->AddItem(QStringLiteral("B"), 0);

    ASSERT_TRUE(folder->SaveConfig().Ok());
    EXPECT_EQ(ReadBytes(ConfigOf(QStringLiteral("lib/Shows/Evening"))),
              Xml({R"(<objects policy="BREVANTContentFolderPolicy">)", R"(    <content name="A" address="42"/>)",
                   "</objects>"}));

    // Items all without address: the file keeps only the folder's policy.
    folder->Child(0)->SetAddress(0);
    ASSERT_TRUE(folder->SaveConfig().Ok());
    EXPECT_EQ(ReadBytes(ConfigOf(QStringLiteral("lib/Shows/Evening"))),
              Xml({R"(<objects policy="BREVANTContentFolderPolicy"/>)"}));
}

TEST_F(WrittenForms, ANodeWithoutChildrenHasNoFile)
{
    UserNode* folder = ShowsFolder(QStringLiteral("Empty"));
    WriteBytes(ConfigOf(QStringLiteral("lib/Shows/Empty")), "<objects/>");

    EXPECT_TRUE(folder->SaveConfig().Ok());
    EXPECT_FALSE(QFile::exists(ConfigOf(QStringLiteral("lib/Shows/Empty"))));
    // Saving again, with nothing to remove, is no failure either.
    EXPECT_TRUE(folder->SaveConfig().Ok());
}

TEST_F(WrittenForms, AnEmptyPackageKeepsAFileNamingItsFamily)
{
    shows_->SetPolicy(CINDRALContentPackagePolicy::Instance());
    Folder(QStringLiteral("lib/Shows"));

    ASSERT_TRUE(shows_->SaveConfig().Ok());
    EXPECT_EQ(ReadBytes(ConfigOf(QStringLiteral("lib/Shows"))),
              Xml({R"(<objects policy="CINDRALContentPackagePolicy"/>)"}));
}

TEST_F(WrittenForms, APackageListsEveryFolder)
{
    shows_->SetPolicy(CINDRALContentPackagePolicy::Instance());
    Folder(QStringLiteral("lib/Shows"));
    shows_->AddFolder(QStringLiteral("Evening"), 41);
    shows_->AddFolder(QStringLiteral("Spare"), 0);

    ASSERT_TRUE(shows_->SaveConfig().Ok());
    EXPECT_EQ(ReadBytes(ConfigOf(QStringLiteral("lib/Shows"))),
              Xml({R"(<objects policy="CINDRALContentPackagePolicy">)", R"(    <folder name="Evening" address="41"/>)",
                   R"(    <folder name="Spare" address="0"/>)", "</objects>"}));
}

TEST_F(WrittenForms, AUserRootCarriesTheVersionAndEveryPackage)
{
    root_.AddFolder(QStringLiteral("Tests"), 0, RootContentPolicy::Instance()->NewChildPolicy(&root_, 1));

    ASSERT_TRUE(root_.SaveConfig().Ok());
    EXPECT_EQ(ReadBytes(ConfigOf(QStringLiteral("lib"))),
              Xml({R"(<objects version="1">)", R"(    <package name="Shows" address="0"/>)",
                   R"(    <package name="Tests" address="0"/>)", "</objects>"}));
}

TEST_F(WrittenForms, AMosavraCollageListsNumbersAndAddressZeroToo)
{
    MosavraNode root(Form::Root, RootMosavraContentPolicy::Instance(), QStringLiteral("Mosavra Content"),
                     Folder(QStringLiteral("mosavra")));
    MosavraNode* collage = root.AddFolder(QStringLiteral("BREVANT"), 251)->AddFolder(QStringLiteral("Stage"), 3);
    Folder(QStringLiteral("mosavra/BREVANT/Stage"));
    EXPECT_EQ(collage->GetForm(), Form::Collage);
    collage->AddItem(QStringLiteral("Stage_7"), 3, 7);
    collage->AddItem(QStringLiteral("Stage_12"), 0, 12);

    ASSERT_TRUE(collage->SaveConfig().Ok());
    EXPECT_EQ(ReadBytes(ConfigOf(QStringLiteral("mosavra/BREVANT/Stage"))),
              Xml({R"(<objects policy="BREVANTMOSAVRAContentFolderPolicy">)",
                   R"(    <content name="Stage_7" mosavraID="7" address="3"/>)",
                   R"(    <content name="Stage_12" mosavraID="12" address="0"/>)", "</objects>"}));
}

TEST_F(WrittenForms, AMosavraRootListsItsTwoPackages)
{
    MosavraNode root(Form::Root, RootMosavraContentPolicy::Instance(), QStringLiteral("Mosavra Content"),
                     Folder(QStringLiteral("mosavra")));
    root.AddFolder(QStringLiteral("BREVANT"), 251);
    root.AddFolder(QStringLiteral("Cindral"), 251, CINDRALMOSAVRAContentPackagePolicy::Instance());

    ASSERT_TRUE(root.SaveConfig().Ok());
    EXPECT_EQ(ReadBytes(ConfigOf(QStringLiteral("mosavra"))),
              Xml({R"(<objects version="1">)", R"(    <package name="BREVANT" address="251"/>)",
                   R"(    <package name="Cindral" address="251"/>)", "</objects>"}));
}

TEST_F(WrittenForms, NamesThatNeedEscapingReadBack)
{
    UserNode* folder = ShowsFolder(QStringLiteral("Odd"));
    const QStringList names{QStringLiteral("Rock & \"Roll\""), QStringLiteral("<Früh>"), QStringLiteral("it's  two")};
    for (int i = 0; i < names.size(); ++i)
        folder->AddItem(names.at(i), 10 + i);
    ASSERT_TRUE(folder->SaveConfig().Ok());

    for (int i = 0; i < names.size(); ++i)
        folder->Child(i)->SetAddress(0);
    ASSERT_TRUE(folder->LoadConfig().Ok());
    for (int i = 0; i < names.size(); ++i)
        EXPECT_EQ(folder->Child(i)->GetAddress(), 10 + i) << names.at(i).toStdString();
}

} // namespace
