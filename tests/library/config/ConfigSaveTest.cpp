// Saving a config.xml where the disk or the package will not take it, and into packages.
#include "content/policies/NamedPolicies.h"
#include "library/archive/CustomFileSystemEngineHandler.h"
#include "tests/common/ScopedFileSizeLimit.h"
#include "tests/library/config/ConfigTestNodes.h"
#include "tests/library/config/ConfigTestSupport.h"


using namespace config_test;
using Form = LibraryConfig::Form;
using Handler = CustomFileSystemEngineHandler;

namespace {

// A package node "Shows" bound to `dir`, with the folders "Evening" (41) and "Late" (42).
std::unique_ptr<UserNode> Package(const QString& dir)
{
    auto package = std::make_unique<UserNode>(Form::Package, BREVANTContentPackagePolicy::Instance(),
                                              QStringLiteral("Shows"), dir);
    package->AddFolder(QStringLiteral("Evening"), 41);
    package->AddFolder(QStringLiteral("Late"), 42);
    return package;
}

class SavingConfig : public ConfigFolder
{
};

TEST_F(SavingConfig, AFullDiskFailsAndLeavesTheOldFileWhole)
{
    const QString dir = Folder(QStringLiteral("Shows"));
    const QByteArray old = Xml({R"(<objects policy="BREVANTContentPackagePolicy">)", R"(    <folder name="Evening" address="41"/>)",
                                "</objects>"});
    WriteBytes(ConfigOf(QStringLiteral("Shows")), old);
    auto package = Package(dir);

    ArchiveResult result = ArchiveResult::Success();
    {
        testing_env::ScopedFileSizeLimit limit(64);
        result = package->SaveConfig();
    }
    EXPECT_FALSE(result.Ok());
    EXPECT_TRUE(result.Message().contains(ConfigOf(QStringLiteral("Shows")))) << result.Message().toStdString();
    EXPECT_EQ(ReadBytes(ConfigOf(QStringLiteral("Shows"))), old);
    EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("config.xml")});
}

TEST_F(SavingConfig, ANameXmlCannotHoldFailsAndLeavesTheOldFileWhole)
{
    const QString dir = Folder(QStringLiteral("Shows"));
    const QByteArray old = Xml({R"(<objects policy="BREVANTContentPackagePolicy">)", R"(    <folder name="Evening" address="41"/>)",
                                "</objects>"});
    for (const QString& bad : {QStringLiteral("Bell\x07"), QStringLiteral("Nul") + QChar(0), QStringLiteral("Half") + QChar(0xDC00)}) {
        SCOPED_TRACE(bad.toStdString());
        WriteBytes(ConfigOf(QStringLiteral("Shows")), old);
        auto package = Package(dir);
        package->AddFolder(bad, 43);
        const ArchiveResult result = package->SaveConfig();
        EXPECT_FALSE(result.Ok());
        EXPECT_TRUE(result.Message().contains(QStringLiteral("XML can't hold"))) << result.Message().toStdString();
        EXPECT_EQ(ReadBytes(ConfigOf(QStringLiteral("Shows"))), old);
    }
}

TEST_F(SavingConfig, AnUnwritablePlaceFailsAndSaysSo)
{
    // A regular file where the folder should be: even root cannot write below it.
    WriteBytes(Path(QStringLiteral("blocker")), "x");
    auto package = Package(Path(QStringLiteral("blocker")));
    const ArchiveResult result = package->SaveConfig();
    EXPECT_FALSE(result.Ok());
    EXPECT_TRUE(result.Message().contains(QStringLiteral("blocker/config.xml"))) << result.Message().toStdString();
    EXPECT_EQ(ReadBytes(Path(QStringLiteral("blocker"))), "x");
}

TEST_F(SavingConfig, APackageTakesAFileOnlyWhileItIsWritten)
{
    const QString archive = Path(QStringLiteral("shows.qelpkg"));
    auto package = Package(archive);
    package->Child(1)->SetAddress(0);

    // Not being written: the package cannot take the file.
    EXPECT_FALSE(package->SaveConfig().Ok());
    EXPECT_FALSE(QFile::exists(archive));

    {
        Handler::ArchiveWriterEnabler writing(archive);
        ASSERT_TRUE(package->SaveConfig().Ok());
        ASSERT_TRUE(writing.Commit().Ok());
    }

    // Read back through the package.
    auto readBack = Package(archive);
    readBack->Child(0)->SetAddress(0);
    readBack->Child(1)->SetAddress(7);
    readBack->SetPolicy(CINDRALContentPackagePolicy::Instance());
    ASSERT_TRUE(readBack->LoadConfig().Ok());
    EXPECT_EQ(readBack->Policy(), BREVANTContentPackagePolicy::Instance());
    EXPECT_EQ(readBack->Child(0)->GetAddress(), 41);
    EXPECT_EQ(readBack->Child(1)->GetAddress(), 0);

    // A package being read cannot lose its file either.
    UserNode emptied(Form::Package, BREVANTContentPackagePolicy::Instance(), QStringLiteral("Shows"), archive);
    EXPECT_FALSE(emptied.SaveConfig().Ok());
    EXPECT_TRUE(emptied.LoadConfig().Ok());
}

} // namespace
