#include "library/archive/LibArchive.h"

#include <QFile>
#include <QStringDecoder>

#include <archive.h>
#include <archive_entry.h>

namespace ArchiveLibInterface {
namespace {

// libarchive reads the compressed file in blocks of this size.
constexpr size_t kReadBlockSize = 16384;

bool DecodeUtf8(const char* bytes, QString* text)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    *text = decoder.decode(QByteArrayView(bytes));
    return !decoder.hasError();
}

} // namespace

void ReadHandleDeleter::operator()(archive* handle) const
{
    archive_read_free(handle);
}

ReadHandle OpenArchiveForReading(const QString& archiveFile)
{
    ReadHandle handle(archive_read_new());
    if (!handle)
        return nullptr;
    archive_read_support_filter_gzip(handle.get());
    archive_read_support_format_tar(handle.get());
    if (archive_read_open_filename(handle.get(), QFile::encodeName(archiveFile).constData(), kReadBlockSize) !=
        ARCHIVE_OK)
        return nullptr;
    return handle;
}

QString EntryPath(archive_entry* entry)
{
    QString path;
    if (const char* raw = archive_entry_pathname(entry); raw && DecodeUtf8(raw, &path))
        return path;
    if (const char* utf8 = archive_entry_pathname_utf8(entry))
        return QString::fromUtf8(utf8);
    const char* raw = archive_entry_pathname(entry);
    return raw ? QString::fromUtf8(raw) : QString();
}

QString ErrorText(archive* handle)
{
    const char* text = handle ? archive_error_string(handle) : nullptr;
    return text ? QString::fromLocal8Bit(text) : QStringLiteral("unknown archive error");
}

} // namespace ArchiveLibInterface
