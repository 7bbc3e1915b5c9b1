// Speed and memory of the LED image pipeline inside one process: importing a 1080p video
// into a first-family image against decoding the same clip, GIF export of a full image,
// and the quantiser on a full image's colours. The import against ffmpeg itself, each a
// whole process, is bench/compare-video's.
#include "bench/Spread.h"
#include "images/BrevantImage.h"
#include "images/ImageStore.h"
#include "images/Palette.h"
#include "images/video/VideoFrames.h"
#include "images/video/VideoImport.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

namespace {

// The clip: 1920 × 1080, 25 frames/s, 10 s = 250 frames (the most an image holds is 255).
constexpr int kClipFrames = 250;

QTemporaryDir& WorkDir()
{
    static QTemporaryDir dir;
    return dir;
}

QString ClipPath()
{
    return WorkDir().filePath(QStringLiteral("clip1080p.mp4"));
}

bool MakeClip()
{
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::ForwardedChannels);
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc2=size=1920x1080:rate=25:duration=10",
                  "-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p", ClipPath()});
    return ffmpeg.waitForStarted(-1) && ffmpeg.waitForFinished(-1) && ffmpeg.exitStatus() == QProcess::NormalExit &&
           ffmpeg.exitCode() == 0;
}

double PeakMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// CPU seconds of this process, every thread (the decoder's joined ones included).
double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Timed
{
    double wallS = 0;
    double cpuS = 0;
};

// Wall and CPU seconds of one run of `work` into `timed`; false when it failed.
template <class Work>
bool Time(Timed& timed, Work work)
{
    const double cpu = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    const bool done = work();
    timed.wallS = double(wall.nsecsElapsed()) / 1e9;
    timed.cpuS = CpuSeconds() - cpu;
    return done;
}

// Takes the frames at `size` and drops them. An empty size asks for no pictures at all:
// the clip is only decoded.
class DroppingSink : public ImageSink
{
public:
    explicit DroppingSink(QSize size) : size_(size) {}
    bool PutFrame(const QImage&, int) override { return ++frames > 0; }
    QSize PreferredSize(QSize) const override { return size_; }
    int frames = 0;

private:
    QSize size_;
};

// One round, in turns: the import as a user gets it (VideoImport: the clip read into the
// import dialog's store, replayed into an importer, finished into an image), then its two
// yardsticks on the same clip in the same process and through the same decoder settings:
// the decode alone (what `ffmpeg -i clip -f null -` does), and the decode with each
// picture converted and scaled to the store's size and dropped (what ffmpeg's
// `-vf scale=512:288:flags=area -pix_fmt bgra -f null -` does). Each repetition is one
// round; the ratios are taken within the round.
void BM_VideoImportAndDecode1080p(benchmark::State& state)
{
    for (auto _ : state) {
        Timed import, decode, scaled;
        int storedFrames = 0;
        double storeMiB = 0;
        const bool imported = Time(import, [&] {
            VideoImport run;
            BrevantImage image;
            QString error;
            if (!run.Run(ClipPath(), image, &error)) {
                std::fprintf(stderr, "bench_images: %s\n", qPrintable(error));
                return false;
            }
            storedFrames = run.Store().FrameCount();
            for (const ImageStore::StoredFrame& frame : run.Store().Frames())
                storeMiB += double(frame.image.sizeInBytes()) / (1024.0 * 1024.0);
            return image.FrameCount() > 0;
        });
        DroppingSink decoded{QSize()};
        DroppingSink scaledFrames{ImageStore::StoredSize(QSize(1920, 1080), VideoImport::kStoredSide,
                                                         VideoImport::kStoredSide)};
        const bool decodedAll =
            Time(decode, [&] { return ReadVideoFrames(ClipPath(), VideoImport::kMaxFrames, decoded); }) &&
            Time(scaled, [&] { return ReadVideoFrames(ClipPath(), VideoImport::kMaxFrames, scaledFrames); });
        if (!imported || !decodedAll || storedFrames != kClipFrames || scaledFrames.frames != kClipFrames) {
            state.SkipWithError("the clip was not read whole");
            return;
        }
        state.SetIterationTime(import.wallS);
        state.counters["import_ms"] = import.wallS * 1000.0;
        state.counters["import_cpu_s"] = import.cpuS;
        state.counters["decode_ms"] = decode.wallS * 1000.0;
        state.counters["decode_cpu_s"] = decode.cpuS;
        state.counters["scaled_ms"] = scaled.wallS * 1000.0;
        state.counters["scaled_cpu_s"] = scaled.cpuS;
        state.counters["import_per_decode"] = import.wallS / decode.wallS;
        state.counters["import_per_decode_cpu"] = import.cpuS / decode.cpuS;
        state.counters["import_per_scaled"] = import.wallS / scaled.wallS;
        state.counters["import_per_scaled_cpu"] = import.cpuS / scaled.cpuS;
        // The process's peak so far, and what of it the store's frames take.
        state.counters["peak_MiB"] = PeakMiB();
        state.counters["store_MiB"] = storeMiB;
    }
}

BrevantImage& FullImage()
{
    static BrevantImage* image = [] {
        auto* made = new BrevantImage;
        QRandomGenerator random(7);
        for (int i = 0; i < 256; ++i)
            made->SetPaletteColor(i, LEDColor::FromRgb(random.generate()));
        for (int f = 0; f < 255; ++f) {
            BrevantImage::Frame frame;
            frame.duration = 40;
            for (auto& index : frame.indices)
                index = quint8(random.bounded(256));
            made->AddFrame(frame);
        }
        return made;
    }();
    return *image;
}

void BM_ExportGIF255Frames(benchmark::State& state)
{
    const int side = int(state.range(0));
    const QString out = WorkDir().filePath(QStringLiteral("export.gif"));
    for (auto _ : state) {
        if (!FullImage().ExportGIF(out, side, side)) {
            state.SkipWithError("export failed");
            return;
        }
    }
    state.counters["frames_per_s"] =
        benchmark::Counter(255.0 * double(state.iterations()), benchmark::Counter::kIsRate);
}

// 255 frames × 127 LEDs of colours that vary smoothly, as a video's do.
std::vector<QRgb> FullImageColours()
{
    std::vector<QRgb> colours;
    QRandomGenerator random(11);
    for (int f = 0; f < 255; ++f)
        for (int led = 0; led < 127; ++led)
            colours.push_back(qRgb((f + led) % 256, (2 * f + random.bounded(16)) % 256, (led * 2) % 256));
    return colours;
}

void BM_MedianCut255x127(benchmark::State& state)
{
    const std::vector<QRgb> colours = FullImageColours();
    std::vector<ColourTriple> triples;
    for (QRgb c : colours)
        triples.push_back({quint8(qRed(c)), quint8(qGreen(c)), quint8(qBlue(c))});
    for (auto _ : state) {
        std::vector<ColourTriple> work = triples;
        benchmark::DoNotOptimize(MedianCutQuantize(work, 252));
    }
}

void BM_BuildPaletteAndIndices255x127(benchmark::State& state)
{
    const std::vector<QRgb> colours = FullImageColours();
    const QRgb seeds[] = {0xff000000u, 0xffffffffu};
    for (auto _ : state) {
        const std::vector<QRgb> list = BuildPalette(seeds, colours, 254);
        int sum = 0;
        for (QRgb c : colours)
            sum += NearestPaletteIndex(list, c);
        benchmark::DoNotOptimize(sum);
    }
}

} // namespace

BENCHMARK(BM_VideoImportAndDecode1080p)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseManualTime()
    ->Apply(bench::WithSpread<10>);
BENCHMARK(BM_ExportGIF255Frames)->Arg(256)->Unit(benchmark::kMillisecond)->Iterations(1)->Apply(bench::WithSpread<5>);
BENCHMARK(BM_MedianCut255x127)->Unit(benchmark::kMicrosecond)->Apply(bench::WithSpread<5>);
BENCHMARK(BM_BuildPaletteAndIndices255x127)->Unit(benchmark::kMillisecond)->Apply(bench::WithSpread<5>);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (!WorkDir().isValid() || !MakeClip()) {
        std::fprintf(stderr, "bench_images: could not make the test clip with ffmpeg\n");
        return EXIT_FAILURE;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return EXIT_SUCCESS;
}
