#pragma once

#include "fixtures/commands/QelFixtureCommand.h"
#include "link/commands/Command.h"

#include <QList>
#include <QMetaObject>
#include <QString>

#include <memory>

class Device;
class FirmwareTarget;
class QIODevice;
class RDMDevice;

// The queued firmware upgrade of LED-family fixtures from their family's package
// (fixtures/firmware/QelFirmwarePackage.h), in a fixed order: the graphics engines' image
// over the Tarvo protocol, a pause while the engines restart, the motion boards' image
// over the Tarvo protocol, the FPGA image over RDM to every fixture whose FPGA is not at
// the package's version, then a pause while the fixtures restart and a fresh read of
// every fixture's values.
//
// Each upgrade is a command of its own, set up on the GUI thread with SetUpgrade and
// deleted by whoever queued it once CommandCompleted has arrived. The command never
// touches the registry's devices on the command thread: SetUpgrade copies what it needs
// of each into stand-ins the command owns, and the values read at the end reach each
// device on its own thread, and only while it still exists (a discovery may drop it
// while the upgrade waits).
//
// The command writes its own lines with status 0 (a package without an FPGA version with
// status 2); the transfers write theirs. It ends with "Upgrade Completed!" and Finished:
// 1 when every stage reached every fixture, 2 when one stage failed or left a fixture
// behind.
class QelUpgradeCommand : public Command
{
    Q_OBJECT
public:
    ~QelUpgradeCommand() override;

    // On the devices' thread, under the command's lock: replaces the fixtures (a stand-in
    // of each as it is now; a device listed twice counts once) and the package path.
    void SetUpgrade(const QList<Device*>& devices, const QString& package);

    // The whole upgrade; true when Finished(1) was given.
    bool Execute() override;

    // After the graphics engines took their image, they restart before the motion boards
    // are reset into their loaders.
    static constexpr int kGraphicsRestartMs = 10000;
    // After the last image, the fixtures restart before their values are read again.
    static constexpr int kFixtureRestartMs = 30000;

signals:
    // Emitted at the end of every run, before Finished.
    void FinishedBrevantUpgrade();
    // The fresh values are in the stand-ins; carries them to the devices' thread.
    void Refreshed(QPrivateSignal);

protected:
    // `family` chooses the fixtures the graphics and FPGA stages take, the package's
    // members and the protocol.
    explicit QelUpgradeCommand(QelFamilyKind family, QObject* parent = nullptr);

    // Each stage with its list of stand-ins, rewritten to those that took the image. False,
    // with no line of its own, when the package's member cannot be read or is empty.
    virtual bool UploadGraphicsFirmware(QList<Device*>& devices);
    virtual bool UploadMotionFirmware(QList<Device*>& devices);
    virtual bool UploadFPGA(QList<Device*>& devices);

    // Whether the fixtures are waited for and refreshed, given what the FPGA stage answered
    // (with no FPGA to program: whether the package's FPGA version could be read).
    virtual bool WaitsAfterFpgaStage(bool fpgaStage) const = 0;

private:
    struct Member;
    struct PackageMembers;

    // The stages, up to the refresh; false when one failed or left a fixture behind.
    bool Run(const QList<std::shared_ptr<Member>>& members, const QString& package);
    // Hands the Tarvo protocol the package's `member`, when it holds anything, after
    // writing `line`.
    bool UploadBoardImage(std::unique_ptr<QIODevice> member, const QString& line, QList<Device*>& devices);
    const PackageMembers& Members() const;
    QString Package() const;

    const QelFamilyKind family_;
    QList<std::shared_ptr<Member>> members_;  // under mutex_
    QString package_;                          // under mutex_
    QList<QMetaObject::Connection> refreshes_;  // GUI thread
};

// The first family's upgrade ("BREVANT Firmware Upgrade"): the fixtures are waited for and
// refreshed whenever the motion stage succeeded.
class BrevantUpgradeCommand : public QelUpgradeCommand
{
    Q_OBJECT
public:
    explicit BrevantUpgradeCommand(QObject* parent = nullptr);
    ~BrevantUpgradeCommand() override;

protected:
    bool WaitsAfterFpgaStage(bool fpgaStage) const override;
};

// The second family's upgrade ("Cindral Firmware Upgrade"): the fixtures are waited for
// and refreshed only when the FPGA stage succeeded.
class CindralUpgradeCommand : public QelUpgradeCommand
{
    Q_OBJECT
public:
    explicit CindralUpgradeCommand(QObject* parent = nullptr);
    ~CindralUpgradeCommand() override;

protected:
    bool WaitsAfterFpgaStage(bool fpgaStage) const override;
};
