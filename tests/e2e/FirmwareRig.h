#pragma once

#include "tests/e2e/WidgetRig.h"
#include "tests/link/RecordingFeedback.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class Device;

// The feedback of one upgrade: every line with the virtual time (platform::Clock) it was
// written at, and the order of the upgrade's end (the command's own finished signal and
// its Finished, both on the command thread).
class UpgradeFeedback : public RecordingFeedback
{
public:
    void AddString(QString text, FeedbackStatus status) override;
    void Finished(FeedbackResult value) override;

    // The virtual time of the first line `text`; -1 when there is none.
    qint64 TimeOf(const QString& text) const;
    // The virtual time of the line after the first line `text`; -1 when there is none.
    qint64 TimeAfter(const QString& text) const;

    QList<qint64> atMs;  // of each line
    QStringList ends;
};

// The upgrades through the device registry against a rig: the firmware library registered
// (lamp fixtures' discovery, every kind of upgrade), discoveries and upgrades queued as the
// program queues them, and files for the upgrades in a folder of the test's own.
class FirmwareRigTest : public WidgetRigTest
{
protected:
    // BootFixtures, then what the program registers at start-up: the LED families
    // (RegisterQelFamilies) and the firmware library (RegisterFirmware).
    void Boot(const QString& fixtures);
    // The same for the demo rig (sim/rigs/demo.json), as `make run` boots it.
    void BootDemoRig();
    // A discovery queued through the registry; true when it completed with success.
    bool RunRegistryDiscovery();
    // Queues the upgrade of `devices` from `file` through the registry, with `upgrade` as
    // the command's chained feedback, and waits until it has completed.
    void Upgrade(const QList<Device*>& devices, const QString& file);
    // Writes `bytes` to `name` in the test's folder; its path.
    QString WriteFile(const QString& name, const QByteArray& bytes);
    QString FilePath(const QString& name) const;

    UpgradeFeedback upgrade;
    QTemporaryDir files;
};
