#include "app/shell/ApplicationVersion.h"

ApplicationVersion* GetApplicationVersion(ApplicationVersion* out)
{
    out->major = 1;
    out->minor = 4;
    out->revision = 1;
    out->build = 614;
    return out;
}

QString ApplicationVersionText()
{
    ApplicationVersion version;
    GetApplicationVersion(&version);
    return QStringLiteral("Velmora Version %1.%2.%3.%4")
        .arg(version.major)
        .arg(version.minor)
        .arg(version.revision)
        .arg(version.build);
}
