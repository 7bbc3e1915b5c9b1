#include "images/ImageFile.h"

#include "images/QelRDMImage.h"

#include <QFile>
#include <QSaveFile>

bool ReadImageRecordFile(const QString& path, QelRDMImage& record)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return record.ReadFrom(file);
}

bool WriteImageRecordFile(const QString& path, const QelRDMImage& record)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // Flush before committing: commit() flushes the last buffered bytes itself but does
    // not notice when that write fails, and would put a truncated file in place.
    if (!record.WriteTo(file) || !file.flush()) {
        file.cancelWriting(); // the destructor then discards the temporary file
        return false;
    }
    return file.commit();
}
