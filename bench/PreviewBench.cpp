// What an animated folder preview costs: the "Preview" tab of a folder view over 255
// animated first-family images, every tile playing, on the offscreen platform (which paints
// into memory as a screen would). Measures the process's CPU time per second of playing, and
// the process's peak memory.
#include "app/views/ContentFolderPreview.h"
#include "app/views/ContentFolderView.h"
#include "app/views/ContentPreview.h"
#include "bench/Spread.h"
#include "images/ui/PreviewItem.h"
#include "images/BrevantImage.h"
#include "platform/system/Clock.h"
#include "tools/screenshots/ShowcaseFolder.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <ctime>

namespace {

constexpr int kTiles = 255;
constexpr int kFrames = 24;
constexpr int kFrameMs = 40; // 25 frames a second
constexpr int kPlayMs = 10000;

double ProcessCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Peak resident memory of the process so far, in MiB.
double PeakMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

void BM_PreviewAnimated255Tiles(benchmark::State& state)
{
    ShowcaseFolder folder(QStringLiteral("Bench"));
    for (int i = 0; i < kTiles; ++i)
        folder.Adopt(ShowcaseImage(QStringLiteral("Image %1").arg(i), i + 1, kFrames, kFrameMs, i).release());
    ContentFolderView view;
    view.setCurrentIndex(1); // "Preview"
    view.resize(1000, 700);
    view.show();
    view.SetFolder(&folder);
    QCoreApplication::processEvents();
    // Every step of every tile, to tell a slow machine (fewer steps) from a costly one.
    long steps = 0;
    ContentPreview* scene = view.Preview()->Preview();
    for (int row = 0; row < scene->ItemCount(); ++row)
        if (auto* tile = dynamic_cast<LEDImageItem*>(scene->Item(row)))
            QObject::connect(&tile->StepTimer(), &QTimer::timeout, [&steps] { ++steps; });

    for (auto _ : state) {
        steps = 0;
        const double cpuBefore = ProcessCpuSeconds();
        QEventLoop loop;
        QTimer::singleShot(kPlayMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
        const double cpu = ProcessCpuSeconds() - cpuBefore;
        const double seconds = kPlayMs / 1000.0;
        state.counters["cpu_per_s"] = cpu / seconds;
        state.counters["steps_per_s"] = double(steps) / seconds;
        state.counters["cpu_us_per_step"] = steps ? cpu * 1e6 / double(steps) : 0.0;
        state.counters["peak_MiB"] = PeakMiB();
    }
    view.SetFolder(nullptr);
}

} // namespace

// Each repetition shows the folder afresh; figures as median, min and max over them.
BENCHMARK(BM_PreviewAnimated255Tiles)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime()
    ->Apply(bench::WithSpread<5>);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
