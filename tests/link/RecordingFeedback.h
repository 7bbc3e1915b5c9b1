#pragma once

#include "link/feedback/Feedback.h"

#include <QList>
#include <QStringList>

// An IFeedback that keeps every call, for tests to read back.
class RecordingFeedback : public IFeedback
{
public:
    struct Line
    {
        QString text;
        FeedbackStatus status;
    };

    void AddString(QString text, FeedbackStatus status) override { lines.append({text, status}); }
    void SetTotal(int value) override { total = value; }
    void SetCurrent(int value) override { current = value; }
    void Finished(FeedbackResult value) override { results.append(value); }
    bool IsCancelled() override { return cancelled; }

    QStringList Texts() const
    {
        QStringList texts;
        for (const Line& line : lines)
            texts.append(line.text);
        return texts;
    }
    QStringList Texts(FeedbackStatus status) const
    {
        QStringList texts;
        for (const Line& line : lines)
            if (line.status == status)
                texts.append(line.text);
        return texts;
    }

    QStringList TextsStartingWith(const QString& start) const
    {
        QStringList texts;
        for (const Line& line : lines)
            if (line.text.startsWith(start))
                texts.append(line.text);
        return texts;
    }

    QList<Line> lines;
    QList<FeedbackResult> results;
    int total = -1;
    int current = -1;
    bool cancelled = false;
};
