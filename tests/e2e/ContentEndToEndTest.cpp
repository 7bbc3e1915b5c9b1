// The content of the LED-family fixtures on the real path: the content commands and the
// family protocol on the command thread, the widget transport, qex_usb, the simulated
// widget and line, and the simulated fixtures' content stores. Three Brevant fixtures
// (7ff0:00000101-103) and a plain RDM fixture (7ff0:00000301) are on the line.
#include "fixtures/QelProtocol.h"
#include "fixtures/QelRDM.h"
#include "fixtures/commands/QelContentCommands.h"
#include "fixtures/commands/QelContentDiscoveryCommand.h"
#include "fixtures/commands/QelContentDownloadCommand.h"
#include "fixtures/commands/QelContentUploadCommands.h"
#include "fixtures/commands/QelFolderCommands.h"
#include "fixtures/commands/QelSetMosavraIdCommand.h"
#include "link/rdm/RdmDefs.h"
#include "sim/fixtures/QelFixture.h"
#include "tests/content/MemoryFolders.h"
#include "tests/e2e/WidgetRig.h"
#include "tests/fixtures/FamilyTestSupport.h"
#include "tests/link/PollUntil.h"
#include "tests/link/RdmTestPackets.h"
#include "tests/link/RecordingFeedback.h"

#include <QMutex>
#include <QSignalSpy>

using rdmtest::Bytes;
using sim::QelContentFault;
using sim::ResponderFault;

namespace {

namespace qelpid = sim::qelpid;

constexpr quint64 k101 = 0x7FF0'0000'0101ull;
constexpr quint64 k102 = 0x7FF0'0000'0102ull;
constexpr quint64 k103 = 0x7FF0'0000'0103ull;
constexpr quint64 k301 = 0x7FF0'0000'0301ull;

const char* const kRig = R"({ "widgets": [ { "kind": "programmed", "version": [1, 2], "fixtures": [
    { "kind": "brevant", "uid": "7ff0:00000101" },
    { "kind": "brevant", "uid": "7ff0:00000102" },
    { "kind": "brevant", "uid": "7ff0:00000103" },
    { "kind": "rdm-responder", "uid": "7ff0:00000301" } ] } ] })";

template <class Device>
std::unique_ptr<Device> MakeDevice(quint64 uid)
{
    auto device = std::make_unique<Device>();
    device->SetUniqueId(rdm::UidLow(uid), rdm::UidHigh(uid));
    return device;
}

// Items for an upload command.
template <class... Images>
QelContentUploadBase::Items ItemsOf(std::unique_ptr<Images>... images)
{
    QelContentUploadBase::Items items;
    (items.push_back(std::move(images)), ...);
    return items;
}

class ContentEndToEnd : public WidgetRigTest
{
protected:
    void SetUp() override
    {
        WidgetRigTest::SetUp();
        BootRig(kRig);
    }

    sim::QelFixture& Sim(quint64 uid)
    {
        const std::size_t index = uid == k101 ? 0 : uid == k102 ? 1 : 2;
        return *std::dynamic_pointer_cast<sim::QelFixture>(RigResponder(index));
    }

    void AddSimFolder(quint64 uid, int number, const QByteArray& name)
    {
        Sim(uid).ModifyContent([&](sim::QelContent& content) { content.folders[number].name = name; });
    }

    // Runs `work` with the first family's protocol on the command thread.
    void OnCommandThread(const std::function<void(QelProtocol&)>& work)
    {
        QelProtocol* protocol = QelProtocol::Instance(fixture101.get());
        ASSERT_TRUE(RunOnCommandThread([&] { work(*protocol); }));
    }

    std::unique_ptr<BrevantRDM> fixture101 = MakeDevice<BrevantRDM>(k101);
    std::unique_ptr<BrevantRDM> fixture102 = MakeDevice<BrevantRDM>(k102);
    std::unique_ptr<BrevantRDM> fixture103 = MakeDevice<BrevantRDM>(k103);
    std::unique_ptr<RDMDevice> plain301 = MakeDevice<RDMDevice>(k301);
    RecordingFeedback feedback;

};

QByteArray Record(const BrevantImage& image)
{
    BrevantRDMImage record;
    EXPECT_TRUE(image.ToRDMImage(record));
    return record.Flatten();
}

// ---- uploads ---------------------------------------------------------------------------

// A one-frame image is 928 bytes: four packets of 226 and one of 24, each broadcast, each
// but the last followed by a readiness query; a 54-frame image fills its last packet whole.
TEST_F(ContentEndToEnd, AnUploadGoesOutInBroadcastPacketsWithAQueryAfterEachButTheLast)
{
    AddSimFolder(k101, 45, "Shows");
    BrevantContentUploadCommand command;
    command.SetChainedFeedback(&feedback);
    command.SetTarget(fixture101.get(), 45, ItemsOf(MakeTestImage<BrevantImage>(1, "Dot", 0x01020304, 3)));
    MarkLine();
    ASSERT_TRUE(RunCommand(command));

    const QList<LineRequest> packets = LineRequests(qelpid::BulkDataUpload);
    ASSERT_EQ(packets.size(), 5);
    const QStringList headers = {"2D 03 00 00 01", "2D 03 00 01 02", "2D 03 00 02 02", "2D 03 00 03 02", "2D 03 00 04 04"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(packets[i].destination, rdm::BroadcastUid);
        EXPECT_EQ(packets[i].commandClass, rdm::SetCommand);
        EXPECT_EQ(rdmtest::ToHex(packets[i].data.left(5)), headers[i]);
        EXPECT_EQ(packets[i].data.size(), i < 4 ? 231 : 29);
    }
    // Erase, the query before the stream, the stream with its queries, the query after.
    EXPECT_EQ(ExchangePids(), (QList<quint16>{qelpid::EraseFile, qelpid::BulkDataReady, qelpid::BulkDataUpload, qelpid::BulkDataReady, qelpid::BulkDataUpload, qelpid::BulkDataReady, qelpid::BulkDataUpload, qelpid::BulkDataReady, qelpid::BulkDataUpload,
                                      qelpid::BulkDataReady, qelpid::BulkDataUpload, qelpid::BulkDataReady}));
    EXPECT_TRUE(feedback.Texts().contains(" Content uploaded!"));
    EXPECT_EQ(feedback.results, QList<FeedbackResult>{FeedbackSuccess});

    BrevantContentUploadCommand big;
    big.SetTarget(fixture101.get(), 45, ItemsOf(MakeTestImage<BrevantImage>(54, "Long", 0x05060708, 3)));
    MarkLine();
    ASSERT_TRUE(RunCommand(big));
    const QList<LineRequest> bigPackets = LineRequests(qelpid::BulkDataUpload);
    ASSERT_EQ(bigPackets.size(), 36);  // 8,136 bytes
    EXPECT_EQ(rdmtest::ToHex(bigPackets.last().data.left(5)), "2D 03 00 23 04");
    EXPECT_EQ(bigPackets.last().data.size(), 5 + 226);
    EXPECT_EQ(Sim(k101).Content().folders[45].files[3].record.size(), 8136);
}

// A folder is made, an image goes up into it, the listing shows it and the download brings
// the very record back; the other fixtures heard the broadcast but took nothing.
TEST_F(ContentEndToEnd, AFolderAndAnImageGoUpAndComeBackWhole)
{
    QelAddFolderCommand add;
    add.SetChainedFeedback(&feedback);
    add.SetTarget(fixture101.get(), FolderInfo(45, "Shows"));
    QSignalSpy added(&add, &QelAddFolderCommand::FinishedAddFolder);
    ASSERT_TRUE(RunCommand(add));
    ASSERT_EQ(added.size(), 1);
    EXPECT_TRUE(added[0][1].toBool());
    EXPECT_EQ(Sim(k101).Content().folders[45].name, "Shows");

    std::unique_ptr<BrevantImage> sunset = MakeTestImage<BrevantImage>(10, "Sunset", 0x11223344, 3);
    const QByteArray flattened = Record(*sunset);
    ASSERT_EQ(flattened.size(), 2152);
    BrevantContentUploadCommand upload;
    upload.SetChainedFeedback(&feedback);
    upload.SetTarget(fixture101.get(), 45, ItemsOf(std::move(sunset)));
    QSignalSpy uploaded(&upload, &QelContentUploadBase::FinishedContentUpload);
    ASSERT_TRUE(RunCommand(upload));
    ASSERT_EQ(uploaded.size(), 1);
    EXPECT_EQ(uploaded[0][1].value<unsigned short>(), 3);
    EXPECT_TRUE(uploaded[0][2].toBool());
    EXPECT_EQ(Sim(k101).Content().folders[45].files[3].record, flattened);
    EXPECT_TRUE(Sim(k102).Content().folders.empty());
    EXPECT_TRUE(Sim(k103).Content().folders.empty());
    // The item waits for its receiver; once taken it is gone from the command.
    std::unique_ptr<Content> item = upload.TakeItem(3);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->GetName(), "Sunset");
    EXPECT_FALSE(upload.TakeItem(3));

    QelContentDiscoveryCommand discovery;
    discovery.SetTarget(fixture101.get(), 45);
    ASSERT_TRUE(RunCommand(discovery));
    ASSERT_EQ(discovery.GetFiles().size(), 1);
    EXPECT_EQ(discovery.GetFiles()[0], FileInfo(45, 3, 0x11223344, "Sunset"));

    BrevantContentDownloadCommand download;
    download.SetChainedFeedback(&feedback);
    download.SetTarget(fixture101.get(), 45, {item.get()});
    QSignalSpy downloaded(&download, &QelContentDownloadCommand::FinishedContentDownload);
    ASSERT_TRUE(RunCommand(download));
    ASSERT_EQ(downloaded.size(), 1);
    EXPECT_TRUE(downloaded[0][2].toBool());
    std::unique_ptr<QelRDMImage> record = download.TakeDownloaded(3);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->Flatten(), flattened);
    EXPECT_FALSE(download.TakeDownloaded(3));
    EXPECT_TRUE(feedback.Texts().contains(" Sucessfuly imported image for folder 45, file 3"));
    EXPECT_EQ(feedback.results, (QList<FeedbackResult>{FeedbackSuccess, FeedbackSuccess, FeedbackSuccess}));
}

// A fixture may ask for ten retries in one stream; the eleventh drops it, and with it the
// upload. A fixture that says mid-stream it waits for a first packet is dropped at once.
TEST_F(ContentEndToEnd, RetriesAreCountedAndAFixtureThatLostTheStreamIsDropped)
{
    AddSimFolder(k101, 45, "Shows");
    struct Case
    {
        QelContentFault fault;
        QString line;
        bool uploaded;
    };
    const QList<Case> cases = {
        {QelContentFault::ReadyState(3).After(1).Times(11),
         " Error: Too many retries for device 0x7ff000000101. Removing device", false},
        {QelContentFault::ReadyState(3).After(1).Times(10), " Received 10 retries from device 0x7ff000000101", true},
        {QelContentFault::ReadyState(1).After(3),
         " Received BR_FIRST(0x1) for device 0x7ff000000101. Removing device", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line.toStdString());
        Sim(k101).InjectContentFault(c.fault);
        RecordingFeedback lines;
        BrevantContentUploadCommand command;
        command.SetChainedFeedback(&lines);
        command.SetTarget(fixture101.get(), 45, ItemsOf(MakeTestImage<BrevantImage>(54, "Long", 7, 3)));
        QSignalSpy finished(&command, &QelContentUploadBase::FinishedContentUpload);
        ASSERT_TRUE(RunCommand(command));
        EXPECT_TRUE(lines.Texts().contains(c.line)) << lines.Texts().join('\n').toStdString();
        EXPECT_EQ(lines.Texts().contains(" Content uploaded!"), c.uploaded);
        EXPECT_EQ(lines.Texts().contains(" Received 11 retries from device 0x7ff000000101"), !c.uploaded && c.fault.value == 3);
        ASSERT_EQ(finished.size(), 1);
        EXPECT_EQ(finished[0][2].toBool(), c.uploaded);
        EXPECT_EQ(lines.results, QList<FeedbackResult>{c.uploaded ? FeedbackSuccess : FeedbackFailure});
        Sim(k101).ClearContentFaults();
    }
}

// Before a stream the fixture gets twenty queries to become ready; a silent fixture is
// asked 101 times (each request sent five times by the engine) and then counts as aborted.
TEST_F(ContentEndToEnd, AFixtureThatIsNeverReadyOrSilentGetsNoStream)
{
    AddSimFolder(k101, 45, "Shows");
    auto upload = [&](RecordingFeedback& lines) {
        OnCommandThread([&](QelProtocol& protocol) {
            const std::unique_ptr<BrevantImage> image = MakeTestImage<BrevantImage>(1, "Dot", 1, 3);
            BrevantRDMImage record;
            image->ToRDMImage(record);
            EXPECT_FALSE(protocol.UploadContent(fixture101.get(), 45, 3, &record, &lines));
        });
    };

    Sim(k101).InjectContentFault(QelContentFault::ReadyState(3).Always());
    MarkLine();
    RecordingFeedback busy;
    upload(busy);
    EXPECT_EQ(LineExchanges(qelpid::BulkDataReady).size(), QelProtocol::kUploadReadyTries);
    EXPECT_TRUE(LineRequests(qelpid::BulkDataUpload).isEmpty());
    EXPECT_EQ(busy.Texts(FeedbackError), QStringList{" Device 0x7ff000000101 not ready."});
    Sim(k101).ClearContentFaults();

    Sim(k101).InjectFault(ResponderFault::Silence().ForPid(qelpid::BulkDataReady).Always());
    MarkLine();
    RecordingFeedback silent;
    upload(silent);
    EXPECT_EQ(LineRequests(qelpid::BulkDataReady).size(), QelProtocol::kMaxReadyRequests * RDMProtocol::kMaxAttempts);
    EXPECT_TRUE(LineRequests(qelpid::BulkDataUpload).isEmpty());
    EXPECT_EQ(silent.Texts(FeedbackError),
              (QStringList{" Failed - Device did not respond.", " Device 0x7ff000000101 not ready."}));
}

// One stream for three fixtures: the one that aborts is dropped and takes nothing, the
// others take the file, and every packet went out once.
TEST_F(ContentEndToEnd, AMultiUploadDropsTheFixtureThatAbortsAndKeepsTheOthers)
{
    for (quint64 uid : {k101, k102, k103})
        AddSimFolder(uid, 45, "Shows");
    for (quint8 state : {2, 2, 5})
        Sim(k102).InjectContentFault(QelContentFault::ReadyState(state));
    BrevantContentMultiUploadCommand command;
    command.SetChainedFeedback(&feedback);
    std::unique_ptr<BrevantImage> image = MakeTestImage<BrevantImage>(10, "Sunset", 0x11223344, 3);
    const QByteArray flattened = Record(*image);
    command.SetTarget({fixture101.get(), fixture102.get(), fixture103.get(), plain301.get()}, 45, ItemsOf(std::move(image)));
    EXPECT_EQ(command.GetDeviceUids(), (QList<quint64>{k101, k102, k103}));
    QSignalSpy finished(&command, &QelContentUploadBase::FinishedContentUpload);
    MarkLine();
    ASSERT_TRUE(RunCommand(command));

    EXPECT_TRUE(feedback.Texts().contains(" Received ABORT(0x5) for device 0x7ff000000102. Removing device"));
    EXPECT_TRUE(feedback.Texts().contains(" 2 of 3 devices completed successfully."));
    ASSERT_EQ(finished.size(), 1);
    EXPECT_TRUE(finished[0][2].toBool());
    EXPECT_EQ(command.CompletedFixtures(3), (QList<quint64>{k101, k103}));
    EXPECT_EQ(Sim(k101).Content().folders[45].files[3].record, flattened);
    EXPECT_EQ(Sim(k103).Content().folders[45].files[3].record, flattened);
    EXPECT_EQ(Sim(k102).Content().folders[45].files.count(3), 0u);
    EXPECT_EQ(LineRequests(qelpid::BulkDataUpload).size(), 10);  // 2,152 bytes, each packet once
    EXPECT_EQ(feedback.results, QList<FeedbackResult>{FeedbackSuccess});
}

// A fixture that lost the last packet still says "receiving" afterwards: it did not take
// the file, and the upload must not say it did.
TEST_F(ContentEndToEnd, AFixtureThatLostTheLastPacketIsNotCompleted)
{
    for (quint64 uid : {k101, k103})
        AddSimFolder(uid, 45, "Shows");
    Sim(k103).InjectContentFault(QelContentFault::DropPacket().After(9));
    BrevantContentMultiUploadCommand command;
    command.SetChainedFeedback(&feedback);
    command.SetTarget({fixture101.get(), fixture103.get()}, 45, ItemsOf(MakeTestImage<BrevantImage>(10, "Sunset", 1, 3)));
    ASSERT_TRUE(RunCommand(command));
    EXPECT_EQ(command.CompletedFixtures(3), QList<quint64>{k101});
    EXPECT_TRUE(feedback.Texts().contains("Error! Device 0x7ff000000103 failed."));
    EXPECT_FALSE(feedback.Texts().contains(" Device 0x7ff000000103 completed succesfully."));
    EXPECT_TRUE(feedback.Texts().contains(" 1 of 2 devices completed successfully."));
    EXPECT_EQ(Sim(k103).Content().folders[45].files.count(3), 0u);
}

// FPGA images follow the content rule: the packet that holds the end is flagged last, also
// when it is full, and no query follows it. Nothing is sent for an empty image.
TEST_F(ContentEndToEnd, FpgaImagesEndOnAPacketFlaggedLast)
{
    struct Case
    {
        int length;
        QStringList headers;
        int lastData;
    };
    const QList<Case> cases = {
        {1000, {"00 00 01", "00 01 02", "00 02 02", "00 03 02", "00 04 04"}, 96},
        {452, {"00 00 01", "00 01 04"}, 226},
        {0, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        QByteArray image(c.length, Qt::Uninitialized);
        for (int i = 0; i < c.length; ++i)
            image[i] = char(i * 7);
        MarkLine();
        bool ok = false;
        QList<Device*> devices = {fixture101.get(), plain301.get(), fixture102.get()};
        OnCommandThread([&](QelProtocol& protocol) {
            ok = protocol.UploadFPGA(devices, image.constData(), int(image.size()), &feedback);
        });
        const QList<LineRequest> packets = LineRequests(qelpid::FpgaBulkDataUpload);
        ASSERT_EQ(packets.size(), c.headers.size());
        for (int i = 0; i < packets.size(); ++i)
            EXPECT_EQ(rdmtest::ToHex(packets[i].data.left(3)), c.headers[i]);
        EXPECT_EQ(ok, c.length > 0);
        if (c.length == 0)
            continue;
        EXPECT_EQ(packets.last().data.size(), 3 + c.lastData);
        // One query per fixture before the stream, then after each packet but the last.
        EXPECT_EQ(LineExchanges(qelpid::FpgaBulkDataReady).size(), 2 + 2 * (packets.size() - 1));
        EXPECT_EQ(LineRequests().last().pid, qelpid::FpgaBulkDataUpload);
        EXPECT_EQ(Sim(k101).Content().fpgaImage, image);
        EXPECT_EQ(Sim(k102).Content().fpgaImage, image);
        EXPECT_EQ(devices, (QList<Device*>{fixture101.get(), fixture102.get()}));
    }
}

// Items of another family are none of a Brevant upload's business.
TEST_F(ContentEndToEnd, ItemsOfTheOtherFamilyAreSkippedWithoutTraffic)
{
    BrevantContentUploadCommand command;
    command.SetChainedFeedback(&feedback);
    command.SetTarget(fixture101.get(), 45, ItemsOf(MakeTestImage<CindralImage>(2, "Other", 1, 3)));
    QSignalSpy finished(&command, &QelContentUploadBase::FinishedContentUpload);
    MarkLine();
    ASSERT_TRUE(RunCommand(command));
    EXPECT_TRUE(finished.isEmpty());
    EXPECT_TRUE(LineRequests().isEmpty());
    EXPECT_EQ(feedback.results, QList<FeedbackResult>{FeedbackSuccess});
    EXPECT_FALSE(command.TakeItem(3));
}

// ---- downloads -------------------------------------------------------------------------

// The request kinds: 1 for the first packet, 3 after each failed exchange (also before the
// first packet), 2 after each packet taken. A stale packet is not a failure: the one taken
// last again means the request for the next was lost (2); another one before the first
// means the fixture is still on an earlier download of the file (1). The cases run in
// order on one fixture, whose download state carries over from case to case.
TEST_F(ContentEndToEnd, ADownloadAsksAgainAfterFailedExchangesButNotForEver)
{
    const QByteArray stored = sim::GenerateQelRecord(sim::QelFamily::Brevant, 0x0A0B0C0D, "Waves", 6, 2);  // 8 packets
    Sim(k101).ModifyContent([&](sim::QelContent& content) {
        content.folders[45].name = "Shows";
        content.folders[45].files[3] = {stored.mid(4, 4), "Waves", stored};
    });
    const auto nacks = [&](int skip, int count) {
        Sim(k101).InjectFault(ResponderFault::Nack(0x810E).ForPid(qelpid::BulkDataDownload).After(skip).Times(count));
    };
    const auto silence = [&](int skip, int count) {
        Sim(k101).InjectFault(ResponderFault::Silence().ForPid(qelpid::BulkDataDownload).After(skip).Times(count));
    };
    struct Case
    {
        const char* name;
        std::function<void()> inject;
        bool ok;
        const char* kinds;
    };
    const QList<Case> cases = {
        {"six NACKs", [&] { nacks(0, 6); }, false, "1 3 3 3 3 3"},
        {"five NACKs before the first packet", [&] { nacks(0, 5); }, true, "1 3 3 3 3 3 2 2 2 2 2 2 2"},
        {"a short first reply", [&] { Sim(k101).InjectContentFault(QelContentFault::ShortDownload()); }, true,
         "1 3 2 2 2 2 2 2 2"},
        {"five NACKs after two packets", [&] { nacks(2, 5); }, true, "1 2 2 3 3 3 3 3 2 2 2 2 2 2"},
        {"a first request lost after an earlier download", [&] { silence(0, RDMProtocol::kMaxAttempts); }, true,
         "1 3 1 2 2 2 2 2 2 2"},
        {"a request lost mid-file, sent again by the engine", [&] { silence(1, 1); }, true, "1 2 2 2 2 2 2 2"},
        {"a short reply mid-file", [&] { Sim(k101).InjectContentFault(QelContentFault::ShortDownload().After(1)); }, true,
         "1 2 3 2 2 2 2 2 2"},
        {"a repeated packet", [&] { Sim(k101).InjectContentFault(QelContentFault::RepeatDownload().After(1)); }, true,
         "1 2 2 2 2 2 2 2 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.inject();
        RecordingFeedback lines;
        BrevantRDMImage record;
        bool ok = false;
        MarkLine();
        OnCommandThread([&](QelProtocol& protocol) { ok = protocol.DownloadContent(fixture101.get(), 45, 3, &record, &lines); });
        EXPECT_EQ(ok, c.ok);
        EXPECT_EQ(lines.Texts().contains(" Error count exceeded getting content for folder 45"), !c.ok);
        if (c.ok) {
            EXPECT_EQ(record.Flatten(), stored);
        }
        QStringList kinds;
        for (const LineRequest& request : LineExchanges(qelpid::BulkDataDownload))
            kinds.append(QString::number(quint8(request.data.at(2))));
        EXPECT_EQ(kinds.join(' ').toStdString(), c.kinds);
        Sim(k101).ClearFaults();
        Sim(k101).ClearContentFaults();
    }
}

// ---- listings --------------------------------------------------------------------------

TEST_F(ContentEndToEnd, ListingsGoOnWhileMoreFollowButNotForEver)
{
    Sim(k101).ModifyContent([](sim::QelContent& content) {
        for (int number = 41; number < 82; ++number)
            content.folders[number].name = QByteArray("Folder ") + QByteArray::number(number);
    });
    QList<FolderInfo> folders;
    MarkLine();
    bool ok = false;
    OnCommandThread([&](QelProtocol& protocol) { ok = protocol.DiscoverFolders(fixture101.get(), 0, &folders, &feedback); });
    EXPECT_TRUE(ok);
    EXPECT_EQ(LineExchanges(qelpid::FolderInfo).size(), 4);  // 13, 13, 13 and 2 records
    ASSERT_EQ(folders.size(), 41);
    for (int i = 0; i < 41; ++i)
        EXPECT_EQ(folders[i], FolderInfo(41 + i, QStringLiteral("Folder %1").arg(41 + i)));

    Sim(k101).InjectContentFault(QelContentFault::EndlessOverflow());
    MarkLine();
    OnCommandThread([&](QelProtocol& protocol) { ok = protocol.DiscoverFolders(fixture101.get(), 0, nullptr, &feedback); });
    EXPECT_FALSE(ok);
    EXPECT_EQ(LineExchanges(qelpid::FolderInfo).size(), RDMProtocol::kMaxOverflowRounds + 1);
    EXPECT_EQ(feedback.Texts(FeedbackError).last(), " Error received over 250 overflow responses");
    Sim(k101).ClearContentFaults();

    // A stray record of another folder is reported, not taken.
    Sim(k101).ModifyContent([](sim::QelContent& content) {
        content.folders[45].files[3] = {Bytes("44 33 22 11"), "Sunset", QByteArray()};
    });
    Sim(k101).InjectContentFault(QelContentFault::ForeignFileRecord(46));
    RecordingFeedback lines;
    QList<FileInfo> files;
    OnCommandThread([&](QelProtocol& protocol) { ok = protocol.DiscoverContent(fixture101.get(), 45, 0, &files, &lines); });
    EXPECT_TRUE(ok);
    EXPECT_EQ(lines.Texts(), (QStringList{"Device 0x7ff000000101: Getting all content for folder 45",
                                         " Discovered folder=45, file=3, name=Sunset",
                                         " Discovered folder=46, file=1, name=Stray"}));
    EXPECT_EQ(files, QList<FileInfo>{FileInfo(45, 3, 0x11223344, "Sunset")});
}

// The key goes out high byte first and is read back low byte first.
TEST_F(ContentEndToEnd, AFileKeyComesBackWithItsBytesReversed)
{
    Sim(k101).ModifyContent([](sim::QelContent& content) {
        content.folders[45].files[3] = {Bytes("00 00 00 00"), "Old",
                                        sim::GenerateQelRecord(sim::QelFamily::Brevant, 0, "Old", 1)};
    });
    MarkLine();
    QList<FileInfo> files;
    OnCommandThread([&](QelProtocol& protocol) {
        EXPECT_TRUE(protocol.SetContentInfo(fixture101.get(), FileInfo(45, 3, 0x11223344, "Sunset"), &feedback));
        EXPECT_TRUE(protocol.DiscoverContent(fixture101.get(), 45, 0, &files, &feedback));
    });
    ASSERT_FALSE(LineRequests(qelpid::FileInfo).isEmpty());
    EXPECT_EQ(LineRequests(qelpid::FileInfo)[0].data, Bytes("2D 03 11 22 33 44 53 75 6E 73 65 74") + QByteArray(10, '\0'));
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(files[0].key, 0x44332211u);
    EXPECT_EQ(files[0].name, "Sunset");
    // The record's own header carries the same key and name.
    EXPECT_EQ(Sim(k101).Content().folders[45].files[3].record.mid(4, 10), Bytes("11 22 33 44") + "Sunset");
}

// ---- the Mosavra address -----------------------------------------------------------------

TEST_F(ContentEndToEnd, TheMosavraAddressIsSetLowByteFirstAndKeptByTheDevice)
{
    QMutex mutex;
    QStringList order;
    struct OrderFeedback : RecordingFeedback
    {
        QMutex* mutex;
        QStringList* order;
        void Finished(FeedbackResult value) override
        {
            RecordingFeedback::Finished(value);
            QMutexLocker lock(mutex);
            order->append("Finished");
        }
    } lines;
    lines.mutex = &mutex;
    lines.order = &order;

    QelSetMosavraIdCommand command;
    command.SetChainedFeedback(&lines);
    command.SetTarget(fixture101.get(), 300);
    QObject::connect(&command, &QelSetMosavraIdCommand::FinishedQelSetMosavraId, &command,
                     [&] {
                         QMutexLocker lock(&mutex);
                         order.append("FinishedQelSetMosavraId");
                     },
                     Qt::DirectConnection);
    MarkLine();
    ASSERT_TRUE(RunCommand(command));
    EXPECT_EQ(lines.Texts(), QStringList{"Set Mosavra Address for 140668768878849 to 300"});
    EXPECT_EQ(LineRequests(qelpid::MosavraAddress)[0].data, Bytes("2C 01"));
    EXPECT_EQ(order, (QStringList{"Finished", "FinishedQelSetMosavraId"}));
    EXPECT_EQ(lines.results, QList<FeedbackResult>{FeedbackSuccess});
    EXPECT_TRUE(PollUntil([&] { return fixture101->GetMosavraAddress() == 300; }));
    EXPECT_EQ(Sim(k101).FamilyState().mosavraAddress, 300);

    // The GET answers high byte first.
    auto reader = MakeDevice<BrevantRDM>(k101);
    OnCommandThread([&](QelProtocol& protocol) { EXPECT_TRUE(protocol.GetMosavraAddress(reader.get(), &feedback)); });
    EXPECT_EQ(reader->GetMosavraAddress(), 300);

    QelSetMosavraIdCommand plain;
    RecordingFeedback refused;
    plain.SetChainedFeedback(&refused);
    plain.SetTarget(plain301.get(), 300);
    QSignalSpy finished(&plain, &QelSetMosavraIdCommand::FinishedQelSetMosavraId);
    MarkLine();
    ASSERT_TRUE(RunCommand(plain));
    EXPECT_EQ(refused.Texts(), QStringList{"Error: Set Mosavra Address failed for 0x7ff000000301! Invalid Device object."});
    EXPECT_EQ(refused.results, QList<FeedbackResult>{FeedbackFailure});
    ASSERT_EQ(finished.size(), 1);
    EXPECT_FALSE(finished[0][1].toBool());
    EXPECT_TRUE(LineRequests().isEmpty());
}

// ---- erasing, renaming, moving -------------------------------------------------------------

TEST_F(ContentEndToEnd, NumbersTheWireCannotCarryAreRefusedBeforeSending)
{
    MarkLine();
    OnCommandThread([&](QelProtocol& protocol) {
        EXPECT_FALSE(protocol.EraseContent(fixture101.get(), 0, 3, &feedback));
        EXPECT_FALSE(protocol.EraseContent(fixture101.get(), 45, 0, &feedback));
        EXPECT_FALSE(protocol.EraseContent(fixture101.get(), 45, 256, &feedback));
        EXPECT_FALSE(protocol.MoveContent(fixture101.get(), 45, 3, 301, 3, &feedback));
        EXPECT_FALSE(protocol.SetFolderInfo(fixture101.get(), 0, QString(), 256, "Shows", &feedback));
    });
    EXPECT_TRUE(LineRequests().isEmpty());
    EXPECT_EQ(feedback.Texts().first(), " Device 0x7ff000000101: Attempting to delete an invalid file 3 or folder 0");

    RecordingFeedback lines;
    OnCommandThread([&](QelProtocol& protocol) { EXPECT_FALSE(protocol.EraseFolder(fixture101.get(), 45, &lines)); });
    EXPECT_EQ(lines.Texts(FeedbackError),
              QStringList{" Device 0x7ff000000101 Failed to Erase Folder: Nack Error (0x810d) Folder does not exist!"});
}

TEST_F(ContentEndToEnd, RenamesSendOnlyWhatChangedAndStopAtAFailedMove)
{
    Sim(k101).ModifyContent([](sim::QelContent& content) {
        content.folders[45].name = "Shows";
        content.folders[46].name = "Taken";
        for (int file : {3, 4})
            content.folders[45].files[file] = {Bytes("01 00 00 00"), "Dot",
                                               sim::GenerateQelRecord(sim::QelFamily::Brevant, 1, "Dot", 1)};
    });
    struct Case
    {
        const char* name;
        FileInfo former;
        FileInfo renamed;
        QList<quint16> pids;
        bool ok;
    };
    const QList<Case> cases = {
        {"name only", FileInfo(45, 3, 1, "Dot"), FileInfo(45, 3, 1, "Spot"), {qelpid::FileInfo}, true},
        {"number only", FileInfo(45, 3, 1, "Spot"), FileInfo(45, 5, 1, "Spot"), {qelpid::MoveFile}, true},
        {"failed move", FileInfo(45, 5, 1, "Spot"), FileInfo(45, 4, 1, "Other"), {qelpid::MoveFile}, false},
        {"nothing", FileInfo(45, 5, 1, "Spot"), FileInfo(45, 5, 1, "Spot"), {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QelRenameContentCommand command;
        command.SetTarget(fixture101.get(), c.former, c.renamed);
        QSignalSpy finished(&command, &QelRenameContentCommand::FinishedContentRename);
        MarkLine();
        ASSERT_TRUE(RunCommand(command));
        EXPECT_EQ(ExchangePids(), c.pids);
        ASSERT_EQ(finished.size(), 1);
        EXPECT_EQ(finished[0][1].toBool(), c.ok);
    }
    EXPECT_EQ(Sim(k101).Content().folders[45].files[5].name, "Spot");

    // A folder whose move fails keeps its name: naming it would make a new folder.
    QelRenameFolderCommand folder;
    RecordingFeedback lines;
    folder.SetChainedFeedback(&lines);
    folder.SetTarget(fixture101.get(), FolderInfo(45, "Shows"), FolderInfo(46, "Evening"));
    QSignalSpy renamed(&folder, &QelRenameFolderCommand::FinishedRenameFolder);
    MarkLine();
    ASSERT_TRUE(RunCommand(folder));
    EXPECT_EQ(ExchangePids(), QList<quint16>{qelpid::MoveFolder});
    ASSERT_EQ(renamed.size(), 1);
    EXPECT_FALSE(renamed[0][1].toBool());
    EXPECT_EQ(lines.results, QList<FeedbackResult>{FeedbackFailure});
    EXPECT_EQ(Sim(k101).Content().folders[46].name, "Taken");

    QelRenameFolderCommand both;
    both.SetTarget(fixture101.get(), FolderInfo(45, "Shows"), FolderInfo(47, "Evening"));
    MarkLine();
    ASSERT_TRUE(RunCommand(both));
    EXPECT_EQ(ExchangePids(), (QList<quint16>{qelpid::MoveFolder, qelpid::FolderInfo}));
    EXPECT_EQ(Sim(k101).Content().folders[47].name, "Evening");
    EXPECT_EQ(Sim(k101).Content().folders.count(45), 0u);
}

TEST_F(ContentEndToEnd, ARemovalWithAFailedEraseFails)
{
    AddSimFolder(k101, 45, "Shows");
    Sim(k101).InjectFault(ResponderFault::Nack(0x8107).ForPid(qelpid::EraseFile).After(1));
    QelRemoveContentCommand command;
    command.SetChainedFeedback(&feedback);
    command.SetTarget(fixture101.get(), {FileInfo(45, 1, 0, {}), FileInfo(45, 2, 0, {}), FileInfo(45, 3, 0, {})});
    QSignalSpy removed(&command, &QelRemoveContentCommand::FinishedContentRemove);
    ASSERT_TRUE(RunCommand(command));
    ASSERT_EQ(removed.size(), 3);
    QList<bool> results;
    for (const QList<QVariant>& signal : removed)
        results.append(signal[2].toBool());
    EXPECT_EQ(results, (QList<bool>{true, false, true}));
    EXPECT_EQ(removed[1][1].toInt(), 2);
    EXPECT_EQ(feedback.results, QList<FeedbackResult>{FeedbackFailure});
}

TEST_F(ContentEndToEnd, MovesAndFolderRemovalsReachTheStore)
{
    Sim(k101).ModifyContent([](sim::QelContent& content) {
        content.folders[45].name = "Shows";
        content.folders[46].name = "Later";
        content.folders[45].files[3] = {Bytes("01 00 00 00"), "Dot",
                                        sim::GenerateQelRecord(sim::QelFamily::Brevant, 1, "Dot", 1)};
    });
    MemoryFolder folder(nullptr, "Shows", 45);
    std::unique_ptr<BrevantImage> item = MakeTestImage<BrevantImage>(1, "Dot", 1, 3);
    item->SetParent(&folder);
    QelMoveContentCommand move;
    RecordingFeedback lines;
    move.SetChainedFeedback(&lines);
    move.SetTarget(fixture101.get(), item.get(), 46, 3);
    item.reset();  // the command keeps numbers, not the item
    ASSERT_TRUE(RunCommand(move));
    EXPECT_EQ(lines.Texts().first(), "Move Dot to folder 46");
    EXPECT_EQ(Sim(k101).Content().folders[46].files.count(3), 1u);

    QelRemoveFolderCommand remove;
    remove.SetTarget(fixture101.get(), 46);
    QSignalSpy removed(&remove, &QelRemoveFolderCommand::FinishedRemoveFolder);
    ASSERT_TRUE(RunCommand(remove));
    EXPECT_TRUE(removed[0][1].toBool());
    EXPECT_EQ(Sim(k101).Content().folders.count(46), 0u);
}

} // namespace
