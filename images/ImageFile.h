#pragma once

#include <QString>

class QelRDMImage;

// Where LED image files are opened: through the file layer, so that images inside
// packages ("Lib/p.qelpkg/f/a.bvi") load and save like plain files.

// Reads a whole record from the file at `path`; false when the file cannot be opened or
// does not hold a valid record of the record's family (the record is unchanged then).
bool ReadImageRecordFile(const QString& path, QelRDMImage& record);

// Writes the record's file form to `path` atomically: the file is replaced only once the
// whole record is written; on any failure the previous file is left as it was and the
// answer is false.
bool WriteImageRecordFile(const QString& path, const QelRDMImage& record);
