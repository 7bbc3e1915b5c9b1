#include "images/ImageFile.h"

#include "images/QelRDMImage.h"
#include "library/archive/FileLayer.h"

bool ReadImageRecordFile(const QString& path, QelRDMImage& record)
{
    // The record reads its frames in one call, so no buffer between it and the file.
    FileLayer::File file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    return record.ReadFrom(file);
}

bool WriteImageRecordFile(const QString& path, const QelRDMImage& record)
{
    // The record writes its header and its frames in a call each: no buffer is needed.
    FileLayer::File file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    // A write that does not take all its bytes spoils the file, so Close() then keeps the
    // previous file (or fails the package being written) and says so.
    const bool written = record.WriteTo(file);
    const ArchiveResult closed = file.Close();
    if (!closed)
        qWarning("%s", qPrintable(closed.Message()));
    return written && closed.Ok();
}
