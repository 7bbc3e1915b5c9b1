#include "link/devices/ModelTable.h"
#include "tools/lamp_firmware/LampFirmware.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

bool Blank(const QByteArray& image, int packet)
{
    return image.mid(packet * 256, 256) == QByteArray(256, '\xFF');
}

TEST(LampFirmware, ImagesFillTheirModelsFlashWithStretchesOfErasedFlash)
{
    for (int row = 0; row < kModelTableRows; ++row) {
        const QByteArray image = lamp_firmware::Image(row);
        const int packets = int(kModelTable[row].packetCount);
        ASSERT_EQ(image.size(), packets * 256) << row;
        EXPECT_TRUE(image.startsWith(QByteArray("TARVO-LAMP ") + kModelTable[row].modelName)) << row;
        EXPECT_FALSE(Blank(image, 0)) << row;
        EXPECT_TRUE(Blank(image, 8) && Blank(image, 11)) << row;
        EXPECT_FALSE(Blank(image, 12)) << row;
        EXPECT_TRUE(Blank(image, packets - 1)) << row;
        EXPECT_EQ(lamp_firmware::Image(row), image) << "the same bytes at every build";
    }
    EXPECT_TRUE(lamp_firmware::Image(kModelTableRows).isEmpty());
    EXPECT_EQ(lamp_firmware::FileName(0), "tvs150-2.1.0.bin");
    EXPECT_TRUE(QDir::match(QString::fromLatin1(kModelTable[28].firmwarePattern), lamp_firmware::FileName(28)));
}

TEST(LampFirmware, WriteMakesTheFileOrSaysWhyNot)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString error;
    ASSERT_TRUE(lamp_firmware::Write(3, dir.path(), &error)) << error.toStdString();
    QFile file(dir.filePath(lamp_firmware::FileName(3)));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), lamp_firmware::Image(3));
    EXPECT_FALSE(lamp_firmware::Write(3, dir.filePath("missing/folder"), &error));
    EXPECT_TRUE(error.contains("missing/folder")) << error.toStdString();
    EXPECT_FALSE(lamp_firmware::Write(-1, dir.path(), &error));
}

// The build stages an image for the row of every lamp of the demo rig, and each lamp's
// flash is the size of its row's image.
TEST(LampFirmware, TheDemoRigsLampsHaveTheirImages)
{
    QFile rig(QStringLiteral(VELMORA_DEMO_RIG));
    ASSERT_TRUE(rig.open(QIODevice::ReadOnly));
    const QJsonArray fixtures =
        QJsonDocument::fromJson(rig.readAll()).object().value("widgets").toArray().at(0).toObject().value("fixtures").toArray();
    int lamps = 0;
    for (const QJsonValue& fixture : fixtures) {
        const QJsonObject object = fixture.toObject();
        if (object.value("kind").toString() != "tarvo-lamp")
            continue;
        ++lamps;
        const int row = object.value("deviceType").toInt(0);
        ASSERT_LT(row, kModelTableRows);
        EXPECT_EQ(quint32(object.value("flashPackets").toInt(512)), kModelTable[row].packetCount) << row;
        EXPECT_TRUE(QFile::exists(QStringLiteral(VELMORA_RUN_FIRMWARE_DIR) + '/' + lamp_firmware::FileName(row))) << row;
    }
    EXPECT_EQ(lamps, 2);
}

} // namespace
