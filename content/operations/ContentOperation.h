#pragma once

#include "link/devices/DeviceManager.h"
#include "link/operation/Operation.h"

#include <QList>

#include <optional>

class ContentBase;
class ContentFolder;

// A long change of content across libraries and fixtures (copy, move, delete, re-address,
// synchronise), run by OperationDialog on a worker thread. An operation never changes a tree
// itself: every change goes through the asynchronous change operations of ContentFolder,
// one step routine at a time (content/operations/ContentSteps.h).
//
// Life: made on the GUI thread by whoever wants it (an action, a drop, a wizard), given its
// items and targets through its setters, asked IsValid and Title there, then run once with
// Run on the worker thread; the creator destroys it afterwards.
//
// Run answers a step result: 0 success, 1 failure, 2 cancelled. Failures are reported as
// texts with FeedbackError through the feedback.
//
// Fixtures: an operation holds a DeviceManager::RemovalHold from its construction to its
// destruction, so that the fixture folders it was given stay in memory however the
// registry changes meanwhile; it skips, with an error text, a folder whose fixture was
// announced removed (IsOfRemovedFixture, which every step routine asks too).
class ContentOperation : public Operation
{
    Q_OBJECT
public:
    // Connects InformationMessageBox to the message receiver installed with
    // SetMessageReceiver, if any.
    explicit ContentOperation(QObject* parent = nullptr);

    // Whether the operation has what it needs and may be started.
    virtual bool IsValid() = 0;

    // The object that shows information boxes for the operations: the main window, which
    // installs itself when it is built and must have the slot
    // DisplayInformationBox(QString title, QString text). Operations built afterwards are
    // connected to it (Qt's automatic connection, so a box asked for from the worker thread is
    // shown by the GUI thread). Null removes it. GUI thread.
    static void SetMessageReceiver(QObject* receiver);
    static QObject* MessageReceiver();

    // Keeps a hold of the one who chose the operation's folders (a wizard that listed the
    // fixtures) for the operation's life, so that it covers the run even when its giver
    // ends first. GUI thread, before Run.
    void SetRemovalHold(const DeviceManager::RemovalHold& hold) { givenHold_.emplace(hold); }

signals:
    // Asks the GUI to show an information box.
    void InformationMessageBox(const QString& title, const QString& text);

private:
    DeviceManager::RemovalHold removalHold_;
    std::optional<DeviceManager::RemovalHold> givenHold_;
};

// An operation over a list of nodes, in the order given, with flags of its own and, for the
// operations that have one, a target folder. Nodes and target are not owned: they must live
// until the run has ended.
class ContentItemsOperation : public ContentOperation
{
    Q_OBJECT
public:
    using ContentOperation::ContentOperation;

    void SetItems(const QList<ContentBase*>& items) { items_ = items; }
    QList<ContentBase*> Items() const { return items_; }
    void SetTarget(ContentFolder* target) { target_ = target; }
    ContentFolder* Target() const { return target_; }
    void SetFlags(int flags) { flags_ = flags; }
    int Flags() const { return flags_; }

protected:
    QList<ContentBase*> items_;
    ContentFolder* target_ = nullptr;
    int flags_ = 0;
};
