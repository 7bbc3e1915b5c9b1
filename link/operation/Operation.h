#pragma once

#include <QObject>
#include <QString>

class IFeedback;

// A long piece of work that the operation dialog runs on a worker thread. The content
// operations derive from it.
//
// Run's answer is a step result: 0 success, 1 failure, 2 cancelled.
class Operation : public QObject
{
    Q_OBJECT
public:
    enum StepResult { Success = 0, Failure = 1, Cancelled = 2 };

    explicit Operation(QObject* parent = nullptr) : QObject(parent) {}

    // The title of the operation's progress dialog.
    virtual QString Title() = 0;
    // Carries the operation out on the calling (worker) thread, reporting to `feedback`.
    virtual int Run(IFeedback* feedback) = 0;
};
