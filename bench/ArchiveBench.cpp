// Speed and memory of package export and import against bsdtar on the same files: the
// sample package (tools/content_tool/SamplePackage.h: 20 folders × 50 full second-family
// images) is exported to a package archive and imported back into a fresh library, as the
// export and import actions run them; bsdtar -czf packs the package's folder on disk and
// bsdtar -xzf unpacks the program's archive. Ours and bsdtar's run in turns, pair by pair;
// the figures are each side's median wall and CPU time, the ratio ours ÷ bsdtar taken within
// each pair as median, minimum and maximum over the pairs, and each side's peak resident
// memory during its own run (ours: what the run added to the process at its peak). Every
// import starts cold: no archive index, and so no member it set aside, is left from the
// export or the import before.
#include "bench/Spread.h"
#include "library/archive/ArchiveIndex.h"
#include "library/archive/CustomFileSystemEngineHandler.h"
#include "library/archive/FileLayer.h"
#include "library/PackageTransfer.h"
#include "library/user/ContentLibraryRoot.h"
#include "tools/content_tool/ConsoleRunner.h"
#include "tools/content_tool/SamplePackage.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

extern char** environ;

namespace {

constexpr int kPairs = 10;

QTemporaryDir& WorkDir()
{
    static QTemporaryDir dir;
    return dir;
}

QString WorkPath(const QString& name)
{
    return WorkDir().filePath(name);
}

const ConsoleRunner RunHere(QStringLiteral("bench_archive"));

bool Succeeded(const ArchiveResult& result)
{
    if (!result.Ok())
        RunHere.Error(result.Message());
    return result.Ok();
}

void DeleteLaterNodes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Starts the count of the process's peak resident memory (VmHWM) afresh.
void ResetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// A memory line of /proc/self/status ("VmHWM", "VmRSS") in MiB.
double StatusMiB(const QByteArray& field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

double CpuSeconds(const rusage& usage)
{
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double SelfCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return CpuSeconds(usage);
}

struct Sample
{
    double wallS = 0;
    double cpuS = 0;
    double peakMiB = 0;
    double startMiB = 0; // resident at the start (ours only)
    bool ok = true;
};

// Runs bsdtar with `arguments` and waits for it: its wall and CPU time and its own peak
// memory. It runs under time(1), which reports the peak of bsdtar alone: a child started
// straight from this process would be charged this process's peak, which it shared until
// its exec. What it prints (a warning for every member whose name starts with '/', such as
// the package's folders) is shown only when it fails.
Sample RunBsdtar(const QStringList& arguments)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("bsdtar"));
    const QString peakFile = WorkPath(QStringLiteral("bsdtar-peak"));
    const QByteArray outputFile = WorkPath(QStringLiteral("bsdtar-output")).toLocal8Bit();
    posix_spawn_file_actions_t output;
    posix_spawn_file_actions_init(&output);
    posix_spawn_file_actions_addopen(&output, STDOUT_FILENO, outputFile.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&output, STDOUT_FILENO, STDERR_FILENO);
    std::vector<QByteArray> storage{"/usr/bin/time", "-f", "%M", "-o", peakFile.toLocal8Bit(), program.toLocal8Bit()};
    for (const QString& argument : arguments)
        storage.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& bytes : storage)
        argv.push_back(bytes.data());
    argv.push_back(nullptr);
    Sample sample;
    QElapsedTimer wall;
    wall.start();
    pid_t child = 0;
    const bool started = !program.isEmpty() && posix_spawn(&child, argv[0], &output, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&output);
    if (!started) {
        sample.ok = false;
        return sample;
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    sample.wallS = double(wall.nsecsElapsed()) / 1e9;
    sample.cpuS = CpuSeconds(usage);
    QFile peak(peakFile);
    sample.peakMiB = peak.open(QIODevice::ReadOnly) ? peak.readAll().trimmed().toDouble() / 1024.0 : 0;
    sample.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    QFile printed(QString::fromLocal8Bit(outputFile));
    if (!sample.ok && printed.open(QIODevice::ReadOnly))
        std::fprintf(stderr, "%s", printed.readAll().constData());
    return sample;
}

template <class Work>
Sample RunOurs(Work work)
{
    DeleteLaterNodes();
    // Free memory the allocator still keeps from earlier work goes back to the system
    // first: reused, it would hide what the run holds.
    malloc_trim(0);
    ResetPeak();
    Sample sample;
    const double resident = StatusMiB("VmRSS");
    sample.startMiB = resident;
    const double cpu = SelfCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    sample.ok = work();
    DeleteLaterNodes();
    sample.wallS = double(wall.nsecsElapsed()) / 1e9;
    sample.cpuS = SelfCpuSeconds() - cpu;
    // What the work added to the process at its peak: the library it reads is resident
    // before it starts.
    sample.peakMiB = StatusMiB("VmHWM") - resident;
    return sample;
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// The library with the sample package, and the package's folder on disk.
struct Library
{
    std::unique_ptr<ContentLibraryRoot> root;
    ContentFolder* package = nullptr;
    QString packageDir;
    qint64 bytes = 0;
};

Library& TheLibrary()
{
    static Library library = [] {
        Library made;
        const QString rootPath = WorkPath(QStringLiteral("lib"));
        QDir().mkpath(rootPath);
        made.root = std::make_unique<ContentLibraryRoot>(rootPath);
        ConsoleFeedback feedback(RunHere);
        made.package = SamplePackage::Make(made.root.get(), &feedback);
        made.packageDir = QDir(rootPath).filePath(SamplePackage::kName);
        QDirIterator files(made.packageDir, QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            files.next();
            made.bytes += files.fileInfo().size();
        }
        return made;
    }();
    return library;
}

// Sets name_min, name (the median) and name_max.
void SetSpread(benchmark::State& state, const std::string& name, const std::vector<double>& values)
{
    state.counters[name + "_min"] = bench::Smallest(values);
    state.counters[name] = Median(values);
    state.counters[name + "_max"] = bench::Largest(values);
}

void Report(benchmark::State& state, const std::vector<Sample>& ours, const std::vector<Sample>& tar)
{
    std::vector<double> ow, oc, om, tw, tc, tm, rw, rc;
    for (size_t pair = 0; pair < ours.size() && pair < tar.size(); ++pair) {
        const Sample& o = ours[pair];
        const Sample& t = tar[pair];
        ow.push_back(o.wallS);
        oc.push_back(o.cpuS);
        om.push_back(o.peakMiB);
        tw.push_back(t.wallS);
        tc.push_back(t.cpuS);
        tm.push_back(t.peakMiB);
        rw.push_back(o.wallS / t.wallS);
        rc.push_back(t.cpuS > 0 ? o.cpuS / t.cpuS : 0);
    }
    state.counters["pairs"] = double(rw.size());
    state.counters["ours_ms"] = Median(ow) * 1000;
    state.counters["bsdtar_ms"] = Median(tw) * 1000;
    SetSpread(state, "wall_ratio", rw);
    state.counters["ours_cpu_ms"] = Median(oc) * 1000;
    state.counters["bsdtar_cpu_ms"] = Median(tc) * 1000;
    SetSpread(state, "cpu_ratio", rc);
    state.counters["ours_peak_MiB"] = Median(om);
    state.counters["bsdtar_peak_MiB"] = Median(tm);
    state.counters["library_MiB"] = double(TheLibrary().bytes) / (1024.0 * 1024.0);
}

void BM_PackageExport(benchmark::State& state)
{
    Library& library = TheLibrary();
    if (!library.package) {
        state.SkipWithError("no library");
        return;
    }
    const QString archive = WorkPath(QStringLiteral("Show.qelpkg"));
    const QString tarball = WorkPath(QStringLiteral("Show.tar.gz"));
    std::vector<Sample> ours, tar;
    for (auto _ : state) {
        for (int pair = 0; pair < kPairs; ++pair) {
            ours.push_back(RunOurs([&] { return Succeeded(PackageTransfer::ExportPackage(library.package, archive, RunHere)); }));
            tar.push_back(RunBsdtar({QStringLiteral("-czf"), tarball, QStringLiteral("-C"), library.packageDir,
                                     QStringLiteral(".")}));
            if (!ours.back().ok || !tar.back().ok) {
                state.SkipWithError(ours.back().ok ? "bsdtar failed" : "the export failed");
                return;
            }
        }
    }
    Report(state, ours, tar);
    state.counters["archive_MiB"] = double(QFileInfo(archive).size()) / (1024.0 * 1024.0);
}

void BM_PackageImport(benchmark::State& state)
{
    Library& library = TheLibrary();
    const QString archive = WorkPath(QStringLiteral("Show.qelpkg"));
    if (!library.package || !Succeeded(PackageTransfer::ExportPackage(library.package, archive, RunHere))) {
        state.SkipWithError("no archive");
        return;
    }
    std::vector<Sample> ours, tar;
    std::vector<double> kept;
    QStringList made;
    int run = 0;
    for (auto _ : state) {
        for (int pair = 0; pair < kPairs; ++pair, ++run) {
            const QString into = WorkPath(QStringLiteral("import%1").arg(run));
            QDir().mkpath(into);
            made.append(into);
            double resident = 0;
            // Cold: the export before it, or the import before, left the archive's index
            // and the members it set aside in the process-wide cache.
            ArchiveLibInterface::ArchiveIndexCache::Clear();
            ours.push_back(RunOurs([&] {
                ContentLibraryRoot root(into);
                const bool imported = Succeeded(PackageTransfer::ImportPackage(archive, &root, RunHere));
                DeleteLaterNodes();
                // What the library holds once the import is over: the new package.
                resident = StatusMiB("VmRSS");
                return imported;
            }));
            kept.push_back(resident - ours.back().startMiB);
            const QString unpacked = WorkPath(QStringLiteral("unpacked%1").arg(run));
            QDir().mkpath(unpacked);
            made.append(unpacked);
            tar.push_back(RunBsdtar({QStringLiteral("-xzf"), archive, QStringLiteral("-C"), unpacked}));
            if (!ours.back().ok || !tar.back().ok) {
                state.SkipWithError(ours.back().ok ? "bsdtar failed" : "the import failed");
                break;
            }
        }
    }
    // The unpacked files go only after the last pair: ext4 without a journal (this
    // machine's) passes over every inode freed in the last minute (six while the inode
    // table is not yet on disk) when it makes a new one, so a run made right after the
    // previous one's 1,000 files were removed would pay for that removal, not its own work.
    for (const QString& dir : made)
        QDir(dir).removeRecursively();
    if (run == kPairs) {
        Report(state, ours, tar);
        state.counters["ours_kept_MiB"] = Median(kept);
    }
}

// The archive layer alone, without the content model (whose nodes hold the images they
// copy): every file of the library's package folder is written into a package through the
// file layer, one at a time from disk, and then every member is read back through it from
// a fresh index. Memory added at the peak of each, against the largest member.
void BM_ArchiveLayerMemory(benchmark::State& state)
{
    Library& library = TheLibrary();
    if (!library.package) {
        state.SkipWithError("no library");
        return;
    }
    QStringList members;
    qint64 largest = 0;
    QDirIterator files(library.packageDir, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString file = files.next();
        members.append(QDir(library.packageDir).relativeFilePath(file));
        largest = qMax(largest, files.fileInfo().size());
    }
    const QString archive = WorkPath(QStringLiteral("Layer.qelpkg"));
    Sample written, read;
    for (auto _ : state) {
        written = RunOurs([&] {
            CustomFileSystemEngineHandler::ArchiveWriterEnabler writing(archive);
            for (const QString& member : members) {
                QFile source(QDir(library.packageDir).filePath(member));
                FileLayer::File target(archive + QLatin1Char('/') + member);
                if (!source.open(QIODevice::ReadOnly) || !target.open(QIODevice::WriteOnly))
                    return false;
                const QByteArray bytes = source.readAll();
                if (target.write(bytes) != bytes.size() || !target.Close().Ok())
                    return false;
            }
            return Succeeded(writing.Commit());
        });
        ArchiveLibInterface::ArchiveIndexCache::Clear();
        read = RunOurs([&] {
            for (const QString& member : members) {
                FileLayer::File source(archive + QLatin1Char('/') + member);
                if (!source.open(QIODevice::ReadOnly) || source.readAll().isEmpty())
                    return false;
            }
            return true;
        });
        ArchiveLibInterface::ArchiveIndexCache::Clear();
        if (!written.ok || !read.ok) {
            state.SkipWithError("the archive layer failed");
            return;
        }
    }
    state.counters["members"] = double(members.size());
    state.counters["largest_member_KiB"] = double(largest) / 1024.0;
    state.counters["write_ms"] = written.wallS * 1000;
    state.counters["write_peak_MiB"] = written.peakMiB;
    state.counters["read_ms"] = read.wallS * 1000;
    state.counters["read_peak_MiB"] = read.peakMiB;
}

} // namespace

BENCHMARK(BM_PackageExport)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_PackageImport)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_ArchiveLayerMemory)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!WorkDir().isValid())
        return EXIT_FAILURE;
    // The program's storage folders go to the work folder: the user's stay untouched.
    qputenv("VELMORA_DOCUMENTS", WorkPath(QStringLiteral("Documents")).toUtf8());
    qputenv("VELMORA_APPDATA", WorkPath(QStringLiteral("AppData")).toUtf8());
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    TheLibrary().root.reset();
    DeleteLaterNodes();
    return EXIT_SUCCESS;
}
