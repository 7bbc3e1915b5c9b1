#include "images/ImageFile.h"

#include "images/QelRDMImage.h"
#include "library/archive/FileLayer.h"

bool ReadImageRecordFile(const QString& path, QelRDMImage& record)
{
    FileLayer::File file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return record.ReadFrom(file);
}

bool WriteImageRecordFile(const QString& path, const QelRDMImage& record)
{
    FileLayer::File file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // A write that does not take all its bytes spoils the file, so Close() then keeps the
    // previous file (or fails the package being written) and says so.
    const bool written = record.WriteTo(file);
    const ArchiveResult closed = file.Close();
    if (!closed)
        qWarning("%s", qPrintable(closed.Message()));
    return written && closed.Ok();
}
