#include "tools/content_tool/ConsoleRunner.h"

#include "content/operations/ContentOperation.h"

#include <cstdio>

bool ConsoleRunner::operator()(ContentOperation& operation) const
{
    ConsoleFeedback feedback(*this);
    return operation.Run(&feedback) == 0 && !feedback.Failed();
}

void ConsoleRunner::Error(const QString& text) const
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(prefix_), qPrintable(text));
}

void ConsoleFeedback::AddString(QString text, FeedbackStatus status)
{
    if (status != FeedbackError)
        return;
    failed_ = true;
    runner_.Error(text);
}
