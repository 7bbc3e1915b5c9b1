#include "firmware/QelUpgradeCommand.h"

#include "firmware/FirmwareTarget.h"
#include "firmware/TarvoProtocol.h"
#include "fixtures/QelProtocol.h"
#include "fixtures/QelRDM.h"
#include "library/archive/FileLayer.h"
#include "link/devices/RDMDevice.h"
#include "link/rdm/RdmDefs.h"
#include "link/rdm/RdmText.h"
#include "platform/system/Clock.h"

#include <QByteArray>
#include <QSet>

#include <optional>
#include <vector>

using rdm::Hex;

// What the command keeps of one device chosen.
struct QelUpgradeCommand::Member
{
    // The motion board: the device's id and firmware rules.
    std::unique_ptr<FirmwareTarget> board;
    // An RDM fixture's values, copied at SetUpgrade and read anew at the end; an object of
    // the device's own class. Null for other devices.
    std::shared_ptr<RDMDevice> values;
    // `values` when the device is a fixture of the command's family.
    QelRDM* fixture = nullptr;
};

// The family's makers of its package's members.
struct QelUpgradeCommand::PackageMembers
{
    std::unique_ptr<QIODevice> (*motion)(const QString& package);
    std::unique_ptr<QIODevice> (*graphics)(const QString& package);
    std::unique_ptr<QIODevice> (*fpga)(const QString& package);
};

namespace {

// A copy of `device`'s values in an object of its class, for the command thread.
std::shared_ptr<RDMDevice> CopyOf(RDMDevice& device)
{
    const quint64 uid = device.GetUniqueId();
    std::shared_ptr<RDMDevice> copy;
    if (const QelFamilyKind family = QelFamilyOf(&device); family != QelFamilyKind::None)
        copy = MakeQelStandIn(family, uid);
    else
        copy = std::make_shared<RDMDevice>();
    copy->SetUniqueId(rdm::UidLow(uid), rdm::UidHigh(uid));
    copy->TakeValuesFrom(device);
    return copy;
}

// Whether a package's member can be read and holds anything.
bool Readable(QIODevice& member)
{
    return member.open(QIODevice::ReadOnly) && member.size() > 0;
}

// The whole of a package's member, or nothing when it cannot be read or is empty.
std::optional<QByteArray> ReadMember(QIODevice& member)
{
    if (!Readable(member))
        return std::nullopt;
    QByteArray bytes = member.readAll();
    if (bytes.size() != member.size())
        return std::nullopt;
    return bytes;
}

} // namespace

QelUpgradeCommand::QelUpgradeCommand(QelFamilyKind family, QObject* parent) : Command(parent), family_(family)
{
    SetName(QStringLiteral("Qel Firmware Upgrade"));
}

QelUpgradeCommand::~QelUpgradeCommand() = default;

const QelUpgradeCommand::PackageMembers& QelUpgradeCommand::Members() const
{
    static const PackageMembers brevant{&BrevantRDM::MotionFirmwareFile, &BrevantRDM::GraphicsFirmwareFile,
                                        &BrevantRDM::FPGAFile};
    static const PackageMembers cindral{&CindralRDM::MotionFirmwareFile, &CindralRDM::GraphicsFirmwareFile,
                                        &CindralRDM::FPGAFile};
    return family_ == QelFamilyKind::Brevant ? brevant : cindral;
}

QString QelUpgradeCommand::Package() const
{
    QMutexLocker lock(&mutex_);
    return package_;
}

void QelUpgradeCommand::SetUpgrade(const QList<Device*>& devices, const QString& package)
{
    for (const QMetaObject::Connection& refresh : std::as_const(refreshes_))
        disconnect(refresh);
    refreshes_.clear();

    QList<std::shared_ptr<Member>> members;
    QSet<quint64> taken;
    for (Device* device : devices) {
        if (!device || taken.contains(device->GetUniqueId()))
            continue;
        taken.insert(device->GetUniqueId());
        auto member = std::make_shared<Member>();
        member->board = std::make_unique<FirmwareTarget>(*device);
        if (auto* fixture = qobject_cast<RDMDevice*>(device)) {
            member->values = CopyOf(*fixture);
            if (QelFamilyOf(device) == family_)
                member->fixture = qobject_cast<QelRDM*>(member->values.get());
            // The device is the context: the values reach it on its thread, and never once
            // it is gone (Qt drops the connection with it).
            refreshes_.append(connect(this, &QelUpgradeCommand::Refreshed, fixture,
                                      [fixture, values = member->values] { fixture->TakeValuesFrom(*values); }));
        }
        members.append(member);
    }
    QMutexLocker lock(&mutex_);
    members_ = members;
    package_ = package;
}

bool QelUpgradeCommand::Execute()
{
    QList<std::shared_ptr<Member>> members;
    QString package;
    {
        QMutexLocker lock(&mutex_);
        members = members_;  // shared: they outlive a SetUpgrade made meanwhile
        package = package_;
    }
    const bool ok = Run(members, package);
    AddString(QStringLiteral("Upgrade Completed!"), FeedbackNormal);
    emit FinishedBrevantUpgrade();
    Finished(ok ? FeedbackSuccess : FeedbackFailure);
    return ok;
}

bool QelUpgradeCommand::Run(const QList<std::shared_ptr<Member>>& members, const QString& package)
{
    // Every stage must reach every fixture it was given for the upgrade to count as done.
    bool whole = true;
    const auto reachedAll = [&whole](bool ok, const QList<Device*>& left, qsizetype given) {
        whole = whole && ok && left.size() == given;
        return ok;
    };

    std::vector<std::unique_ptr<FirmwareTarget>> engines;
    QList<Device*> graphics;
    for (const auto& member : members) {
        if (!member->fixture)
            continue;
        // A graphics engine is a board of its own, with its own id and the family's
        // firmware rules.
        engines.push_back(std::make_unique<FirmwareTarget>(member->fixture->GetGraphicsEngineUniqueId(),
                                                           member->fixture->GetFirmwarePacketCount(),
                                                           member->fixture->SkipBlankFirmwarePackets()));
        graphics.append(engines.back().get());
    }
    if (!reachedAll(UploadGraphicsFirmware(graphics), graphics, qsizetype(engines.size())))
        return false;
    platform::Clock::SleepMs(kGraphicsRestartMs);

    QList<Device*> motion;
    for (const auto& member : members)
        motion.append(member->board.get());
    if (!reachedAll(UploadMotionFirmware(motion), motion, members.size()))
        return false;

    QList<Device*> fpga;
    // With no FPGA to program, the FPGA stage stands or falls with the package's version.
    bool fpgaStage = false;
    for (const auto& member : members) {
        QelRDM* fixture = member->fixture;
        if (!fixture)
            continue;
        int packageVersion = 0;
        fpgaStage = fixture->GetPackageFPGAVersion(package, packageVersion);
        if (!fpgaStage) {
            AddString(QStringLiteral(" Error could not get FPGA package"), FeedbackError);
            whole = false;
        } else if (int(fixture->GetFPGAVersion()) == packageVersion) {
            AddString(QStringLiteral(" Device 0x%1 FPGA version is up to date").arg(Hex(fixture->GetUniqueId())),
                      FeedbackNormal);
        } else {
            fpga.append(fixture);
        }
    }
    if (!fpga.isEmpty()) {
        const qsizetype given = fpga.size();
        fpgaStage = reachedAll(UploadFPGA(fpga), fpga, given);
    }
    if (!WaitsAfterFpgaStage(fpgaStage))
        return false;

    AddString(QStringLiteral(" Waiting 30 seconds for %1 device(s) to reset").arg(members.size()), FeedbackNormal);
    platform::Clock::SleepMs(kFixtureRestartMs);
    QList<Device*> refresh;
    for (const auto& member : members)
        if (member->values)
            refresh.append(member->values.get());
    const std::unique_ptr<QelRDM> family = MakeQelStandIn(family_, 0);
    const bool refreshed = QelProtocol::Instance(family.get())->UpdateDeviceInformation(&refresh, this);
    emit Refreshed(QPrivateSignal());
    return refreshed && whole;
}

bool QelUpgradeCommand::UploadBoardImage(std::unique_ptr<QIODevice> member, const QString& line,
                                         QList<Device*>& devices)
{
    const auto* file = qobject_cast<FileLayer::File*>(member.get());
    if (!file || !Readable(*member))
        return false;
    // The protocol opens the member again by its name.
    const QString name = file->fileName();
    member.reset();
    AddString(line, FeedbackNormal);
    return TarvoProtocol::Instance()->UploadFirmware(name, devices, this);
}

bool QelUpgradeCommand::UploadGraphicsFirmware(QList<Device*>& devices)
{
    return UploadBoardImage(Members().graphics(Package()), QStringLiteral("Uploading graphics engine firmware."),
                            devices);
}

bool QelUpgradeCommand::UploadMotionFirmware(QList<Device*>& devices)
{
    return UploadBoardImage(Members().motion(Package()), QStringLiteral("Uploading motion firmware."), devices);
}

bool QelUpgradeCommand::UploadFPGA(QList<Device*>& devices)
{
    const std::unique_ptr<QIODevice> member = Members().fpga(Package());
    const std::optional<QByteArray> image = member ? ReadMember(*member) : std::nullopt;
    if (!image)
        return false;
    const std::unique_ptr<QelRDM> family = MakeQelStandIn(family_, 0);
    return QelProtocol::Instance(family.get())->UploadFPGA(devices, image->constData(), int(image->size()), this);
}

// ---- families ------------------------------------------------------------------------

BrevantUpgradeCommand::BrevantUpgradeCommand(QObject* parent) : QelUpgradeCommand(QelFamilyKind::Brevant, parent)
{
    SetName(QStringLiteral("BREVANT Firmware Upgrade"));
}

BrevantUpgradeCommand::~BrevantUpgradeCommand() = default;

bool BrevantUpgradeCommand::WaitsAfterFpgaStage(bool) const
{
    return true;
}

CindralUpgradeCommand::CindralUpgradeCommand(QObject* parent) : QelUpgradeCommand(QelFamilyKind::Cindral, parent)
{
    SetName(QStringLiteral("Cindral Firmware Upgrade"));
}

CindralUpgradeCommand::~CindralUpgradeCommand() = default;

bool CindralUpgradeCommand::WaitsAfterFpgaStage(bool fpgaStage) const
{
    return fpgaStage;
}
