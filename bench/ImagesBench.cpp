// Speed and memory of the LED image pipeline: importing a 1080p video into a first-family
// image (against ffmpeg's own palettegen/paletteuse pipeline on the same clip), GIF export
// of a full image, and the quantiser on a full image's colours.
#include "images/BrevantImage.h"
#include "images/ImageStore.h"
#include "images/LEDImageImporter.h"
#include "images/Palette.h"
#include "images/video/VideoFrames.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
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

// Runs ffmpeg with `arguments`. With `peakMiB`, under time(1), which reports the peak
// resident memory of ffmpeg alone (a child's own rusage would be charged this process's
// peak, which it shared until its exec).
bool RunTool(const QStringList& arguments, double* peakMiB = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const QStringList ffmpeg = QStringList{"ffmpeg", "-nostdin", "-v", "error", "-y"} + arguments;
    const QString peakFile = WorkDir().filePath(QStringLiteral("ffmpeg-peak"));
    if (peakMiB)
        process.start(QStringLiteral("/usr/bin/time"), QStringList{"-f", "%M", "-o", peakFile} + ffmpeg);
    else
        process.start(ffmpeg.first(), ffmpeg.mid(1));
    const bool ran = process.waitForStarted(-1) && process.waitForFinished(-1) &&
                     process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (ran && peakMiB) {
        QFile peak(peakFile);
        *peakMiB = peak.open(QIODevice::ReadOnly) ? peak.readAll().trimmed().toDouble() / 1024.0 : 0;
    }
    return ran;
}

bool MakeClip()
{
    return RunTool({"-f", "lavfi", "-i", "testsrc2=size=1920x1080:rate=25:duration=10", "-c:v", "libx264",
                    "-preset", "veryfast", "-pix_fmt", "yuv420p", ClipPath()});
}

// Peak resident memory of this process, or of its finished children, in MiB.
double PeakMiB(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// CPU seconds of this process (every thread), or of its finished children.
double CpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Counts frames and drops them: the decoder alone.
class CountingSink : public ImageSink
{
public:
    bool PutFrame(const QImage&, int) override { return ++frames > 0; }
    int frames = 0;
};

// The last import's figures per run, for the ratios BM_FFmpegDecode1080p prints beside its own.
struct ImportFigures
{
    double wallS = 0;
    double cpuS = 0;
    double beyondStoreMiB = 0;
} lastImport;

// The import as the import dialog runs it: the video into a store of frames at most
// 512 × 512, replayed into an importer, committed into an image.
void BM_VideoImport1080p(benchmark::State& state)
{
    int frames = 0;
    double storeMiB = 0;
    const double cpu = CpuSeconds(RUSAGE_SELF);
    QElapsedTimer wall;
    wall.start();
    for (auto _ : state) {
        ImageStore store(255, 512, 512);
        if (!ReadVideoFrames(ClipPath(), 255, store)) {
            state.SkipWithError("the clip could not be read");
            return;
        }
        LEDImageImporter<BrevantImage> importer(0, 0, -1, -1, 0, 0, 1, 0, 0, 0, 0, false, 0, 30, 0, 0);
        store.Replay(importer);
        BrevantImage image;
        importer.Finish(image);
        frames += store.FrameCount();
        storeMiB = 0;
        for (const ImageStore::StoredFrame& frame : store.Frames())
            storeMiB += double(frame.image.sizeInBytes()) / (1024.0 * 1024.0);
        benchmark::DoNotOptimize(image.FrameCount());
    }
    state.counters["frames_per_s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
    state.counters["cpu_s"] = (CpuSeconds(RUSAGE_SELF) - cpu) / double(state.iterations());
    state.counters["peak_MiB"] = PeakMiB(RUSAGE_SELF);
    // What the store's frames take: the import's peak less this is what decoding took
    // besides (compare the peak of ffmpeg's own decode, BM_FFmpegDecode1080p).
    state.counters["store_MiB"] = storeMiB;
    state.counters["beyond_store_MiB"] = PeakMiB(RUSAGE_SELF) - storeMiB;
    lastImport = {wall.elapsed() / 1000.0 / double(state.iterations()), (CpuSeconds(RUSAGE_SELF) - cpu) / double(state.iterations()),
                  PeakMiB(RUSAGE_SELF) - storeMiB};
}

void BM_VideoDecodeOnly1080p(benchmark::State& state)
{
    int frames = 0;
    for (auto _ : state) {
        CountingSink sink;
        ReadVideoFrames(ClipPath(), 255, sink);
        frames += sink.frames;
    }
    state.counters["frames_per_s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
}

// ffmpeg's own decode of the clip, default threads, every frame thrown away: the yardstick
// of the import.
void BM_FFmpegDecode1080p(benchmark::State& state)
{
    const double cpu = CpuSeconds(RUSAGE_CHILDREN);
    double peak = 0;
    QElapsedTimer wall;
    wall.start();
    for (auto _ : state) {
        double runPeak = 0;
        if (!RunTool({"-i", ClipPath(), "-f", "null", "-"}, &runPeak)) {
            state.SkipWithError("ffmpeg failed");
            return;
        }
        peak = std::max(peak, runPeak);
    }
    state.counters["frames_per_s"] =
        benchmark::Counter(double(kClipFrames) * double(state.iterations()), benchmark::Counter::kIsRate);
    const double cpuS = (CpuSeconds(RUSAGE_CHILDREN) - cpu) / double(state.iterations());
    state.counters["cpu_s"] = cpuS;
    state.counters["peak_MiB"] = peak;
    // The import against this decode, when BM_VideoImport1080p ran before it: its wall and
    // CPU time per run, and what it held beyond its store against ffmpeg's whole peak.
    if (lastImport.wallS > 0) {
        state.counters["import_wall_ratio"] = lastImport.wallS / (wall.elapsed() / 1000.0 / double(state.iterations()));
        state.counters["import_cpu_ratio"] = lastImport.cpuS / cpuS;
        state.counters["import_beyond_store_per_peak"] = lastImport.beyondStoreMiB / peak;
    }
}

// ffmpeg's own way to 256 colours on the same clip: scale to the store's 512 wide,
// build a palette over all frames, map every frame to it, write a GIF.
void BM_FFmpegPaletteGenUse1080p(benchmark::State& state)
{
    const QString out = WorkDir().filePath(QStringLiteral("ffmpeg.gif"));
    for (auto _ : state) {
        if (!RunTool({"-i", ClipPath(), "-filter_complex",
                      "[0:v]scale=512:288,split[a][b];[a]palettegen[p];[b][p]paletteuse", out})) {
            state.SkipWithError("ffmpeg failed");
            return;
        }
    }
    state.counters["frames_per_s"] =
        benchmark::Counter(double(kClipFrames) * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["peak_MiB"] = PeakMiB(RUSAGE_CHILDREN);
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

BENCHMARK(BM_VideoImport1080p)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_FFmpegDecode1080p)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_VideoDecodeOnly1080p)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_FFmpegPaletteGenUse1080p)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ExportGIF255Frames)->Arg(256)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MedianCut255x127)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BuildPaletteAndIndices255x127)->Unit(benchmark::kMillisecond);

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
