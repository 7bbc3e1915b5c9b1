#include "tests/e2e/FirmwareRig.h"

#include "firmware/FirmwareUpgradeCommand.h"
#include "firmware/QelUpgradeCommand.h"
#include "firmware/RegisterFirmware.h"
#include "fixtures/QelFamilies.h"
#include "link/commands/CommManager.h"
#include "link/devices/DeviceManager.h"
#include "platform/system/Clock.h"
#include "tests/link/PollUntil.h"

#include <QFile>

void UpgradeFeedback::AddString(QString text, FeedbackStatus status)
{
    RecordingFeedback::AddString(text, status);
    atMs.append(platform::Clock::NowMs());
}

void UpgradeFeedback::Finished(FeedbackResult value)
{
    RecordingFeedback::Finished(value);
    ends.append(QStringLiteral("Finished(%1)").arg(int(value)));
}

qint64 UpgradeFeedback::TimeOf(const QString& text) const
{
    const qsizetype at = Texts().indexOf(text);
    return at < 0 ? -1 : atMs.value(at);
}

qint64 UpgradeFeedback::TimeAfter(const QString& text) const
{
    const qsizetype at = Texts().indexOf(text);
    return at < 0 || at + 1 >= atMs.size() ? -1 : atMs.value(at + 1);
}

void FirmwareRigTest::Boot(const QString& fixtures)
{
    BootFixtures(fixtures);
    RegisterQelFamilies();
    RegisterFirmware();
}

void FirmwareRigTest::BootDemoRig()
{
    QFile rig(QStringLiteral(VELMORA_DEMO_RIG));
    ASSERT_TRUE(rig.open(QIODevice::ReadOnly));
    BootRig(rig.readAll().constData());
    RegisterQelFamilies();
    RegisterFirmware();
}

bool FirmwareRigTest::RunRegistryDiscovery()
{
    bool done = false, success = false;
    QObject receiver;
    QObject::connect(DeviceManager::Instance(), &DeviceManager::DiscoveryCompleted, &receiver, [&](bool ok) {
        done = true;
        success = ok;
    });
    DeviceManager::Instance()->Discover();
    return PollUntil([&] { return done; }, 60000) && success;
}

void FirmwareRigTest::Upgrade(const QList<Device*>& devices, const QString& file)
{
    upgrade = UpgradeFeedback();
    QObject receiver;
    QUuid id;
    QObject::connect(&Manager(), &CommManager::CommandQueued, &receiver, [&](QUuid queued) {
        Command* command = Manager().FindCommand(queued);
        const auto noteEnd = [this](const char* signal) { upgrade.ends.append(QLatin1String(signal)); };
        if (auto* lamps = qobject_cast<FirmwareUpgradeCommand*>(command))
            QObject::connect(lamps, &FirmwareUpgradeCommand::FinishedFirmwareUpgrade, lamps,
                             [noteEnd] { noteEnd("FinishedFirmwareUpgrade"); }, Qt::DirectConnection);
        else if (auto* family = qobject_cast<QelUpgradeCommand*>(command))
            QObject::connect(family, &QelUpgradeCommand::FinishedBrevantUpgrade, family,
                             [noteEnd] { noteEnd("FinishedBrevantUpgrade"); }, Qt::DirectConnection);
        else
            return;
        id = queued;
        command->SetChainedFeedback(&upgrade);
    });
    bool completed = false;
    QObject::connect(&Manager(), &CommManager::CommandCompleted, &receiver,
                     [&](QUuid done) { completed |= done == id; });
    QString error;
    ASSERT_TRUE(DeviceManager::Instance()->UpgradeDevices(devices, file, &error)) << error.toStdString();
    ASSERT_FALSE(id.isNull()) << "no upgrade command was queued";
    ASSERT_TRUE(PollUntil([&] { return completed; }, 120000));
}

QString FirmwareRigTest::FilePath(const QString& name) const
{
    return files.filePath(name);
}

QString FirmwareRigTest::WriteFile(const QString& name, const QByteArray& bytes)
{
    EXPECT_TRUE(files.isValid());
    QFile file(FilePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    EXPECT_EQ(file.write(bytes), bytes.size());
    return file.fileName();
}
