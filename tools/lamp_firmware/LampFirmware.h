#pragma once

#include <QByteArray>
#include <QString>

// Sample firmware images of the lamp-fixture models, for the demo rig's lamps and the
// tests: our own bytes in the shape of a real image — a header naming the model, code,
// and stretches of erased flash (0xFF) that the models with the blank-packet rule leave
// out of an upload.
namespace lamp_firmware {

// The version the sample images carry in their file names.
inline constexpr const char* kVersion = "2.1.0";

// The image of model-table row `row`: its packet count × 256 bytes. Empty for a row the
// table does not have.
QByteArray Image(int row);

// The file name of that image: the row's file-name pattern with the version for its '*'
// ("tvs150*.bin" gives "tvs150-2.1.0.bin"). Empty for a row the table does not have.
QString FileName(int row);

// Writes the image of `row` into folder `dir` (which must exist); false, with the reason,
// when it cannot.
bool Write(int row, const QString& dir, QString* error);

} // namespace lamp_firmware
