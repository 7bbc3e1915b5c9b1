// Writes the sample lamp firmware images of the given model-table rows into a folder:
//   lamp_firmware_gen <output folder> <row>...
#include "tools/lamp_firmware/LampFirmware.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <output folder> <row>...\n", argv[0]);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "%s: cannot make the folder\n", argv[1]);
        return 1;
    }
    for (int i = 2; i < argc; ++i) {
        bool number = false;
        const int row = QString::fromLocal8Bit(argv[i]).toInt(&number);
        QString error;
        if (!number || !lamp_firmware::Write(row, dir, &error)) {
            std::fprintf(stderr, "%s: %s\n", argv[i], number ? qPrintable(error) : "not a row number");
            return 1;
        }
    }
    return 0;
}
