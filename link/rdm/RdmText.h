#pragma once

#include "link/feedback/Feedback.h"

#include <QString>

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

// A text answer: its 8-bit bytes up to the first zero byte (or all of them).
inline QString TextAnswer(const quint8* data, int length)
{
    int end = 0;
    while (end < length && data[end] != 0)
        ++end;
    return QString::fromLatin1(reinterpret_cast<const char*>(data), end);
}

} // namespace rdm
