// The sample stock-content packages the build generates, read as the program reads them.
#include "content/policies/NamedPolicies.h"
#include "library/archive/FileLayer.h"
#include "tests/library/config/ConfigTestNodes.h"
#include "tests/library/config/ConfigTestSupport.h"
#include "tools/stock_content/StockContent.h"

#include <QMap>
#include <QSet>

using namespace config_test;
using Form = LibraryConfig::Form;

namespace {

const QString kBuiltDir = QStringLiteral(VELMORA_STOCK_CONTENT_DIR);

// A stock package read from `archivePath` ("decode#..." for the real reading), built, as
// the program builds its stock packages, with a policy its own config.xml replaces.
std::unique_ptr<UserNode> ReadPackage(const QString& archivePath)
{
    auto package = std::make_unique<UserNode>(Form::Package, BREVANTContentPackagePolicy::Instance(),
                                              QStringLiteral("stock"), archivePath);
    package->Scan();
    return package;
}

QString Decoded(const QString& dir, int family)
{
    return QStringLiteral("decode#") + dir + QLatin1Char('/') + StockContent::PackageFileName(family);
}

// "folder/item" -> key, over a package read back.
QMap<QString, quint32> Keys(const UserNode& package)
{
    QMap<QString, quint32> keys;
    for (int f = 0; f < package.ChildCount(); ++f) {
        const auto* folder = static_cast<const UserNode*>(package.Child(f));
        for (int i = 0; i < folder->ChildCount(); ++i) {
            const auto* item = static_cast<const Content*>(folder->Child(i));
            keys.insert(folder->GetName() + QLatin1Char('/') + item->GetName(), item->Key());
        }
    }
    return keys;
}

TEST(StockContent, BothPackagesListAndLoadThroughDecode)
{
    const QStringList colours{"Red", "Green", "Blue", "Warm White"};
    const QStringList patterns{"Rainbow", "Pulse", "Rings", "Sparkle"};
    for (int family = 0; family < StockContent::kFamilyCount; ++family) {
        SCOPED_TRACE(family);
        const QString path = Decoded(kBuiltDir, family);
        EXPECT_EQ(FileLayer::EntryList(path, {}, QDir::Dirs, QDir::Name),
                  (QStringList{QStringLiteral("Colours"), QStringLiteral("Patterns")}));

        const auto package = ReadPackage(path);
        EXPECT_EQ(package->Policy(), StandardStockContentPolicy::Instance());
        ASSERT_EQ(package->ChildCount(), 2);
        const QList<QStringList> names{colours, patterns};
        for (int f = 0; f < 2; ++f) {
            const auto* folder = static_cast<const UserNode*>(package->Child(f));
            SCOPED_TRACE(folder->GetName().toStdString());
            EXPECT_EQ(folder->GetAddress(), f + 1);
            EXPECT_EQ(folder->Policy(), StandardStockContentPolicy::Instance());
            // Listed by name; the config gives each its address in the artwork's order.
            ASSERT_EQ(folder->ChildCount(), 4);
            for (int i = 0; i < folder->ChildCount(); ++i) {
                const auto* item = folder->Child(i);
                const int expected = int(names.at(f).indexOf(item->GetName())) + 1;
                EXPECT_GT(expected, 0) << item->GetName().toStdString();
                EXPECT_EQ(item->GetAddress(), expected) << item->GetName().toStdString();
                const bool familyImage = family == 0 ? qobject_cast<const BrevantImage*>(item) != nullptr
                                                     : qobject_cast<const CindralImage*>(item) != nullptr;
                EXPECT_TRUE(familyImage) << item->GetName().toStdString();
                const int frames = family == 0 ? static_cast<const BrevantImage*>(item)->FrameCount()
                                               : static_cast<const CindralImage*>(item)->FrameCount();
                EXPECT_EQ(frames > 1, f == 1) << item->GetName().toStdString();
            }
        }
        // Every image has a key of its own.
        const QList<quint32> keys = Keys(*package).values();
        EXPECT_EQ(QSet<quint32>(keys.begin(), keys.end()).size(), 8);
    }
}

TEST(StockContent, WithoutDecodeTheMembersAreUnreadable)
{
    const QString plain = kBuiltDir + QLatin1Char('/') + StockContent::PackageFileName(0);
    // The names are visible, the contents are not.
    const auto package = ReadPackage(plain);
    ASSERT_EQ(package->ChildCount(), 2);
    EXPECT_EQ(package->Policy(), BREVANTContentPackagePolicy::Instance());
    EXPECT_EQ(static_cast<const UserNode*>(package->Child(0))->ChildCount(), 0);
    EXPECT_FALSE(package->LoadConfig().Ok());
}

class GeneratedAgain : public ConfigFolder
{
};

TEST_F(GeneratedAgain, EveryBuildShipsTheSameKeys)
{
    for (int family = 0; family < StockContent::kFamilyCount; ++family) {
        SCOPED_TRACE(family);
        ASSERT_TRUE(StockContent::WritePackage(family, Path()).Ok());
        const auto fresh = ReadPackage(Decoded(Path(), family));
        const auto built = ReadPackage(Decoded(kBuiltDir, family));
        EXPECT_EQ(Keys(*fresh).size(), 8);
        EXPECT_EQ(Keys(*fresh), Keys(*built));
    }
}

TEST_F(GeneratedAgain, AnUnwritablePlaceFailsAndLeavesNothing)
{
    WriteBytes(Path(QStringLiteral("blocker")), "x");
    const ArchiveResult result = StockContent::WritePackage(0, Path(QStringLiteral("blocker")));
    EXPECT_FALSE(result.Ok());
    EXPECT_TRUE(result.Message().contains(QStringLiteral("blocker"))) << result.Message().toStdString();
    EXPECT_EQ(QDir(Path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{QStringLiteral("blocker")});
}

} // namespace
