#include "platform/system/Clock.h"
#include "tests/common/TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QSettings>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);

    const QString root = testing_env::TemporaryRoot();
    for (const char* folder : {"documents", "appdata", "settings"})
        QDir(root).mkpath(QString::fromLatin1(folder));
    qputenv("VELMORA_DOCUMENTS", QFile::encodeName(root + "/documents"));
    qputenv("VELMORA_APPDATA", QFile::encodeName(root + "/appdata"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, root + "/settings");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, root + "/settings");

    platform::Clock::SetScale(testing_env::kDefaultTimeScale);
    return RUN_ALL_TESTS();
}
