#include "app/shell/ApplicationVersion.h"
#include "app/shell/StorageRoots.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Points the documents and application-data folders at fresh temporary folders.
class StorageRootsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        oldDocuments_ = qgetenv("VELMORA_DOCUMENTS");
        oldData_ = qgetenv("VELMORA_APPDATA");
        qputenv("VELMORA_DOCUMENTS", QFile::encodeName(Documents()));
        qputenv("VELMORA_APPDATA", QFile::encodeName(Data()));
        QDir().mkpath(Documents());
    }
    void TearDown() override
    {
        qputenv("VELMORA_DOCUMENTS", oldDocuments_);
        qputenv("VELMORA_APPDATA", oldData_);
    }

    QString Documents() const { return root_.filePath("documents"); }
    QString Data() const { return root_.filePath("data"); }

    QTemporaryDir root_;
    QByteArray oldDocuments_;
    QByteArray oldData_;
};

} // namespace

TEST_F(StorageRootsTest, AllFiveRootsAreMadeAndRegistered)
{
    StorageRoots::SetUp();
    const struct {
        const char* prefix;
        QString folder;
    } roots[] = {
        {"ContentLibraryRoot", Documents() + "/Velmora Content Library"},
        {"MosavraContentLibraryRoot", Documents() + "/Velmora Mosavra Content Library"},
        {"Firmware", Data() + "/Quorvane/Velmora/Firmware"},
        {"StockContent", Data() + "/Quorvane/Velmora/Content"},
        {"ContentCache", Data() + "/Quorvane/Velmora/Cache"},
    };
    for (const auto& root : roots) {
        SCOPED_TRACE(root.prefix);
        EXPECT_TRUE(QDir(root.folder).exists());
        EXPECT_EQ(QDir::searchPaths(root.prefix), QStringList{QDir(root.folder).absolutePath()});
    }
}

TEST_F(StorageRootsTest, TheOlderLibraryFolderIsMovedUnlessTheNewOneExists)
{
    QDir(Documents()).mkpath("Brevant Content Library/Show");
    StorageRoots::SetUp();
    EXPECT_FALSE(QDir(Documents() + "/Brevant Content Library").exists());
    EXPECT_TRUE(QDir(Documents() + "/Velmora Content Library/Show").exists());

    // Both exist: nothing moves and the current one is used.
    QDir(Documents()).mkpath("Brevant Content Library/Old");
    StorageRoots::SetUp();
    EXPECT_TRUE(QDir(Documents() + "/Brevant Content Library/Old").exists());
    EXPECT_EQ(QDir::searchPaths("ContentLibraryRoot"),
              QStringList{QDir(Documents() + "/Velmora Content Library").absolutePath()});
}

TEST_F(StorageRootsTest, ExactlyOneSlashJoinsTheDataFolderAndTheProgramFolder)
{
    for (const QString& base : {Data(), Data() + "/"}) {
        qputenv("VELMORA_APPDATA", QFile::encodeName(base));
        EXPECT_EQ(StorageRoots::CommonAppDataFolder(), Data() + "/Quorvane/Velmora");
    }
}

TEST(ApplicationVersion, ReadsAsTheAboutBoxShowsIt)
{
    EXPECT_EQ(ApplicationVersionText(), "Velmora Version 1.4.1.614");
}
