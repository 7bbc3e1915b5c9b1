#include "link/ui/Preferences.h"
#include "tests/common/ScopedFileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class PreferencesTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder_.isValid());
        Preferences::SetFolder(folder_.path());
    }
    void TearDown() override { Preferences::SetFolder(QString()); }

    QString FilePath() const { return folder_.filePath(Preferences::kFileName); }

    QByteArray FileBytes() const
    {
        QFile file(FilePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void WriteFile(const QByteArray& bytes) const
    {
        QFile file(FilePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    // What a fresh instance reads back from the file (while no reference is held).
    static QString Reloaded(const char* key)
    {
        ScopedPreferences preferences;
        return preferences->LastPath(key);
    }

    QTemporaryDir folder_;
};

} // namespace

TEST_F(PreferencesTest, FirstSetCreatesTheFileAndAFreshInstanceReadsItBack)
{
    {
        ScopedPreferences preferences;
        EXPECT_EQ(preferences->LastPath(Preferences::kContentExport), "");
        EXPECT_FALSE(QFile::exists(FilePath()));
        EXPECT_TRUE(preferences->SetLastPath(Preferences::kContentExport, "/home/u/out"));
        EXPECT_TRUE(QFile::exists(FilePath())) << "written at once, not at release";
    }
    EXPECT_EQ(Reloaded(Preferences::kContentExport), "/home/u/out");
    EXPECT_EQ(Reloaded(Preferences::kFirmwareUpgrade), "");
}

TEST_F(PreferencesTest, EntriesAreWrittenInKeyOrderOnePerLine)
{
    ScopedPreferences preferences;
    preferences->SetLastPath(Preferences::kContentExport, "/a");
    preferences->SetLastPath(Preferences::kContentFolderImport, "/b");
    preferences->SetLastPath(Preferences::kContentExport, "/c"); // replaces "/a"
    EXPECT_EQ(FileBytes(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<lastPath>\n"
                           "    <ContentFolderImport path=\"/b\"/>\n"
                           "    <content_export path=\"/c\"/>\n"
                           "</lastPath>\n");
}

TEST_F(PreferencesTest, AnEmptyListLoadsEmptyAndItsFileGoesAtTheLastRelease)
{
    WriteFile("<?xml version=\"1.0\"?>\n<lastPath/>\n");
    Preferences* first = Preferences::Acquire();
    Preferences* second = Preferences::Acquire();
    EXPECT_EQ(first, second);
    EXPECT_EQ(first->LastPath(Preferences::kContentExport), "");
    Preferences::Release();
    EXPECT_TRUE(QFile::exists(FilePath())) << "one user is left";
    Preferences::Release();
    EXPECT_FALSE(QFile::exists(FilePath()));
}

TEST_F(PreferencesTest, AnUnreadableFileStartsEmptyIsKeptAndIsReplacedAtTheFirstSet)
{
    const QByteArray cases[] = {
        "",
        "not xml at all",
        // Cut short after an entry: the entry read so far is not taken either.
        "<?xml version=\"1.0\"?>\n<lastPath>\n    <content_export path=\"/old\"/>\n",
        "<lastPath><a:content_export path=\"/old\"/></lastPath>", // undeclared prefix
        "<lastPath><content_export path=\"/old\"></lastPath>",   // mismatched tags
    };
    for (const QByteArray& bytes : cases) {
        SCOPED_TRACE(bytes.toStdString());
        WriteFile(bytes);
        // Read and released without a set: the file is left as it was, not removed.
        EXPECT_EQ(Reloaded(Preferences::kContentExport), "");
        EXPECT_TRUE(QFile::exists(FilePath()));
        EXPECT_EQ(FileBytes(), bytes);
        {
            ScopedPreferences preferences;
            EXPECT_EQ(preferences->LastPath(Preferences::kContentExport), "");
            EXPECT_TRUE(preferences->SetLastPath(Preferences::kFirmwareUpgrade, "/fw"));
        }
        EXPECT_EQ(Reloaded(Preferences::kFirmwareUpgrade), "/fw");
        EXPECT_EQ(Reloaded(Preferences::kContentExport), "");
    }
}

TEST_F(PreferencesTest, ElementsAtAnyDepthAreEntriesAndALaterOneWins)
{
    WriteFile("<lastPath><content_export path=\"/first\"><firmware_upgrade path=\"/fw\"/>"
              "</content_export><content_export path=\"/second\"/><ContentFolderImport/></lastPath>");
    ScopedPreferences preferences;
    EXPECT_EQ(preferences->LastPath(Preferences::kContentExport), "/second");
    EXPECT_EQ(preferences->LastPath(Preferences::kFirmwareUpgrade), "/fw");
    EXPECT_EQ(preferences->LastPath(Preferences::kContentFolderImport), "");
}

TEST_F(PreferencesTest, AFailedWriteAnswersFalseAndLeavesTheOldFileWhole)
{
    ScopedPreferences preferences;
    ASSERT_TRUE(preferences->SetLastPath(Preferences::kContentExport, "/old"));
    const QByteArray before = FileBytes();
    {
        // Any file grown past this size fails as on a full disk.
        testing_env::ScopedFileSizeLimit limit(before.size() - 1);
        EXPECT_FALSE(preferences->SetLastPath(Preferences::kMosavraMediaSelection, "/media/clips"));
    }
    EXPECT_EQ(FileBytes(), before);
    EXPECT_EQ(QDir(folder_.path()).entryList(QDir::Files), QStringList{Preferences::kFileName})
        << "no temporary file is left behind";

    // The entry stays in memory, so the next successful write keeps it.
    EXPECT_TRUE(preferences->SetLastPath(Preferences::kFirmwareUpgrade, "/fw"));
    EXPECT_TRUE(FileBytes().contains("path=\"/media/clips\""));
}

TEST_F(PreferencesTest, AFolderThatCannotHoldTheFileAnswersFalse)
{
    WriteFile("");
    Preferences::SetFolder(FilePath() + "/inside-a-file");
    ScopedPreferences preferences;
    EXPECT_FALSE(preferences->SetLastPath(Preferences::kContentExport, "/a"));
    EXPECT_EQ(preferences->LastPath(Preferences::kContentExport), "/a");
}

TEST_F(PreferencesTest, KeysThatCannotBeElementNamesAreRefusedAndTheFileStaysReadable)
{
    {
        ScopedPreferences preferences;
        for (const char* key : {"", "two words", "1st", "a:b", "a<b", "lastPath", "Ünï"}) {
            SCOPED_TRACE(key);
            EXPECT_FALSE(preferences->SetLastPath(QString::fromUtf8(key), "/x"));
            EXPECT_EQ(preferences->LastPath(QString::fromUtf8(key)), "");
        }
        EXPECT_FALSE(QFile::exists(FilePath()));
        EXPECT_TRUE(preferences->SetLastPath("_my-key.2", "/y"));
    }
    EXPECT_EQ(Reloaded("_my-key.2"), "/y");
}

// Written back without the declarations they relied on, such names would make the next
// load refuse the whole file, and every other entry with it.
TEST_F(PreferencesTest, ElementsNoKeyCouldNameArePassedOverAndTheRestSurviveTheNextSave)
{
    WriteFile("<lastPath xmlns:a=\"urn:x\"><a:content_export path=\"/ns\"/><firmware_upgrade path=\"/fw\"/>"
              "<\xc3\x9cn\xc3\xaf path=\"/u\"/></lastPath>");
    {
        ScopedPreferences preferences;
        EXPECT_EQ(preferences->LastPath("a:content_export"), "");
        EXPECT_EQ(preferences->LastPath(QString::fromUtf8("\xc3\x9cn\xc3\xaf")), "");
        EXPECT_EQ(preferences->LastPath(Preferences::kFirmwareUpgrade), "/fw");
        EXPECT_TRUE(preferences->SetLastPath(Preferences::kContentExport, "/new"));
    }
    EXPECT_EQ(Reloaded(Preferences::kFirmwareUpgrade), "/fw");
    EXPECT_EQ(Reloaded(Preferences::kContentExport), "/new");
}

TEST_F(PreferencesTest, PathsWithMarkupAndNonAsciiTextReadBackUnchanged)
{
    const QString path = QString::fromUtf8("/tmp/a&b <c> \"q\" 'x'/Ünïcödé 漢字 😀/tab\there/line\r\nbreak");
    {
        ScopedPreferences preferences;
        ASSERT_TRUE(preferences->SetLastPath(Preferences::kContentExport, path));
    }
    EXPECT_EQ(Reloaded(Preferences::kContentExport), path);
}

// Such a path would fail every later write of the file, and with it every other entry.
TEST_F(PreferencesTest, APathXmlCannotCarryIsRefusedAndLaterWritesStillWork)
{
    {
        ScopedPreferences preferences;
        ASSERT_TRUE(preferences->SetLastPath(Preferences::kFirmwareUpgrade, "/fw"));
        const QString unpaired = QString("/a") + QChar(0xD800);
        for (const QString& path : {QString("/a\x01"), QString("/a\x1f"), QString("/a") + QChar(0xFFFE), unpaired}) {
            SCOPED_TRACE(path.toStdString());
            EXPECT_FALSE(preferences->SetLastPath(Preferences::kContentExport, path));
            EXPECT_EQ(preferences->LastPath(Preferences::kContentExport), "");
        }
        EXPECT_TRUE(preferences->SetLastPath(Preferences::kMosavraMediaSelection, "/media"));
    }
    EXPECT_EQ(Reloaded(Preferences::kFirmwareUpgrade), "/fw");
    EXPECT_EQ(Reloaded(Preferences::kMosavraMediaSelection), "/media");
}

TEST_F(PreferencesTest, TheLastDirectoryIsTheChosenFilesAbsoluteFolder)
{
    struct Case
    {
        QString chosen;
        QString stored;
    } const cases[] = {
        {"/home/u/Show.qelpkg", "/home/u"},
        {"/Show.qelpkg", "/"},
        {"/home/u/a b/Show", "/home/u/a b"},
        {"out/Show.qelpkg", QDir::current().absoluteFilePath("out")},
    };
    ScopedPreferences preferences;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen.toStdString());
        EXPECT_TRUE(preferences->SetLastDirectory(Preferences::kContentExport, c.chosen));
        EXPECT_EQ(preferences->LastPath(Preferences::kContentExport), c.stored);
    }
}

TEST_F(PreferencesTest, AReleaseWithoutAnAcquireCountsNothing)
{
    Preferences::Release();
    Preferences::Release();
    Preferences::Acquire();
    Preferences::Release(); // the last user: the instance goes

    // A fresh instance reads the file again; a surviving one would not.
    WriteFile("<lastPath><content_export path=\"/fresh\"/></lastPath>");
    EXPECT_EQ(Reloaded(Preferences::kContentExport), "/fresh");
}

TEST_F(PreferencesTest, AnEmptyFolderMeansTheWorkingDirectory)
{
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder_.path()));
    Preferences::SetFolder(QString());
    {
        ScopedPreferences preferences;
        EXPECT_TRUE(preferences->SetLastPath(Preferences::kContentExport, "/a"));
    }
    QDir::setCurrent(previous);
    EXPECT_TRUE(QFile::exists(FilePath()));
}
