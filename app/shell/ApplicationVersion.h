#pragma once

#include <QString>

struct ApplicationVersion
{
    int major = 0;
    int minor = 0;
    int revision = 0;
    int build = 0;
};

// Fills `out` with the program's version and returns it.
ApplicationVersion* GetApplicationVersion(ApplicationVersion* out);

// "Velmora Version 1.4.1.614"
QString ApplicationVersionText();
