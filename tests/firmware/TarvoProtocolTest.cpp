// The Tarvo protocol's wire against a scripted far end: exact bytes out, canned bytes
// back, nothing left unsent or unread.
#include "firmware/TarvoDefs.h"
#include "firmware/TarvoDevice.h"
#include "firmware/TarvoProtocol.h"
#include "sim/fixtures/TarvoWire.h"
#include "tests/firmware/TarvoTestPackets.h"
#include "tests/link/RdmTestPackets.h"
#include "tests/link/RecordingFeedback.h"
#include "tests/link/ScriptedRdmLink.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tarvo;
using rdmtest::Bytes;
using rdmtest::ToHex;
using tarvotest::Request;
using tarvotest::TalkbackRequest;

namespace {

constexpr quint32 kLamp = 0x00C0FFEE;

class TarvoProtocolTest : public ::testing::Test
{
protected:
    TarvoProtocolTest() { lamp.SetUniqueId(kLamp, 0); }

    int SendRequest(quint8 subCommand, quint32 id, quint16 argument = 0, int room = TarvoProtocol::kRequestReplyRoom)
    {
        reply.fill('\xEE', room);
        return protocol.Request(kCommand, subCommand, id, argument, reinterpret_cast<quint8*>(reply.data()), room);
    }

    ScriptedRdmLink link;
    TarvoProtocol protocol{[this] { return &link; }};
    RecordingFeedback feedback;
    TarvoDevice lamp;
    QByteArray reply;
};

TEST_F(TarvoProtocolTest, ChecksumAndPacketsGoOutByteForByte)
{
    const QByteArray abc("abc");
    EXPECT_EQ(TarvoProtocol::ComputeChecksum(reinterpret_cast<const quint8*>(abc.constData()), 5), 0x02C0);

    link.ExpectSend(Bytes("26 85 43 4C 52 41 11 FA"));
    EXPECT_TRUE(protocol.SendCommandWord(Code("CLRA")));
    link.ExpectSend(Bytes("26 80 52 53 45 54 12 37"));
    EXPECT_TRUE(protocol.SendPacket(kCommand, SubReset, Code("RSET"), nullptr, 0));
    link.ExpectRead(Bytes("26 05 00 00 00 00 00 00 17 3D"), kTalkbackReplyRoom)
        .Reply(sim::tarvowire::RequestReply(SubProbe, 0, kLamp));
    EXPECT_EQ(SendRequest(SubProbe, 0, 0, kTalkbackReplyRoom), kRequestReplySize);
}

TEST_F(TarvoProtocolTest, PacketsCarryAtMost504DataBytes)
{
    const QByteArray data(kMaxPacketData, '\x5A');
    const QByteArray full = tarvotest::Packet(SubFirmwarePacket, 7, data);
    ASSERT_EQ(full.size(), 512);
    link.ExpectSend(full);
    EXPECT_TRUE(protocol.SendPacket(kCommand, SubFirmwarePacket, 7, reinterpret_cast<const quint8*>(data.constData()),
                                    kMaxPacketData));
    // One more byte would not fit the widget: nothing goes out (the link expects nothing).
    const QByteArray longer(kMaxPacketData + 1, '\x5A');
    EXPECT_FALSE(protocol.SendPacket(kCommand, SubFirmwarePacket, 7, reinterpret_cast<const quint8*>(longer.constData()),
                                     kMaxPacketData + 1));
}

TEST_F(TarvoProtocolTest, ARequestTriesSixTimesAndChecksItsReplyOnce)
{
    // Silence: six sends, then nothing.
    for (int i = 0; i < TarvoProtocol::kRequestTries; ++i)
        link.ExpectRead(Request(SubReadyForCode, kLamp), TarvoProtocol::kRequestReplyRoom).Silence();
    EXPECT_EQ(SendRequest(SubReadyForCode, kLamp), 0);
    link.Verify();

    // A reply whose checksum is wrong is not asked again.
    ScriptedRdmLink once;
    protocol.SetLinkProvider([&once] { return &once; });
    once.ExpectRead(Request(SubReadyForCode, kLamp), TarvoProtocol::kRequestReplyRoom)
        .Reply(sim::tarvowire::RequestReply(SubReadyForCode, kLamp, kReadyForCode, true));
    EXPECT_EQ(SendRequest(SubReadyForCode, kLamp), -1);
    once.Verify();

    // Byte 0 is not examined: the checksum stands on the command value instead.
    QByteArray odd = sim::tarvowire::RequestReply(SubReadyForCode, kLamp, kReadyForCode);
    odd[0] = '\x00';
    once.ExpectRead(Request(SubReadyForCode, kLamp), TarvoProtocol::kRequestReplyRoom).Reply(odd);
    EXPECT_EQ(SendRequest(SubReadyForCode, kLamp), kRequestReplySize);
    EXPECT_EQ(reply.mid(6, 4).toHex(), "feedface");
    once.Verify();

    // A reply too short to hold its checksum is a broken one, read no further.
    once.ExpectRead(Request(SubReadyForCode, kLamp), TarvoProtocol::kRequestReplyRoom).Reply(Bytes("26 01 00 C0 FF"));
    EXPECT_EQ(SendRequest(SubReadyForCode, kLamp), -1);
    once.Verify();

    // A request the widget does not take uses up a try like silence.
    for (int i = 0; i < TarvoProtocol::kRequestTries; ++i)
        once.ExpectRead(Request(SubConfirmPacket, kLamp, 3), TarvoProtocol::kRequestReplyRoom).Refuse();
    EXPECT_EQ(SendRequest(SubConfirmPacket, kLamp, 3), 0);

    protocol.SetLinkProvider([] { return nullptr; });
    EXPECT_EQ(SendRequest(SubReadyForCode, kLamp), 0);
}

// Talkback replies: only a whole reply of the right kind and parameter, its data all
// there before its checksum, is taken.
TEST_F(TarvoProtocolTest, TalkbackTakesOnlyAWholeReplyOfItsKind)
{
    using sim::tarvowire::Talkback;
    const QByteArray data = Bytes("01 00 2A 0D 00 03");
    const QString warning = " Tarvo Talkback: Warning: No reply from 0xc0ffee";
    QByteArray pastTheData = Talkback(0x12, 255, kLamp, data);
    pastTheData.chop(2);
    pastTheData[12] = char(200);  // promises far more than it carries
    const quint16 checksum = sim::tarvowire::Checksum(pastTheData);
    pastTheData.append(char(checksum >> 8)).append(char(checksum & 0xFF));
    QByteArray badChecksum = Talkback(0x12, 255, kLamp, data);
    badChecksum[badChecksum.size() - 1] = char(~quint8(badChecksum[badChecksum.size() - 1]));

    struct Case
    {
        const char* name;
        QByteArray reply;
        int capacity;
        int result;
        bool warns;
    };
    const Case cases[] = {
        {"whole", Talkback(0x12, 255, kLamp, data), 255, 6, false},
        {"no data", Talkback(0x12, 255, kLamp, QByteArray()), 255, 0, false},
        {"longer than the room", Talkback(0x12, 255, kLamp, data), 5, 0, false},
        {"length past the data", pastTheData, 255, 0, true},
        {"information kind", Talkback(0x31, 255, kLamp, data), 255, 0, true},
        {"another parameter", Talkback(0x12, 254, kLamp, data), 255, 0, true},
        {"wrong checksum", badChecksum, 255, 0, true},
        {"header only", Talkback(0x12, 255, kLamp, data).left(13), 255, 0, true},
        {"silence", QByteArray(), 255, 0, true},
    };
    for (const Case& c : cases) {
        feedback.lines.clear();
        auto& step = link.ExpectRead(TalkbackRequest(0x11, 255, kLamp), kTalkbackReplyRoom);
        if (c.reply.isEmpty())
            step.Silence();
        else
            step.Reply(c.reply);
        QByteArray buffer(255, '\0');
        EXPECT_EQ(protocol.TalkbackParam(&lamp, 255, reinterpret_cast<quint8*>(buffer.data()), c.capacity, &feedback),
                  c.result)
            << c.name;
        EXPECT_EQ(feedback.Texts(), c.warns ? QStringList{warning} : QStringList()) << c.name;
        if (c.result > 0) {
            EXPECT_EQ(buffer.left(c.result), data) << c.name;
        }
    }
    protocol.SetLinkProvider([] { return nullptr; });
    feedback.lines.clear();
    quint8 buffer[8];
    EXPECT_EQ(protocol.Talkback(&lamp, 8, buffer, 8, &feedback), 0);
    EXPECT_EQ(feedback.Texts(FeedbackError), QStringList{" Error: No communication device detected"});
}

// The all-values readers store whole records only: 7 bytes of parameters are two records
// and a stray byte.
TEST_F(TarvoProtocolTest, AllParametersStoreWholeRecordsOnly)
{
    link.ExpectRead(TalkbackRequest(0x11, 255, kLamp), kTalkbackReplyRoom)
        .Reply(sim::tarvowire::Talkback(0x12, 255, kLamp, Bytes("01 00 2A 0D 05 00 09")));
    EXPECT_FALSE(protocol.GetAllParams(&lamp, &feedback));
    EXPECT_EQ(lamp.GetDmxAddress(), 42);
    EXPECT_EQ(lamp.GetMode(), 5);
    EXPECT_EQ(lamp.GetDeviceModelId(), 0) << "the stray byte is not a record";

    link.ExpectRead(TalkbackRequest(0x11, 255, kLamp), kTalkbackReplyRoom)
        .Reply(sim::tarvowire::Talkback(0x12, 255, kLamp, Bytes("01 00 2B 09 03 00")));
    EXPECT_TRUE(protocol.GetAllParams(&lamp, &feedback));
    EXPECT_EQ(lamp.GetDmxAddress(), 43);
    EXPECT_EQ(lamp.GetModelName(), "TS-700 Spot");

    // Records the table does not name (a temperature selector of 12, a fan selector of
    // 5, information number 9) are stepped over.
    link.ExpectRead(TalkbackRequest(0x30, 255, kLamp), kTalkbackReplyRoom)
        .Reply(sim::tarvowire::Talkback(0x31, 255, kLamp,
                                        Bytes("03 0C 00 00 00 10 13 05 07 00 00 00 09 01 01 01 01 01 07 00 2A 00 00 00")));
    EXPECT_TRUE(protocol.GetAllInfo(&lamp, &feedback));
    EXPECT_EQ(lamp.GetDeviceHours(), 42);
    EXPECT_EQ(lamp.GetFanSpeed(TarvoDevice::Fan::Optics), TarvoDevice::kNoFanSpeed);
    EXPECT_TRUE(feedback.lines.isEmpty());
}

// The personality reader stores the personality (not the mode, which a reader of its own
// fills), and each reader writes its warning when the value does not come.
TEST_F(TarvoProtocolTest, SingleValueReadersStoreTheirOwnValue)
{
    link.ExpectRead(TalkbackRequest(0x11, 0, kLamp), kTalkbackReplyRoom)
        .Reply(sim::tarvowire::Talkback(0x12, 0, kLamp, Bytes("00 03")));
    EXPECT_TRUE(protocol.GetDmxPersonality(&lamp, &feedback));
    EXPECT_EQ(lamp.GetDmxPersonality(), 3);
    EXPECT_EQ(lamp.GetMode(), 0);
    EXPECT_EQ(feedback.Texts(), QStringList{"Tarvo Discovery: Getting Dmx personality for 0xc0ffee"});

    feedback.lines.clear();
    link.ExpectRead(TalkbackRequest(0x30, 8, kLamp), kTalkbackReplyRoom)
        .Reply(sim::tarvowire::Talkback(0x31, 8, kLamp, Bytes("00 02 01 05")));
    EXPECT_TRUE(protocol.GetFirmwareVersion(&lamp, &feedback));
    EXPECT_EQ(lamp.GetSoftwareVersion(), "v215");

    feedback.lines.clear();
    link.ExpectRead(TalkbackRequest(0x11, 14, kLamp), kTalkbackReplyRoom).Silence();
    EXPECT_FALSE(protocol.GetShutdownTime(&lamp, &feedback));
    EXPECT_EQ(feedback.Texts(), QStringList({" Tarvo Talkback: Warning: No reply from 0xc0ffee",
                                             " Tarvo Discovery: Warning: Failed getting shutdown time for 0xc0ffee"}));
}

// Nothing reaches the line unless the upload can be made whole: a file that does not
// fill every packet but the last, a model without packets, no devices.
TEST_F(TarvoProtocolTest, AnUploadThatCannotBeMadeTouchesNoFixture)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto write = [&dir](const QString& name, qint64 size) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(size, '\x11'));
        return file.fileName();
    };
    TarvoDevice small;  // row 0: 512 packets
    small.SetUniqueId(kLamp, 0);
    small.SetDeviceModelId(0);
    TarvoDevice unknownModel;
    unknownModel.SetUniqueId(kLamp, 0);
    unknownModel.SetDeviceModelId(40);

    struct Case
    {
        const char* name;
        QString file;
        QList<Device*> devices;
    };
    const Case cases[] = {
        {"a file one byte short", write("short.bin", 511 * 256), {&small}},
        {"no file", dir.filePath("missing.bin"), {&small}},
        {"no packets", write("any.bin", 4096), {&unknownModel}},
        {"no devices", write("whole.bin", 511 * 256 + 1), {}},
    };
    for (const Case& c : cases) {
        feedback.lines.clear();
        QList<Device*> devices = c.devices;
        EXPECT_FALSE(protocol.UploadFirmware(c.file, devices, &feedback)) << c.name;
        EXPECT_EQ(feedback.Texts(), QStringList{" Error: Failed to sending upload packets"}) << c.name;
        EXPECT_TRUE(link.sent.isEmpty()) << c.name;
    }
}

} // namespace
