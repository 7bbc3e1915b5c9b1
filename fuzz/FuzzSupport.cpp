#include "fuzz/FuzzSupport.h"

#include "platform/system/Clock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace fuzz {

namespace {

QString& SeedFolder()
{
    static QString folder;
    return folder;
}

QTemporaryDir& ScratchDir()
{
    // tmpfs keeps the targets that go through files fast.
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/velmora-fuzz-XXXXXX")
                                                                         : QDir::tempPath() + QStringLiteral("/velmora-fuzz-XXXXXX"));
    return dir;
}

} // namespace

QString Scratch()
{
    Require(ScratchDir().isValid(), "a scratch folder");
    return ScratchDir().path();
}

QString ScratchPath(const QString& name)
{
    return Scratch() + QLatin1Char('/') + name;
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    Require(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size(),
            "the input written to a file");
}

void ClearScratch()
{
    QDir dir(Scratch());
    for (const QFileInfo& entry : dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
        if (entry.isDir() && !entry.isSymLink())
            QDir(entry.absoluteFilePath()).removeRecursively();
        else
            QFile::remove(entry.absoluteFilePath());
    }
}

void Seed(const QString& name, const QByteArray& bytes)
{
    Require(!SeedFolder().isEmpty(), "seeds written only in seed mode");
    WriteFile(SeedFolder() + QLatin1Char('/') + name, bytes);
}

void Require(bool holds, const char* what)
{
    if (holds)
        return;
    std::fprintf(stderr, "velmora fuzz: broken promise: %s\n", what);
    std::abort();
}

std::uint8_t Input::Byte()
{
    return Empty() ? 0 : data_[position_++];
}

std::uint16_t Input::U16()
{
    const std::uint16_t high = Byte();
    return std::uint16_t(high << 8 | Byte());
}

QByteArray Input::Bytes(std::size_t count)
{
    const std::size_t n = std::min(count, Left());
    QByteArray bytes(reinterpret_cast<const char*>(data_ + position_), qsizetype(n));
    position_ += n;
    return bytes;
}

QByteArray Input::Chunk()
{
    return Bytes(Byte());
}

QByteArray Input::Rest()
{
    return Bytes(Left());
}

InputWriter& InputWriter::Byte(std::uint8_t value)
{
    data_.append(char(value));
    return *this;
}

InputWriter& InputWriter::U16(std::uint16_t value)
{
    return Byte(std::uint8_t(value >> 8)).Byte(std::uint8_t(value));
}

InputWriter& InputWriter::Bytes(const QByteArray& bytes)
{
    data_.append(bytes);
    return *this;
}

InputWriter& InputWriter::Chunk(const QByteArray& bytes)
{
    Require(bytes.size() < 256, "a chunk of at most 255 bytes");
    return Byte(std::uint8_t(bytes.size())).Bytes(bytes);
}

} // namespace fuzz

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Every wait of the system is a virtual one: the simulated far ends answer at once.
    platform::Clock::SetScale(1e-6);
    static auto* application = new QCoreApplication(*argc, *argv);
    Q_UNUSED(application);
    // The engines' warnings would drown libFuzzer's own report.
    qSetMessagePattern(QString());
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtFatalMsg) {
            std::fprintf(stderr, "%s\n", qPrintable(message));
            std::abort();
        }
    });
    fuzz_target::Setup();
    const QByteArray seeds = qgetenv("VELMORA_FUZZ_SEEDS");
    if (!seeds.isEmpty()) {
        fuzz::SeedFolder() = QString::fromLocal8Bit(seeds);
        QDir(fuzz::SeedFolder()).removeRecursively();
        QDir().mkpath(fuzz::SeedFolder());
        fuzz_target::WriteSeeds();
        std::exit(0);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz_target::Run(data, size);
    return 0;
}
