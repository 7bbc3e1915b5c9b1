#pragma once

#include "link/feedback/Feedback.h"

#include <QString>

class ContentOperation;

// Runs content operations on the calling thread, as the command-line tools and benchmarks
// of packages do, and writes their error lines to stderr, each after `prefix` and ": ".
// An operation succeeds when it answers success and reported no error.
class ConsoleRunner
{
public:
    explicit ConsoleRunner(const QString& prefix) : prefix_(prefix) {}

    bool operator()(ContentOperation& operation) const;

    // Writes one error line of the same form.
    void Error(const QString& text) const;

private:
    QString prefix_;
};

// The feedback of one such run; usable on its own for the library's own steps.
class ConsoleFeedback : public IFeedback
{
public:
    explicit ConsoleFeedback(const ConsoleRunner& runner) : runner_(runner) {}

    void AddString(QString text, FeedbackStatus status) override;
    void SetTotal(int) override {}
    void SetCurrent(int) override {}
    void Finished(FeedbackResult) override {}
    bool IsCancelled() override { return false; }

    bool Failed() const { return failed_; }

private:
    const ConsoleRunner& runner_;
    bool failed_ = false;
};
