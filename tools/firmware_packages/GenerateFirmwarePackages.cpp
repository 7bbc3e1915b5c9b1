// Writes the sample firmware packages of both LED families into a folder:
//   firmware_packages_gen <output folder>
#include "tools/firmware_packages/FirmwarePackages.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "%s: cannot make the folder\n", argv[1]);
        return 1;
    }
    for (int family = 0; family < firmware_packages::kFamilyCount; ++family) {
        QString error;
        if (!firmware_packages::WritePackage(family, dir, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
    }
    return 0;
}
