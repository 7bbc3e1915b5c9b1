// Writes the sample stock-content packages of both fixture families into a folder:
//   stock_content_gen <output folder>
#include "tools/stock_content/StockContent.h"

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
    for (int family = 0; family < StockContent::kFamilyCount; ++family) {
        const ArchiveResult written = StockContent::WritePackage(family, dir);
        if (!written) {
            std::fprintf(stderr, "%s\n", qPrintable(written.Message()));
            return 1;
        }
    }
    return 0;
}
