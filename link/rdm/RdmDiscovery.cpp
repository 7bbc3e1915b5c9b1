// RDM discovery: the search of the line (RdmDiscoverySearch over DISC_UNIQUE_BRANCH and
// DISC_MUTE) and the sorting of what it finds into plain RDM fixtures, fixtures of the
// registered families, and the lamp fixtures the Tarvo discovery found before.
#include "link/rdm/RDMProtocol.h"

#include "link/devices/RDMDevice.h"
#include "link/feedback/Feedback.h"
#include "link/production/ProductionMode.h"
#include "link/rdm/RdmDiscoverySearch.h"
#include "link/rdm/RdmFamilies.h"
#include "link/transport/IRdmLink.h"
#include "platform/system/Clock.h"
#include "link/rdm/RdmText.h"

#include <functional>

using namespace rdm;

namespace {

// The whole UID range but the broadcast UID.
constexpr quint64 kSearchLow = 0;
constexpr quint64 kSearchHigh = 0xFFFF'FFFF'FFFEull;
// In production mode only the fixtures still waiting for their identifiers: the maker's
// unassigned device ids 0 to 2 (and anything of a lower manufacturer id).
constexpr quint64 kProductionSearchHigh = MakeUid(2, kEstaManufacturerId);
// Device ids up to these mean "not assigned yet".
constexpr quint32 kUnassignedGraphicsEngineId = 2;
constexpr quint32 kUnassignedMotionId = 1;

// DISC_UNIQUE_BRANCH data: the lower and upper bound UIDs.
constexpr int kBranchDataLength = 12;

// A lamp fixture of the Tarvo discovery (those are the only devices of protocol type 0).
bool IsLampFixture(const Device* device)
{
    return device && !qobject_cast<const RDMDevice*>(device) && device->GetProtocolType() == 0;
}

// Takes every lamp fixture whose device id `matches` out of `list` and hands it to `take`,
// which owns it from then on. The other items keep their order.
void TakeLampFixtures(QList<Device*>* list, const std::function<bool(quint32)>& matches,
                      const std::function<void(Device*)>& take)
{
    if (!list)
        return;
    for (qsizetype i = 0; i < list->size();) {
        Device* device = list->at(i);
        if (IsLampFixture(device) && matches(UidLow(device->GetUniqueId()))) {
            list->removeAt(i);
            take(device);
        } else {
            ++i;
        }
    }
}

} // namespace

// The search's view of the line: this engine's own discovery requests.
class RDMProtocol::SearchLine : public RdmDiscoverySearch::ILine
{
public:
    SearchLine(RDMProtocol* protocol, IFeedback* feedback) : protocol_(protocol), feedback_(feedback) {}

    bool UniqueBranch(quint64 low, quint64 high) override
    {
        return protocol_->DiscoveryUniqueBranch(UidLow(low), UidHigh(low), UidLow(high), UidHigh(high), feedback_);
    }
    bool Mute(quint64 uid) override { return protocol_->DiscoveryMute(UidLow(uid), UidHigh(uid), feedback_); }

private:
    RDMProtocol* protocol_;
    IFeedback* feedback_;
};

bool RDMProtocol::DiscoveryUniqueBranch(quint32 lowLow, quint32 lowHigh, quint32 highLow, quint32 highHigh,
                                        IFeedback*)
{
    IRdmLink* link = Link();
    if (!link || platform::Clock::StopRequested())
        return false;
    quint8 bounds[kBranchDataLength];
    WriteUid(bounds, lowLow, lowHigh);
    WriteUid(bounds + 6, highLow, highHigh);
    quint8 packet[kMinPacketSize + kBranchDataLength];
    const int length = BuildRequest(packet, BroadcastUid, DiscoveryCommand, PidDiscUniqueBranch, bounds, kBranchDataLength);
    if (!link->SendRdmReadPacket(packet, length, kBranchReplyLength, kTransactionTimeoutMs))
        return false;
    platform::Clock::SleepMs(kBranchReplyWaitMs);
    quint8 reply[kBranchReplyLength];
    quint8 complete = 0;
    link->ReceiveRdmPacket(reply, kBranchReplyLength, &complete, kTransactionTimeoutMs);
    return complete != 0;
}

bool RDMProtocol::SendMuteRequest(quint16 pid, quint32 uidLow, quint32 uidHigh, const char* nackMessage,
                                  IFeedback* feedback)
{
    quint8 reply[kMuteReplyRoom];
    int length = kMuteReplyRoom;
    const int result = SendRequest(uidLow, uidHigh, DiscoveryCommand, pid, nullptr, 0, reply, &length, feedback);
    if (result == ResponseNackReason) {
        const quint16 reason = length >= 2 ? ReadUInt16(reply) : 0;
        Report(feedback, QString::fromLatin1(nackMessage).arg(Hex(MakeUid(uidLow, uidHigh)), NackReasonText(reason)),
               FeedbackError);
        return false;
    }
    return result == 0;
}

bool RDMProtocol::DiscoveryUnMute(quint32 uidLow, quint32 uidHigh, IFeedback* feedback)
{
    return SendMuteRequest(PidDiscUnMute, uidLow, uidHigh, " Device 0x%1 Failed Unmuting: Nack Error %2!", feedback);
}

bool RDMProtocol::DiscoveryMute(quint32 uidLow, quint32 uidHigh, IFeedback* feedback)
{
    return SendMuteRequest(PidDiscMute, uidLow, uidHigh, " Device 0x%1 Failed to Mute: Nack Error %2!", feedback);
}

bool RDMProtocol::SearchRange(QList<Device*>* devices, quint32 lowLow, quint32 lowHigh, quint32 highLow,
                              quint32 highHigh, IFeedback* feedback)
{
    SearchLine line(this, feedback);
    RdmDiscoverySearch search(&line, feedback);
    search.Search(MakeUid(lowLow, lowHigh), MakeUid(highLow, highHigh));
    for (quint64 uid : search.Found()) {
        auto* device = new RDMDevice();
        device->SetUniqueId(UidLow(uid), UidHigh(uid));
        if (devices)
            devices->append(device);
        else
            delete device;
    }
    return false;
}

std::unique_ptr<RDMDevice> RDMProtocol::AdoptFamilyFixture(const IRdmFamily& family, RDMDevice* found,
                                                           QList<Device*>* devices, QList<Device*>* result,
                                                           IFeedback* feedback)
{
    std::unique_ptr<RDMDevice> fixture = family.CreateFixture();
    if (!fixture)
        return nullptr;
    const quint64 uid = found->GetUniqueId();
    fixture->SetUniqueId(UidLow(uid), UidHigh(uid));
    GetDeviceInfo(fixture.get(), feedback);
    GetDeviceModelDescription(fixture.get(), feedback);
    if (!family.ReadIdentity(fixture.get(), feedback)) {
        Report(feedback,
               QStringLiteral("Cannot instantiate %1 because cannot get the FPGA version or the GE unique Id")
                   .arg(fixture->GetModelName()),
               FeedbackError);
        return nullptr;
    }
    family.ReadDetails(fixture.get(), feedback);

    // Production: a fixture fresh from the line has no identifiers yet. The graphics
    // engine goes first, while the fixture still answers under its old UID.
    const QString noIdFile =
        QStringLiteral("Error: Could not read the unique id file. Please check the file location and permissions!");
    if (family.GraphicsEngineUniqueId(fixture.get()) <= kUnassignedGraphicsEngineId) {
        Report(feedback, QStringLiteral("Attempting to assign the graphics engine a new unique Id."), FeedbackNormal);
        quint32 id = 0;
        if (!UniqueIdGenerator(fixture->GetModelName(), id))
            Report(feedback, noIdFile, FeedbackError);
        else
            family.AssignGraphicsEngineUniqueId(fixture.get(), id, feedback);
    }
    if (UidLow(fixture->GetUniqueId()) <= kUnassignedMotionId) {
        Report(feedback, QStringLiteral("Attempting to assign motion a new unique ID."), FeedbackNormal);
        quint32 id = 0;
        if (!UniqueIdGenerator(fixture->GetModelName(), id))
            Report(feedback, noIdFile, FeedbackError);
        else if (family.AssignMotionUniqueId(fixture.get(), id, feedback))
            fixture->SetUniqueId(id, kEstaManufacturerId);
    }

    // The fixture's motion and graphics boards also answer the Tarvo protocol; as lamp
    // fixtures they are the same fixture again.
    const quint32 motionId = UidLow(fixture->GetUniqueId());
    const quint32 graphicsId = family.GraphicsEngineUniqueId(fixture.get());
    const auto duplicate = [motionId, graphicsId](quint32 id) { return id == motionId || id == graphicsId; };
    const auto drop = [](Device* lamp) { delete lamp; };
    TakeLampFixtures(devices, duplicate, drop);
    TakeLampFixtures(result, duplicate, drop);
    return fixture;
}

void RDMProtocol::Discover(QList<Device*>* devices, IFeedback* feedback)
{
    Report(feedback, QStringLiteral("RDM Discovery: Starting.."), FeedbackNormal);
    if (!Link()) {
        Report(feedback, QStringLiteral(" Error: No communication device detected"), FeedbackError);
        return;
    }
    if (!devices)
        return;

    Report(feedback, QStringLiteral("RDM Discovery: Unmute all devices"), FeedbackNormal);
    DiscoveryUnMute(UidLow(BroadcastUid), UidHigh(BroadcastUid), feedback);
    platform::Clock::SleepMs(kUnMuteSettleMs);

    const quint64 high = IsProductionMode() ? kProductionSearchHigh : kSearchHigh;
    SearchRange(devices, UidLow(kSearchLow), UidHigh(kSearchLow), UidLow(high), UidHigh(high), feedback);

    QList<Device*> result;  // everything that survives, owned
    QList<Device*> rdmFixtures;  // the RDM fixtures of `result`, to read their parameters
    while (!devices->isEmpty() && !platform::Clock::StopRequested()) {
        Device* item = devices->takeLast();
        RDMDevice* plain = qobject_cast<RDMDevice*>(item);
        if (!plain) {
            result.append(item);
            continue;
        }
        std::unique_ptr<RDMDevice> found(plain);
        Report(feedback, QStringLiteral(" "), FeedbackNormal);
        Report(feedback, QStringLiteral("------ Querying device information for %1 ------").arg(Hex(found->GetUniqueId())),
               FeedbackNormal);
        GetDeviceInfo(found.get(), feedback);
        GetDeviceModelDescription(found.get(), feedback);
        GetIdentify(found.get(), feedback);

        std::unique_ptr<RDMDevice> fixture;
        if (const auto family = RdmFamilies::Find(found->GetModelName())) {
            fixture = AdoptFamilyFixture(*family, found.get(), devices, &result, feedback);
            if (!fixture)
                continue;  // left out; `found` goes with it
        } else {
            // A lamp fixture with the same device id is this fixture seen through the
            // Tarvo protocol: it lends the RDM fixture its firmware model.
            RDMDevice* target = found.get();
            const quint32 id = UidLow(target->GetUniqueId());
            const auto same = [id](quint32 lampId) { return lampId == id; };
            const auto merge = [target](Device* lamp) {
                target->SetUpgradable(true);
                target->SetUsesModelTable(true);
                target->SetModelIndex(lamp->GetModelIndex());
                delete lamp;
            };
            TakeLampFixtures(devices, same, merge);
            TakeLampFixtures(&result, same, merge);
            fixture = std::move(found);
        }
        rdmFixtures.append(fixture.get());
        result.append(fixture.release());
    }

    if (platform::Clock::StopRequested()) {
        // The thread is being stopped: what was found goes back to the caller unread.
        devices->append(result);
        Report(feedback, QStringLiteral("RDM Discovery: Stopped."), FeedbackWarning);
        return;
    }
    UpdateDeviceInformation(&rdmFixtures, feedback);
    devices->append(result);
    Report(feedback, QStringLiteral("RDM Discovery: Finished!"), FeedbackNormal);
}
