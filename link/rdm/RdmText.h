#pragma once

#include "link/feedback/Feedback.h"
#include "link/rdm/RdmDefs.h"

#include <QString>

#include <iterator>

namespace rdm {

// A UID, PID or value as every RDM line writes it: lower-case hexadecimal, no leading
// zeros, no "0x" (the lines add it where they want it).
inline QString Hex(quint64 value)
{
    return QString::number(value, 16);
}

// Writes one line when there is a feedback to write to.
inline void Report(IFeedback* feedback, const QString& text, FeedbackStatus status)
{
    if (feedback)
        feedback->AddString(text, status);
}

// A NACK reason as the lines give it: its number, and E1.20's name for it when it has one
// ("6 (data out of range)").
inline QString NackReasonText(quint16 reason)
{
    static const char* const kNames[] = {
        "unknown PID",           "format error",  "hardware fault",
        "proxy reject",          "write protect", "unsupported command class",
        "data out of range",     "buffer full",   "packet size unsupported",
        "sub-device out of range", "proxy buffer full",
    };
    const QString number = QString::number(reason);
    if (reason < std::size(kNames))
        return QStringLiteral("%1 (%2)").arg(number, QLatin1String(kNames[reason]));
    if (reason == kNackBusy)
        return QStringLiteral("%1 (busy)").arg(number);
    return number;
}

// A text answer: its 8-bit bytes up to the first zero byte (or all of them).
inline QString TextAnswer(const quint8* data, int length)
{
    int end = 0;
    while (end < length && data[end] != 0)
        ++end;
    return QString::fromLatin1(reinterpret_cast<const char*>(data), end);
}

} // namespace rdm
