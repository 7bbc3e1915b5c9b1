#pragma once

#include <QString>

// The outcome of an archive operation whose failure the user must hear about (writing a
// package, closing a written file). A failure always carries a message fit to show.
class ArchiveResult
{
public:
    static ArchiveResult Success() { return ArchiveResult(true, QString()); }
    static ArchiveResult Failure(const QString& message) { return ArchiveResult(false, message); }

    bool Ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    // Empty on success.
    const QString& Message() const { return message_; }

private:
    ArchiveResult(bool ok, const QString& message) : ok_(ok), message_(message) {}

    bool ok_;
    QString message_;
};
