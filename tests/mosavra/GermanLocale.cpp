#include "tests/mosavra/GermanLocale.h"

#include "tests/common/TestEnvironment.h"

#include <QDir>
#include <QProcess>

#include <clocale>
#include <cstdio>

namespace {

const char* const kLocaleName = "de_DE.UTF-8";

// The folder that holds the compiled locale, built once per process.
QString LocaleFolder()
{
    static const QString folder = [] {
        const QString dir = testing_env::TemporaryRoot() + QStringLiteral("/locales");
        QDir().mkpath(dir);
        QProcess::execute(QStringLiteral("localedef"), {QStringLiteral("-c"), QStringLiteral("-i"), QStringLiteral("de_DE"),
                                                        QStringLiteral("-f"), QStringLiteral("UTF-8"),
                                                        dir + QLatin1Char('/') + QLatin1String(kLocaleName)});
        return dir;
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
