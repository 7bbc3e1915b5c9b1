#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUuid>

class CommManager;

// The device commands, queued or running, that must not be cut short: those that write
// to a fixture or a library (Command::InterruptsSafely is false). The window asks before
// it quits while there are any.
//
// Follows whichever command queue exists when it is made, from the moment it is made, and
// forgets everything when that queue goes. Commands are queued on the GUI thread, so each
// is seen while it still waits. GUI thread.
class PendingDeviceChanges : public QObject
{
    Q_OBJECT
public:
    explicit PendingDeviceChanges(QObject* parent = nullptr);

    bool IsEmpty() const { return pending_.isEmpty(); }
    // The name of the one running now, or else of the next one due; empty when there is none.
    QString Current() const;

private:
    void OnQueued(const QUuid& id);
    void OnExecuting(const QUuid& id);
    void OnCompleted(const QUuid& id);
    void Forget();

    struct Entry
    {
        QUuid id;
        QString name;
    };
    QPointer<CommManager> manager_;
    QList<Entry> pending_;  // in queue order
    QUuid running_;
};
