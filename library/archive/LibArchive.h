#pragma once

// Internal to library/archive: the few libarchive steps that the index, the reading
// stream and the writing stream share.

#include <QString>

#include <memory>

struct archive;
struct archive_entry;

namespace ArchiveLibInterface {

struct ReadHandleDeleter
{
    void operator()(archive* handle) const;
};
using ReadHandle = std::unique_ptr<archive, ReadHandleDeleter>;

// A read handle on a gzip-compressed (or plain) tar file, block size 16384; null when the
// file cannot be opened as such.
ReadHandle OpenArchiveForReading(const QString& archiveFile);

// The member path of a header as the archive spells it. Names are taken as UTF-8 whatever
// the process locale is: the raw header bytes when they are valid UTF-8 (ustar and GNU
// archives, and what libarchive hands out in a UTF-8 locale), else libarchive's own
// UTF-8 form (pax names converted to a non-UTF-8 locale).
QString EntryPath(archive_entry* entry);

// libarchive's message for the last error on a handle, or a fallback.
QString ErrorText(archive* handle);

} // namespace ArchiveLibInterface
