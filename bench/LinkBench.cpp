// Speed of the link against the DMX line it drives: what the program's whole stack (the
// RDM engine, the widget transport, qex_usb, the kernel and USB stand-ins, the simulated
// widget, line and fixtures) costs beside the time the same traffic takes on a real
// E1.20 line, as the line's own timing model counts it.
//
// Two kinds of figures:
// - CPU: line timing off and the time scale tiny, so that nothing waits; the process's
//   CPU time (every thread, the simulated hardware's included, so an upper bound on the
//   program's own) against the line time of the exchanges it made.
// - Real time: line timing on and the time scale 1, so that the line and the program's
//   own pauses take real time; the wall time against the line time plus the pauses the
//   protocol prescribes (discovery: the settle after the broadcast un-mute and the wait
//   after every DISC_UNIQUE_BRANCH; upload: the settle after the last packet).
// The CPU figures and the upload are repeated, each repetition on a rig booted afresh, and
// reported as their median, min and max over the repetitions; the timed discoveries (about
// 21 minutes) run once.
#include "bench/Spread.h"
#include "fixtures/QelProtocol.h"
#include "fixtures/QelRDM.h"
#include "images/BrevantImage.h"
#include "images/QelRDMImage.h"
#include "link/commands/CommManager.h"
#include "link/devices/Device.h"
#include "link/devices/RDMDevice.h"
#include "link/rdm/RDMProtocol.h"
#include "link/rdm/RdmDefs.h"
#include "link/transport/RdmWidget.h"
#include "machine/Machine.h"
#include "platform/system/Clock.h"
#include "sim/fixtures/QelFixture.h"
#include "sim/line/DmxLine.h"
#include "sim/line/LineFixture.h"
#include "sim/rig/Rig.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QThread>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// The time scale of the CPU runs: the program's pauses shrink to nothing, while every
// timeout keeps its real-time floor (Clock::TimeoutDuration).
constexpr double kNoWaitScale = 0.0001;

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double PeakMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// Counts the discovery branches the widget put on the line; answers nothing.
class BranchCounter : public sim::LineFixture
{
public:
    QByteArray OnRequest(const QByteArray& packet) override
    {
        const auto at = [&](int i) { return quint8(packet[i]); };
        if (packet.size() >= 24 && at(0) == 0xCC && at(20) == rdm::DiscoveryCommand &&
            (at(21) << 8 | at(22)) == rdm::PidDiscUniqueBranch)
            ++branches;
        return QByteArray();
    }
    std::atomic<int> branches{0};
};

QString Uid(quint64 uid)
{
    return QStringLiteral("%1:%2")
        .arg(rdm::UidHigh(uid), 4, 16, QLatin1Char('0'))
        .arg(rdm::UidLow(uid), 8, 16, QLatin1Char('0'));
}

// `count` fixtures of `kind`, their UIDs spread over the manufacturer's range, so that
// discovery has to split the range as it would on a real line.
QByteArray RigJson(const QString& kind, int count)
{
    QStringList fixtures;
    QRandomGenerator random{quint32(count)};
    for (int i = 0; i < count; ++i) {
        const quint64 uid = kind == QLatin1String("brevant") ? 0x7FF0'0000'0101ull + quint64(i)
                                                              : 0x4142'0000'0000ull + random.bounded(0x7FFF'FFFFu);
        fixtures << QStringLiteral(R"({ "kind": "%1", "uid": "%2" })").arg(kind, Uid(uid));
    }
    return QStringLiteral(R"({ "widgets": [ { "kind": "programmed", "version": [1, 2], "fixtures": [ %1 ] } ] })")
        .arg(fixtures.join(QStringLiteral(", ")))
        .toUtf8();
}

// A booted machine with the rig plugged in, and the program's CommManager on top of it,
// its widget in RDM mode.
class Rig
{
public:
    explicit Rig(const QByteArray& json)
    {
        machine::MachineOptions options;
        QString error;
        options.rig = sim::ParseRig(json, options.fixtureKinds, &error);
        if (options.rig)
            machine_ = machine::Machine::Boot(std::move(options), &error);
        if (!machine_ || machine_->Widgets().empty()) {
            std::fprintf(stderr, "bench_link: the rig did not boot: %s\n", qPrintable(error));
            return;
        }
        line_ = machine_->Widgets().front().hardware.line;
        counter_ = std::make_shared<BranchCounter>();
        line_->Attach(counter_);
        manager_ = CommManager::Instance();
        RdmWidget* widget = manager_->GetWidget();
        quint8 major = 0, minor = 0;
        QElapsedTimer waited;
        waited.start();
        while (widget && !widget->HasError() && !widget->GetVersion(major, minor) && waited.elapsed() < 10000) {
            QCoreApplication::processEvents();
            QThread::msleep(1);
        }
        if (widget && widget->GetVersion(major, minor))
            ready_ = widget->SetMode(RdmWidget::kModeRdm);
    }
    ~Rig()
    {
        if (manager_)
            CommManager::DestroyInstance();
        machine_.reset();
    }

    bool Ready() const { return ready_; }
    sim::DmxLine& Line() { return *line_; }
    int Branches() const { return counter_->branches; }
    const std::vector<std::shared_ptr<sim::LineFixture>>& Fixtures() const
    {
        return machine_->Widgets().front().hardware.fixtures;
    }

private:
    std::unique_ptr<machine::Machine> machine_;
    std::shared_ptr<sim::DmxLine> line_;
    std::shared_ptr<BranchCounter> counter_;
    CommManager* manager_ = nullptr;
    bool ready_ = false;
};

// What a run saw: CPU, wall time and line time in microseconds, DISC_UNIQUE_BRANCH count.
struct Run
{
    double cpuUs = 0;
    double wallUs = 0;
    double lineUs = 0;
    int branches = 0;
};

template <class Work>
Run Measure(Rig& rig, Work work)
{
    const double cpu = CpuSeconds();
    const qint64 line = rig.Line().WireMicroseconds();
    const int branches = rig.Branches();
    QElapsedTimer wall;
    wall.start();
    work();
    Run run;
    run.wallUs = double(wall.nsecsElapsed()) / 1000.0;
    run.cpuUs = (CpuSeconds() - cpu) * 1e6;
    run.lineUs = double(rig.Line().WireMicroseconds() - line);
    run.branches = rig.Branches() - branches;
    return run;
}

// ---- one GET DEVICE_INFO -------------------------------------------------------------

void BM_GetDeviceInfo(benchmark::State& state)
{
    platform::ScopedTimeScale scale(kNoWaitScale);
    Rig rig(RigJson(QStringLiteral("rdm-responder"), 1));
    if (!rig.Ready()) {
        state.SkipWithError("no rig");
        return;
    }
    RDMProtocol protocol;
    RDMDevice fixture;
    fixture.SetUniqueId(rdm::UidLow(0), 0);
    {
        // The fixture's UID, found the program's way.
        QList<Device*> found;
        protocol.Discover(&found, nullptr);
        if (found.size() != 1) {
            state.SkipWithError("the fixture was not found");
            qDeleteAll(found);
            return;
        }
        fixture.SetUniqueId(rdm::UidLow(found[0]->GetUniqueId()), rdm::UidHigh(found[0]->GetUniqueId()));
        qDeleteAll(found);
    }
    Run total;
    bool ok = true;
    for (auto _ : state) {
        // The one exchange and its decoding (GetDeviceInfo goes on to the personality's
        // description, a second exchange).
        const Run run = Measure(rig, [&] {
            quint8 reply[64];
            int length = int(sizeof reply);
            ok = protocol.SendRequest(rdm::UidLow(fixture.GetUniqueId()), rdm::UidHigh(fixture.GetUniqueId()),
                                      rdm::GetCommand, rdm::PidDeviceInfo, nullptr, 0, reply, &length,
                                      nullptr) == rdm::ResponseAck &&
                 protocol.DecodeDeviceInfo(reply, length, &fixture) && ok;
        });
        total.cpuUs += run.cpuUs;
        total.lineUs += run.lineUs;
    }
    if (!ok)
        state.SkipWithError("GET DEVICE_INFO failed");
    const double n = double(state.iterations());
    state.counters["cpu_us"] = total.cpuUs / n;
    state.counters["line_us"] = total.lineUs / n;
    state.counters["cpu_per_line"] = total.cpuUs / total.lineUs;
}

// ---- discovery -----------------------------------------------------------------------

Run Discover(Rig& rig, int expected, bool* ok)
{
    return Measure(rig, [&] {
        RDMProtocol protocol;
        QList<Device*> found;
        protocol.Discover(&found, nullptr);
        *ok = *ok && found.size() == expected;
        qDeleteAll(found);
    });
}

void BM_DiscoveryCpu(benchmark::State& state)
{
    const int fixtures = int(state.range(0));
    platform::ScopedTimeScale scale(kNoWaitScale);
    Rig rig(RigJson(QStringLiteral("rdm-responder"), fixtures));
    if (!rig.Ready()) {
        state.SkipWithError("no rig");
        return;
    }
    Run total;
    bool ok = true;
    for (auto _ : state) {
        const Run run = Discover(rig, fixtures, &ok);
        total.cpuUs += run.cpuUs;
        total.lineUs += run.lineUs;
    }
    if (!ok)
        state.SkipWithError("discovery did not find every fixture");
    const double n = double(state.iterations());
    state.counters["cpu_ms"] = total.cpuUs / n / 1000.0;
    state.counters["line_ms"] = total.lineUs / n / 1000.0;
    state.counters["cpu_per_line"] = total.cpuUs / total.lineUs;
    state.counters["peak_MiB"] = PeakMiB();
}

void BM_DiscoveryTimed(benchmark::State& state)
{
    const int fixtures = int(state.range(0));
    platform::ScopedTimeScale scale(1.0);
    Rig rig(RigJson(QStringLiteral("rdm-responder"), fixtures));
    if (!rig.Ready()) {
        state.SkipWithError("no rig");
        return;
    }
    rig.Line().SetWireTiming(true);
    Run total;
    bool ok = true;
    for (auto _ : state) {
        const Run run = Discover(rig, fixtures, &ok);
        total.wallUs += run.wallUs;
        total.lineUs += run.lineUs;
        total.branches += run.branches;
        state.SetIterationTime(run.wallUs / 1e6);
    }
    if (!ok)
        state.SkipWithError("discovery did not find every fixture");
    const double n = double(state.iterations());
    const double waitsUs =
        (double(RDMProtocol::kUnMuteSettleMs) * n + double(RDMProtocol::kBranchReplyWaitMs) * total.branches) * 1000.0;
    state.counters["wall_ms"] = total.wallUs / n / 1000.0;
    state.counters["line_ms"] = total.lineUs / n / 1000.0;
    state.counters["waits_ms"] = waitsUs / n / 1000.0;
    state.counters["branches"] = double(total.branches) / n;
    state.counters["wall_per_line_waits"] = total.wallUs / (total.lineUs + waitsUs);
}

// ---- a 255-frame upload ----------------------------------------------------------------

std::unique_ptr<BrevantImage> FullImage()
{
    auto image = std::make_unique<BrevantImage>();
    QRandomGenerator random(11);
    for (int i = 1; i < BrevantImage::kPaletteSize; ++i)
        image->SetPaletteColor(i, LEDColor::FromRgb(random.generate()));
    for (int f = 0; f < 255; ++f) {
        BrevantImage::Frame frame;
        frame.duration = 40;
        for (auto& index : frame.indices)
            index = quint8(random.bounded(256));
        image->AddFrame(frame);
    }
    return image;
}

void BM_Upload255Frames(benchmark::State& state)
{
    const int fixtures = int(state.range(0));
    platform::ScopedTimeScale scale(1.0);
    Rig rig(RigJson(QStringLiteral("brevant"), fixtures));
    if (!rig.Ready()) {
        state.SkipWithError("no rig");
        return;
    }
    std::vector<std::unique_ptr<BrevantRDM>> devices;
    for (int i = 0; i < fixtures; ++i) {
        auto sim = std::dynamic_pointer_cast<sim::QelFixture>(rig.Fixtures()[std::size_t(i)]);
        sim->ModifyContent([](sim::QelContent& content) { content.folders[45].name = "Shows"; });
        devices.push_back(std::make_unique<BrevantRDM>());
        devices.back()->SetUniqueId(rdm::UidLow(0x7FF0'0000'0101ull + quint64(i)), 0x7FF0);
    }
    BrevantRDMImage record;
    if (!FullImage()->ToRDMImage(record)) {
        state.SkipWithError("no record");
        return;
    }
    QelProtocol* protocol = QelProtocol::Instance(devices.front().get());
    rig.Line().SetWireTiming(true);
    Run total;
    bool ok = true;
    for (auto _ : state) {
        const Run run = Measure(rig, [&] {
            if (fixtures == 1) {
                ok = protocol->UploadContent(devices.front().get(), 45, 3, &record, nullptr) && ok;
            } else {
                QList<QelRDM*> targets;
                for (const auto& device : devices)
                    targets.append(device.get());
                ok = protocol->MultiUploadContent(targets, 45, 3, &record, nullptr) && targets.size() == fixtures && ok;
            }
        });
        total.wallUs += run.wallUs;
        total.cpuUs += run.cpuUs;
        total.lineUs += run.lineUs;
        state.SetIterationTime(run.wallUs / 1e6);
    }
    if (!ok)
        state.SkipWithError("the upload failed");
    const double n = double(state.iterations());
    const double waitsUs = double(QelProtocol::kSettleMs) * 1000.0 * n;
    state.counters["bytes"] = double(record.Flatten().size());
    state.counters["wall_ms"] = total.wallUs / n / 1000.0;
    state.counters["cpu_ms"] = total.cpuUs / n / 1000.0;
    state.counters["line_ms"] = total.lineUs / n / 1000.0;
    state.counters["waits_ms"] = waitsUs / n / 1000.0;
    state.counters["wall_per_line_waits"] = total.wallUs / (total.lineUs + waitsUs);
}

} // namespace

BENCHMARK(BM_GetDeviceInfo)
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(2000)
    ->MeasureProcessCPUTime()
    ->Apply(bench::WithSpread<10>);
BENCHMARK(BM_DiscoveryCpu)
    ->Arg(1)
    ->Arg(20)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->MeasureProcessCPUTime()
    ->Apply(bench::WithSpread<10>);
BENCHMARK(BM_DiscoveryTimed)->Arg(1)->Arg(20)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();
BENCHMARK(BM_Upload255Frames)
    ->Arg(1)
    ->Arg(10)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseManualTime()
    ->Apply(bench::WithSpread<5>);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return EXIT_SUCCESS;
}
