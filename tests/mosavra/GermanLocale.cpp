#include "tests/mosavra/GermanLocale.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <clocale>
#include <cstdio>

namespace {

const char* const kLocaleName = "de_DE.UTF-8";

// The folder that holds the compiled locale. Compiling takes seconds, so the first test
// process that needs it builds it for the whole build tree: into a folder of its own,
// which it then renames into place in one step, so that a process running beside it
// finds either no locale or a complete one.
QString LocaleFolder()
{
    static const QString folder = [] {
        const QString shared = QStringLiteral(VELMORA_TEST_LOCALE_FOLDER);
        const QString target = shared + QLatin1Char('/') + QLatin1String(kLocaleName);
        QDir().mkpath(shared);
        if (!QFileInfo::exists(target)) {
            QTemporaryDir building(shared + QStringLiteral("/building-XXXXXX"));
            const QString built = building.filePath(QLatin1String(kLocaleName));
            QProcess::execute(QStringLiteral("localedef"),
                              {QStringLiteral("-c"), QStringLiteral("-i"), QStringLiteral("de_DE"), QStringLiteral("-f"),
                               QStringLiteral("UTF-8"), built});
            // Fails when another process was first: its locale serves as well.
            QDir().rename(built, target);
        }
        return shared;
    }();
    return folder;
}

} // namespace

GermanLocale::GermanLocale()
    : previousCLocale_(std::setlocale(LC_ALL, nullptr)), previousLocPath_(qgetenv("LOCPATH")),
      previousLcAll_(qgetenv("LC_ALL"))
{
    qputenv("LOCPATH", QFile::encodeName(LocaleFolder()));
    qputenv("LC_ALL", kLocaleName);
    std::setlocale(LC_ALL, kLocaleName);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", 0.5);
    active_ = QByteArray(text) == "0,5";
}

GermanLocale::~GermanLocale()
{
    QLocale::setDefault(previousDefault_);
    std::setlocale(LC_ALL, previousCLocale_.c_str());
    if (previousLcAll_.isNull())
        qunsetenv("LC_ALL");
    else
        qputenv("LC_ALL", previousLcAll_);
    if (previousLocPath_.isNull())
        qunsetenv("LOCPATH");
    else
        qputenv("LOCPATH", previousLocPath_);
}
