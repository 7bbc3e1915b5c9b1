#pragma once

#include <QString>
#include <QtGlobal>

#include <mutex>

namespace ArchiveLibInterface {

// An append-only temporary file that keeps bytes out of memory: an archive being written
// keeps its closed members there, an archive's index the members it has read. The file
// has no name (it is unlinked as soon as it is made, or made without one), so it goes
// with the object, however the process ends.
//
// Thread-safe: appends are serialised; reads (pread) need no shared position and run
// side by side.
class SpillFile
{
public:
    SpillFile() = default;
    ~SpillFile();
    SpillFile(const SpillFile&) = delete;
    SpillFile& operator=(const SpillFile&) = delete;

    // Appends `length` bytes: where they begin in the file, or -1 when they could not all
    // be written (ErrorString() says why; the file is not made longer by a failed append).
    // The file is made by the first append, in QDir::tempPath().
    qint64 Append(const char* data, qint64 length);
    // Reads exactly `length` bytes from `offset`; false when the file holds fewer.
    bool ReadAt(qint64 offset, char* buffer, qint64 length) const;
    // How many bytes have been appended.
    qint64 Size() const;
    QString ErrorString() const;

private:
    bool OpenLocked();

    mutable std::mutex mutex_; // guards the members below, not reads
    int fd_ = -1;
    qint64 size_ = 0;
    QString error_;
};

} // namespace ArchiveLibInterface
