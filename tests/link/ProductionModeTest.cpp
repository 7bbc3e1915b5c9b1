#include "link/production/ProductionMode.h"

#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The production settings of a station, with the identifier file of model "cindral".
class ProductionModeTest : public testing::Test
{
protected:
    void SetUp() override
    {
        Settings().clear();
        idFile_ = dir_.filePath("cindral-ids.txt");
    }
    void TearDown() override { Settings().clear(); }

    static QSettings Settings() { return QSettings(QSettings::SystemScope, "Quorvane", "Velmora"); }

    void EnableStation(const QVariant& key)
    {
        QSettings s = Settings();
        s.setValue("UniqueIdGenerator/key", key);
        s.setValue("UniqueIdGenerator/cindral", idFile_);
    }
    void EnableStationWithTheRightKey() { EnableStation(StationKey()); }
    // The access code as the production tool writes it into a station's settings.
    static QVariant StationKey() { return QVariant::fromValue<quint64>(0x5a3c'91e7'0d62'b4f8ull); }

    void WriteIdFile(const QByteArray& content)
    {
        QFile f(idFile_);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QByteArray ReadIdFile()
    {
        QFile f(idFile_);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir_;
    QString idFile_;
};

} // namespace

TEST_F(ProductionModeTest, WithoutTheKeyProductionModeIsOffEvenWhenSwitchedOn)
{
    Settings().setValue("ProductionMode", 1);
    EXPECT_FALSE(ProductionKeyMatches());
    EXPECT_FALSE(IsProductionMode());

    EnableStation(QVariant::fromValue<quint64>(12345));
    EXPECT_FALSE(IsProductionMode());

    EnableStationWithTheRightKey();
    EXPECT_TRUE(IsProductionMode());
    Settings().setValue("ProductionMode", 0);
    EXPECT_FALSE(IsProductionMode());
}

TEST_F(ProductionModeTest, FileContentDecidesTheNextIdentifier)
{
    struct Case {
        const char* content;
        quint32 expected;
    };
    const Case cases[] = {
        // An empty file starts above the values discovery treats as unassigned.
        {"", 3},
        {"0000000a # c\n# 000000ff\n", 0x0b},
        {"0000001G\n00000005\n", 6},
        {"00000001\n", 3},
        {"ffffffff\n00000004\n", 0}, // used up: refused
        {"fffffffe\n", 0},           // the next would be the broadcast id
        {"0000a000  Thu Dec 10 12:00:00 2026\n00000100\n", 0xa001},
    };
    EnableStationWithTheRightKey();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content);
        WriteIdFile(c.content);
        quint32 id = 0;
        const bool ok = UniqueIdGenerator("cindral", id);
        EXPECT_EQ(ok, c.expected != 0);
        if (ok)
            EXPECT_EQ(id, c.expected);
        else
            EXPECT_EQ(ReadIdFile(), QByteArray(c.content)) << "a refusal writes nothing";
    }
}

TEST_F(ProductionModeTest, EachIdentifierIsRecordedOnItsOwnLine)
{
    EnableStationWithTheRightKey();
    WriteIdFile("00000010 # last line without an end");
    quint32 first = 0, second = 0;
    ASSERT_TRUE(UniqueIdGenerator("cindral", first));
    ASSERT_TRUE(UniqueIdGenerator("cindral", second));
    EXPECT_EQ(first, 0x11u);
    EXPECT_EQ(second, 0x12u);

    const QStringList lines = QString::fromLatin1(ReadIdFile()).split('\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], "00000010 # last line without an end");
    const QRegularExpression record("^%1  \\S.*\\d{4}$"); // id, two spaces, date ending in the year
    EXPECT_TRUE(QRegularExpression(record.pattern().arg("00000011")).match(lines[1]).hasMatch()) << lines[1].toStdString();
    EXPECT_TRUE(QRegularExpression(record.pattern().arg("00000012")).match(lines[2]).hasMatch()) << lines[2].toStdString();
    EXPECT_EQ(lines[3], "");
}

TEST_F(ProductionModeTest, RefusesWithoutKeyPathOrFile)
{
    quint32 id = 77;
    EXPECT_FALSE(UniqueIdGenerator("cindral", id)); // no key
    EnableStationWithTheRightKey();
    EXPECT_FALSE(UniqueIdGenerator("brevant", id)); // no path for this model
    Settings().setValue("UniqueIdGenerator/cindral", dir_.filePath("missing/folder/ids.txt"));
    EXPECT_FALSE(UniqueIdGenerator("cindral", id)); // cannot be opened
    EXPECT_EQ(id, 77u);
}

TEST_F(ProductionModeTest, AMissingFileIsCreated)
{
    EnableStationWithTheRightKey();
    quint32 id = 0;
    ASSERT_TRUE(UniqueIdGenerator("cindral", id));
    EXPECT_EQ(id, 3u);
    EXPECT_TRUE(ReadIdFile().startsWith("00000003  "));
}
