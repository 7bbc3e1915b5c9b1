#pragma once

#include "content/Content.h"
#include "content/ContentFolderAggregator.h"
#include "content/policies/PolicyFolder.h"
#include "link/feedback/Feedback.h"

#include <QList>
#include <QMutex>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

// In-memory content trees for tests of everything that changes content through the
// asynchronous folder contract (content/ContentFolder.h): copy, move, delete, address and
// synchronisation operations, library and fixture code.
//
// A MemoryFolder is a policy folder that owns its children and checks every change the way a
// careful library or fixture would: read-only children, accepted kinds, clashes with its
// policy (a child never clashes with itself), addresses in range (0 always allowed). It
// refuses a bad change at once (one error text, false, no Finished); an accepted change
// answers true and calls Finished exactly once:
// - Answer::AtOnce: the change is made and Finished called before the call returns, like a
//   library folder;
// - Answer::Later: the change is made and Finished called from the MemoryLink thread, like a
//   fixture folder finishing on the fixture-link thread.
// A folder destroyed before its accepted change has run never calls Finished for it: its
// death is the change's end.
// Faults can be injected per kind of change: refuse it, accept it and finish with Failure
// (changing nothing), or hold it until ReleaseHeld.
//
// Every change made is written to the tree's change log (shared by a root and every folder
// made below it), so tests can check which steps ran and in which order.

// A content without data. Clones keep the key.
class MemoryContent : public Content
{
    Q_OBJECT
public:
    explicit MemoryContent(const QString& name = {}, int address = 0, ContentFolder* parent = nullptr);

    Content* Clone() override;
    bool Load(const QString&) override { return false; }
    bool Save(const QString&) override { return false; }
    QString FileExtension() const override { return QStringLiteral("mem"); }
    bool IsNotLoaded() const override;
    // Marks the content as a fixture placeholder whose data has not arrived.
    void SetNotLoaded(bool notLoaded);

private:
    bool notLoaded_ = false;
};

// The stand-in of the fixture link's thread: one thread that runs posted jobs in order.
class MemoryLink
{
public:
    static MemoryLink& Instance();
    ~MemoryLink();

    void Post(std::function<void()> job);
    // Waits until every posted job has run.
    void Drain();

private:
    MemoryLink();
    struct State;
    std::unique_ptr<State> state_;
};

// The lines of the changes made in one tree, in order:
//   "create <folder>/<name>@<address>", "add <folder>/<name>@<address>",
//   "rename <folder>/<old> -> <new>", "renumber <folder>/<name> <old> -> <new>",
//   "move <name> <from> -> <to>", "remove <folder>/<name>",
//   "add <aggregate>/<name>@<address> x<members>" (an aggregate writing to several folders).
class ChangeLog
{
public:
    void Append(const QString& line);
    QStringList Lines() const;
    // The lines that begin with `verb`.
    QStringList Lines(const QString& verb) const;
    void Clear();

private:
    mutable QMutex mutex_;
    QStringList lines_;
};

class MemoryFolder : public ContentPolicyFolder
{
    Q_OBJECT
public:
    enum class Answer { AtOnce, Later };
    enum Change { Create = 1, Add = 2, Modify = 4, Move = 8, Remove = 16, AllChanges = 31 };

    // `policy` null: the PolicyBase answers (0-255, no clashes). A folder with no parent
    // starts a tree with a new change log; folders made below it (AddFolder, CreateFolder)
    // share it and take over its answer mode and its aggregator.
    explicit MemoryFolder(PolicyBase* policy, const QString& name = {}, int address = 0,
                          MemoryFolder* parent = nullptr);
    ~MemoryFolder() override;

    // Set-up, synchronous and unchecked; the folder owns what it makes.
    MemoryContent* AddContent(const QString& name, int address = 0);
    // `policy` null: this folder's NewChildPolicy(0), or its own policy when that is null.
    MemoryFolder* AddFolder(const QString& name, int address = 0, PolicyBase* policy = nullptr);
    // Takes `child` (which belongs to no folder) as the last child.
    void Adopt(ContentBase* child);

    void SetAnswer(Answer answer) { answer_ = answer; }
    Answer GetAnswer() const { return answer_; }
    // The changes (a Change mask) this folder refuses at once / accepts and fails / holds.
    void SetRefused(int changes) { refused_ = changes; }
    void SetFailing(int changes) { failing_ = changes; }
    void SetHeld(int changes) { held_ = changes; }
    // Lets the held changes go on (on the MemoryLink thread).
    void ReleaseHeld();
    // What Aggregator answers (not owned); set it before making sub-folders.
    void SetAggregator(ContentFolderAggregator* aggregator) { aggregator_ = aggregator; }
    ChangeLog& Log() const { return *log_; }
    std::shared_ptr<ChangeLog> SharedLog() const { return log_; }
    // The number of change calls answered true so far.
    int Accepted() const { return accepted_; }

    int ChildCount() const override;
    ContentBase* Child(int index) override;
    const ContentBase* Child(int index) const override;
    bool CreateFolder(const QString& name, int address, int kind, IFeedback* feedback) override;
    bool AddChild(QList<ContentBase*> children, IFeedback* feedback) override;
    bool ModifyChild(ContentBase* child, const QString& name, int address, IFeedback* feedback) override;
    bool MoveHere(ContentBase* child, IFeedback* feedback) override;
    bool RemoveChild(ContentBase* child, IFeedback* feedback) override;
    ContentFolderAggregator* Aggregator() override { return aggregator_; }
    // Makes the folder one whose children could not be read.
    void SetChildrenRead(bool read) { childrenRead_ = read; }
    bool ChildrenRead() const override { return childrenRead_; }

    // Whether `folder` is a MemoryFolder that has not been destroyed. Call under ContentMutex.
    static bool IsAlive(const MemoryFolder* folder);
    bool HasChild(const ContentBase* child) const;
    // Why `node` (null for a new one) could not carry `name` and `address` here; empty when
    // it can.
    QString CheckPlace(const ContentBase* node, const QString& name, int address);

protected:
    // The answer common to every accepted change: `apply` makes it (under ContentMutex, and
    // only while this folder lives) at once, on the link thread, or when released, and
    // answers whether it could; Finished follows.
    bool Accept(Change change, IFeedback* feedback, std::function<bool()> apply);
    // Takes `child` out of the children, unowned (null when it is not a child); emits the
    // matching Removed signal.
    ContentBase* Take(ContentBase* child);
    // Refuses `change` at once when it is injected as refused or the children are read-only.
    bool RefusesAtOnce(Change change, IFeedback* feedback);
    void UseLog(std::shared_ptr<ChangeLog> log) { log_ = std::move(log); }

private:

    std::vector<std::unique_ptr<ContentBase>> children_;
    std::shared_ptr<ChangeLog> log_;
    Answer answer_ = Answer::AtOnce;
    int refused_ = 0;
    int failing_ = 0;
    int held_ = 0;
    int accepted_ = 0;
    QList<std::function<void()>> heldJobs_;
    ContentFolderAggregator* aggregator_ = nullptr;
    bool childrenRead_ = true;
};

// A folder made by MemoryAggregator that stands for several folders: a content added to it is
// added to every one of them (as a clone with the same key, name and address).
class MemoryAggregateFolder : public MemoryFolder
{
    Q_OBJECT
public:
    MemoryAggregateFolder(const QList<MemoryFolder*>& members);
    QList<MemoryFolder*> Members() const { return members_; }

    bool AcceptsContent(const Content* content) override;
    bool AddChild(QList<ContentBase*> children, IFeedback* feedback) override;

private:
    QList<MemoryFolder*> members_;
};

// An aggregator for the memory folders whose Aggregator it is: two or more of them in the
// destinations become one MemoryAggregateFolder.
class MemoryAggregator : public ContentFolderAggregator
{
public:
    ~MemoryAggregator() override;

    bool Aggregate(const QList<ContentFolder*>& destinations, QList<ContentFolder*>& result) override;
    void Release(QList<ContentFolder*>& folders) override;

    int AggregateCalls() const { return aggregateCalls_; }
    int Released() const { return released_; }
    // Aggregates made and not released yet.
    int Outstanding() const { return int(made_.size()); }

private:
    std::vector<std::unique_ptr<MemoryAggregateFolder>> made_;
    int aggregateCalls_ = 0;
    int released_ = 0;
};

// Records every feedback call; IsCancelled answers the cancel flag, which any thread may
// set, or turns true after `cancelAfterTexts` texts when that is set.
class FeedbackRecorder : public IFeedback
{
public:
    struct Line {
        QString text;
        FeedbackStatus status;
    };

    void AddString(QString text, FeedbackStatus status) override;
    void SetTotal(int total) override;
    void SetCurrent(int current) override;
    void Finished(FeedbackResult result) override;
    bool IsCancelled() override;

    void Cancel();
    // Cancels once a text containing `text` has been sent.
    void CancelOnText(const QString& text);

    QStringList Texts() const;
    QStringList Texts(FeedbackStatus status) const;
    QList<int> Totals() const;
    QList<int> Currents() const;
    QList<FeedbackResult> Results() const;

private:
    mutable QMutex mutex_;
    QList<Line> lines_;
    QList<int> totals_;
    QList<int> currents_;
    QList<FeedbackResult> results_;
    bool cancelled_ = false;
    QString cancelText_;
};
