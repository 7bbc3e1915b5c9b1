#include "tools/firmware_packages/FirmwarePackages.h"

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QSaveFile>

#include <archive.h>
#include <archive_entry.h>

#include <memory>

namespace firmware_packages {

namespace {

const char* FamilyStem(int family)
{
    return family == 0 ? "brevant" : "cindral";
}

// A board image: a header naming it, then code (a fixed pseudo-random sequence, so that
// every build makes the same bytes) with a gap of erased packets after the vector table
// and the erased last quarter of the flash.
QByteArray BoardImage(int family, const char* board, quint32 seed)
{
    constexpr int kVectorPackets = 4;
    constexpr int kGapPackets = 6;
    constexpr int kUsedPackets = kImagePackets * 3 / 4;
    QByteArray image(kImagePackets * kPacketSize, '\xFF');
    quint32 state = seed ^ quint32(family * 0x01000193);
    for (int p = 0; p < kUsedPackets; ++p) {
        if (p >= kVectorPackets && p < kVectorPackets + kGapPackets)
            continue;
        for (int i = 0; i < kPacketSize; ++i) {
            state = state * 1103515245u + 12345u;
            image[p * kPacketSize + i] = char(state >> 16);
        }
    }
    const QByteArray header = QByteArray("QRV ") + FamilyStem(family) + ' ' + board + '\0';
    image.replace(0, header.size(), header);
    return image;
}

// One file of a tar archive being written.
bool WriteMember(archive* out, const QString& name, const QByteArray& data)
{
    std::unique_ptr<archive_entry, decltype(&archive_entry_free)> entry(archive_entry_new(), &archive_entry_free);
    archive_entry_set_pathname(entry.get(), name.toUtf8().constData());
    archive_entry_set_filetype(entry.get(), AE_IFREG);
    archive_entry_set_perm(entry.get(), 0644);
    archive_entry_set_size(entry.get(), data.size());
    archive_entry_set_mtime(entry.get(), QDateTime::currentSecsSinceEpoch(), 0);
    if (archive_write_header(out, entry.get()) != ARCHIVE_OK)
        return false;
    return archive_write_data(out, data.constData(), size_t(data.size())) == la_ssize_t(data.size());
}

la_ssize_t WriteToFile(archive*, void* file, const void* buffer, size_t length)
{
    return la_ssize_t(static_cast<QSaveFile*>(file)->write(static_cast<const char*>(buffer), qint64(length)));
}

} // namespace

QString PackageFileName(int family)
{
    return QString::fromLatin1(FamilyStem(family)) + QStringLiteral(".qrvpkg");
}

QString MotionMember(int family)
{
    return QString::fromLatin1(FamilyStem(family)) + QStringLiteral("_motion.bin");
}

QString GraphicsMember(int family)
{
    return QString::fromLatin1(FamilyStem(family)) + QStringLiteral("_graphics.bin");
}

QString FpgaMember(int family)
{
    return QString::fromLatin1(FamilyStem(family)) + QStringLiteral("_fpga.bin");
}

QString ConfigMember(int family)
{
    return family == 0 ? QStringLiteral("Brevant_config.xml") : QStringLiteral("Cindral_config.xml");
}

QByteArray MotionImage(int family)
{
    return BoardImage(family, "motion", 0x6D6F7469u);
}

QByteArray GraphicsImage(int family)
{
    return BoardImage(family, "graphics", 0x67726170u);
}

QByteArray FpgaImage(int family)
{
    // An FPGA bit stream of our own: a sync word, then a pattern, 96 KiB in all.
    QByteArray image(96 * 1024, '\0');
    for (int i = 0; i < image.size(); ++i)
        image[i] = char((i * 37 + family * 11) ^ (i >> 8));
    image.replace(0, 4, QByteArray::fromHex("aa995566"));
    return image;
}

QByteArray Config(int family)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<firmware family=\"%1\">\n"
                          "  <motion version=\"%2\"/>\n"
                          "  <graphics version=\"%3\"/>\n"
                          "  <fpga version=\"%4\"/>\n"
                          "</firmware>\n")
        .arg(family == 0 ? QStringLiteral("BREVANT") : QStringLiteral("Cindral"))
        .arg(QLatin1String(kMotionVersion), QLatin1String(kGraphicsVersion))
        .arg(kFpgaVersion)
        .toUtf8();
}

bool WriteArchive(const QString& path, const QList<QPair<QString, QByteArray>>& members, QString* error)
{
    const auto fail = [&](const QString& reason) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, reason);
        return false;
    };
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    std::unique_ptr<archive, decltype(&archive_write_free)> out(archive_write_new(), &archive_write_free);
    if (!out || archive_write_add_filter_gzip(out.get()) != ARCHIVE_OK ||
        archive_write_set_format_ustar(out.get()) != ARCHIVE_OK ||
        archive_write_open2(out.get(), &file, nullptr, WriteToFile, nullptr, nullptr) != ARCHIVE_OK)
        return fail(QString::fromLocal8Bit(archive_error_string(out.get())));
    for (const auto& [name, data] : members)
        if (!WriteMember(out.get(), name, data))
            return fail(QString::fromLocal8Bit(archive_error_string(out.get())));
    if (archive_write_close(out.get()) != ARCHIVE_OK)
        return fail(QString::fromLocal8Bit(archive_error_string(out.get())));
    // The last bytes may still be in the file's buffer: a failure to write them must not
    // go unnoticed by the commit.
    if (!file.flush() || !file.commit())
        return fail(file.errorString());
    return true;
}

bool WritePackage(int family, const QString& dir, QString* error)
{
    return WriteArchive(dir + QLatin1Char('/') + PackageFileName(family),
                        {
                            {MotionMember(family), MotionImage(family)},
                            {GraphicsMember(family), GraphicsImage(family)},
                            {FpgaMember(family), FpgaImage(family)},
                            {ConfigMember(family), Config(family)},
                        },
                        error);
}

} // namespace firmware_packages
