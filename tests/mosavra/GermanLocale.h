#pragma once

#include <QByteArray>
#include <QLocale>
#include <QString>

#include <string>

// Runs the process under the German locale for its life: the C runtime (decimal comma
// for printf and scanf), the environment and Qt's default locale. The locale is built
// from the system's locale sources (the "locales" package) with localedef into the
// build tree when a test first needs it, so no locale has to be installed by hand.
// Restores everything afterwards.
class GermanLocale
{
public:
    GermanLocale();
    ~GermanLocale();
    GermanLocale(const GermanLocale&) = delete;
    GermanLocale& operator=(const GermanLocale&) = delete;

    // Whether the C runtime really writes a decimal comma now.
    bool Active() const { return active_; }

private:
    std::string previousCLocale_;
    QByteArray previousLocPath_;
    QByteArray previousLcAll_;
    QLocale previousDefault_;
    bool active_ = false;
};
