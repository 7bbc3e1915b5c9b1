#include "tests/content/MemoryFolders.h"

#include "content/ContentMutex.h"
#include "content/policies/PolicyBase.h"
#include "platform/system/Clock.h"

#include <QSet>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

// How long the link thread takes before it answers: long enough that the asking thread is
// waiting by then.
constexpr int kLinkLatencyMs = 5;

QSet<const MemoryFolder*>& LiveFolders()
{
    static QSet<const MemoryFolder*> folders;
    return folders;
}

QString Describe(const ContentBase* node)
{
    return node ? node->GetName() : QStringLiteral("(none)");
}

// Makes an accepted change: `apply` under ContentMutex while `folder` lives, then Finished.
void RunAccepted(const MemoryFolder* folder, bool fail, IFeedback* feedback, const std::function<bool()>& apply)
{
    // Under the lock throughout: the folder cannot die between the look and Finished, and a
    // folder that has died never calls its changes' feedback again.
    ContentLocker lock(&ContentMutex);
    if (!MemoryFolder::IsAlive(folder))
        return;
    const bool done = !fail && apply();
    if (feedback)
        feedback->Finished(done ? FeedbackSuccess : FeedbackFailure);
}

using PendingChildren = std::shared_ptr<std::vector<std::unique_ptr<ContentBase>>>;

// The children of an accepted AddChild: the folder's from then on, deleted with the job when
// the change is never made.
PendingChildren TakeOver(const QList<ContentBase*>& children)
{
    auto pending = std::make_shared<std::vector<std::unique_ptr<ContentBase>>>();
    for (ContentBase* child : children)
        pending->emplace_back(child);
    return pending;
}

} // namespace

// ---- MemoryContent ----

MemoryContent::MemoryContent(const QString& name, int address, ContentFolder* parent) : Content(parent)
{
    SetName(name);
    SetAddress(address);
}

Content* MemoryContent::Clone()
{
    ContentLocker lock(&ContentMutex);
    auto* copy = new MemoryContent(GetName(), GetAddress());
    copy->SetKey(Key());
    copy->SetMosavraID(GetMosavraID());
    copy->notLoaded_ = notLoaded_;
    return copy;
}

bool MemoryContent::IsNotLoaded() const
{
    ContentLocker lock(&ContentMutex);
    return notLoaded_;
}

void MemoryContent::SetNotLoaded(bool notLoaded)
{
    ContentLocker lock(&ContentMutex);
    notLoaded_ = notLoaded;
}

// ---- MemoryLink ----

struct MemoryLink::State {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::function<void()>> jobs;
    bool running = false;
    bool stopping = false;
    std::thread thread;

    void Loop()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return stopping || !jobs.empty(); });
            if (jobs.empty())
                return;
            std::function<void()> job = std::move(jobs.front());
            jobs.pop_front();
            running = true;
            lock.unlock();
            platform::Clock::SleepMs(kLinkLatencyMs);
            job();
            lock.lock();
            running = false;
            changed.notify_all();
        }
    }
};

MemoryLink::MemoryLink() : state_(std::make_unique<State>())
{
    state_->thread = std::thread([state = state_.get()] { state->Loop(); });
}

MemoryLink::~MemoryLink()
{
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    state_->changed.notify_all();
    state_->thread.join();
}

MemoryLink& MemoryLink::Instance()
{
    static MemoryLink link;
    return link;
}

void MemoryLink::Post(std::function<void()> job)
{
    {
        std::lock_guard lock(state_->mutex);
        state_->jobs.push_back(std::move(job));
    }
    state_->changed.notify_all();
}

void MemoryLink::Drain()
{
    std::unique_lock lock(state_->mutex);
    state_->changed.wait(lock, [&] { return state_->jobs.empty() && !state_->running; });
}

// ---- ChangeLog ----

void ChangeLog::Append(const QString& line)
{
    QMutexLocker lock(&mutex_);
    lines_.append(line);
}

QStringList ChangeLog::Lines() const
{
    QMutexLocker lock(&mutex_);
    return lines_;
}

QStringList ChangeLog::Lines(const QString& verb) const
{
    QMutexLocker lock(&mutex_);
    QStringList lines;
    for (const QString& line : lines_) {
        if (line.startsWith(verb + QLatin1Char(' ')))
            lines.append(line);
    }
    return lines;
}

void ChangeLog::Clear()
{
    QMutexLocker lock(&mutex_);
    lines_.clear();
}

// ---- MemoryFolder ----

MemoryFolder::MemoryFolder(PolicyBase* policy, const QString& name, int address, MemoryFolder* parent)
    : ContentPolicyFolder(policy, parent),
      log_(parent ? parent->log_ : std::make_shared<ChangeLog>()),
      answer_(parent ? parent->answer_ : Answer::AtOnce),
      aggregator_(parent ? parent->aggregator_ : nullptr)
{
    SetName(name);
    SetAddress(address);
    ContentLocker lock(&ContentMutex);
    LiveFolders().insert(this);
}

MemoryFolder::~MemoryFolder()
{
    ContentLocker lock(&ContentMutex);
    LiveFolders().remove(this);
    children_.clear();
}

bool MemoryFolder::IsAlive(const MemoryFolder* folder)
{
    ContentLocker lock(&ContentMutex);
    return LiveFolders().contains(folder);
}

MemoryContent* MemoryFolder::AddContent(const QString& name, int address)
{
    auto* content = new MemoryContent(name, address, this);
    Adopt(content);
    return content;
}

MemoryFolder* MemoryFolder::AddFolder(const QString& name, int address, PolicyBase* policy)
{
    if (!policy && Policy())
        policy = Policy()->NewChildPolicy(this, 0);
    if (!policy)
        policy = Policy();
    auto* folder = new MemoryFolder(policy, name, address, this);
    Adopt(folder);
    return folder;
}

void MemoryFolder::Adopt(ContentBase* child)
{
    ContentLocker lock(&ContentMutex);
    child->SetParent(this);
    children_.emplace_back(child);
    if (auto* folder = qobject_cast<ContentFolder*>(child))
        emit FolderAdded(this, folder);
    else
        emit ContentAdded(this, static_cast<Content*>(child));
}

ContentBase* MemoryFolder::Take(ContentBase* child)
{
    ContentLocker lock(&ContentMutex);
    for (auto it = children_.begin(); it != children_.end(); ++it) {
        if (it->get() != child)
            continue;
        it->release();
        children_.erase(it);
        if (auto* folder = qobject_cast<ContentFolder*>(child))
            emit FolderRemoved(this, folder);
        else
            emit ContentRemoved(this, static_cast<Content*>(child));
        return child;
    }
    return nullptr;
}

bool MemoryFolder::HasChild(const ContentBase* child) const
{
    ContentLocker lock(&ContentMutex);
    for (const auto& owned : children_) {
        if (owned.get() == child)
            return true;
    }
    return false;
}

void MemoryFolder::ReleaseHeld()
{
    QList<std::function<void()>> jobs;
    {
        ContentLocker lock(&ContentMutex);
        jobs.swap(heldJobs_);
    }
    for (auto& job : jobs)
        MemoryLink::Instance().Post(std::move(job));
}

int MemoryFolder::ChildCount() const
{
    ContentLocker lock(&ContentMutex);
    return int(children_.size());
}

ContentBase* MemoryFolder::Child(int index)
{
    ContentLocker lock(&ContentMutex);
    return children_.at(std::size_t(index)).get();
}

const ContentBase* MemoryFolder::Child(int index) const
{
    ContentLocker lock(&ContentMutex);
    return children_.at(std::size_t(index)).get();
}

QString MemoryFolder::CheckPlace(const ContentBase* node, const QString& name, int address)
{
    ContentLocker lock(&ContentMutex);
    if (ConflictsFor(node, name, address))
        return QStringLiteral("%1@%2 clashes in %3").arg(name).arg(address).arg(GetName());
    if (address != 0 && (address < MinAddress() || address > MaxAddress()))
        return QStringLiteral("Address %1 is outside %2").arg(address).arg(GetName());
    return {};
}

bool MemoryFolder::RefusesAtOnce(Change change, IFeedback* feedback)
{
    if (refused_ & change)
        return !Refuse(feedback, QStringLiteral("%1 refuses the change").arg(GetName()));
    if (IsChildrenReadOnly())
        return !Refuse(feedback, QString::fromLatin1(kNotModifiableText));
    return false;
}

bool MemoryFolder::Accept(Change change, IFeedback* feedback, std::function<bool()> apply)
{
    std::function<void()> now;
    {
        ContentLocker lock(&ContentMutex);
        ++accepted_;
        const bool fail = failing_ & change;
        auto job = [folder = this, fail, feedback, apply = std::move(apply)] {
            RunAccepted(folder, fail, feedback, apply);
        };
        if (held_ & change)
            heldJobs_.append(std::move(job));
        else if (answer_ == Answer::Later)
            MemoryLink::Instance().Post(std::move(job));
        else
            now = std::move(job);
    }
    // Outside the lock: the caller's feedback may take locks of its own.
    if (now)
        now();
    return true;
}

bool MemoryFolder::CreateFolder(const QString& name, int address, int kind, IFeedback* feedback)
{
    if (RefusesAtOnce(Create, feedback))
        return false;
    PolicyBase* childPolicy = Policy() ? Policy()->NewChildPolicy(this, kind) : nullptr;
    if (Policy() && !childPolicy)
        return Refuse(feedback, QStringLiteral("%1 makes no folder of kind %2").arg(GetName()).arg(kind));
    if (const QString problem = CheckPlace(nullptr, name, address); !problem.isEmpty())
        return Refuse(feedback, problem);
    return Accept(Create, feedback, [=, this] {
        AddFolder(name, address, childPolicy);
        log_->Append(QStringLiteral("create %1/%2@%3").arg(GetName(), name).arg(address));
        return true;
    });
}

bool MemoryFolder::AddChild(QList<ContentBase*> children, IFeedback* feedback)
{
    if (RefusesAtOnce(Add, feedback))
        return false;
    for (ContentBase* child : children) {
        auto* folder = qobject_cast<ContentFolder*>(child);
        auto* content = qobject_cast<Content*>(child);
        if (folder ? !AcceptsFolder(folder) : !(content && AcceptsContent(content)))
            return Refuse(feedback, QStringLiteral("%1 does not take %2").arg(GetName(), Describe(child)));
        if (const QString problem = CheckPlace(nullptr, child->GetName(), child->GetAddress()); !problem.isEmpty())
            return Refuse(feedback, problem);
    }
    return Accept(Add, feedback, [pending = TakeOver(children), this] {
        for (auto& child : *pending) {
            log_->Append(QStringLiteral("add %1/%2@%3").arg(GetName(), child->GetName()).arg(child->GetAddress()));
            Adopt(child.release());
        }
        pending->clear();
        return true;
    });
}

bool MemoryFolder::ModifyChild(ContentBase* child, const QString& name, int address, IFeedback* feedback)
{
    if (RefusesAtOnce(Modify, feedback))
        return false;
    if (!HasChild(child))
        return Refuse(feedback, QStringLiteral("%1 is not in %2").arg(Describe(child), GetName()));
    if (const QString problem = CheckPlace(child, name, address); !problem.isEmpty())
        return Refuse(feedback, problem);
    return Accept(Modify, feedback, [=, this] {
        if (!HasChild(child))
            return false;
        const QString oldName = child->GetName();
        const int oldAddress = child->GetAddress();
        if (oldName != name)
            log_->Append(QStringLiteral("rename %1/%2 -> %3").arg(GetName(), oldName, name));
        if (oldAddress != address)
            log_->Append(QStringLiteral("renumber %1/%2 %3 -> %4").arg(GetName(), name).arg(oldAddress).arg(address));
        child->SetName(name);
        child->SetAddress(address);
        return true;
    });
}

bool MemoryFolder::MoveHere(ContentBase* child, IFeedback* feedback)
{
    if (RefusesAtOnce(Move, feedback))
        return false;
    auto* from = child ? qobject_cast<MemoryFolder*>(child->GetParent()) : nullptr;
    if (!from || from == this)
        return Refuse(feedback, QStringLiteral("%1 can't be moved to %2").arg(Describe(child), GetName()));
    if (auto* folder = qobject_cast<ContentFolder*>(child); folder && IsInside(folder))
        return Refuse(feedback, QStringLiteral("%1 can't be moved into itself").arg(Describe(child)));
    if (const QString problem = CheckPlace(child, child->GetName(), child->GetAddress()); !problem.isEmpty())
        return Refuse(feedback, problem);
    return Accept(Move, feedback, [=, this] {
        if (!IsAlive(from) || !from->HasChild(child))
            return false;
        log_->Append(QStringLiteral("move %1 %2 -> %3").arg(child->GetName(), from->GetName(), GetName()));
        Adopt(from->Take(child));
        return true;
    });
}

bool MemoryFolder::RemoveChild(ContentBase* child, IFeedback* feedback)
{
    if (RefusesAtOnce(Remove, feedback))
        return false;
    if (!HasChild(child))
        return Refuse(feedback, QStringLiteral("%1 is not in %2").arg(Describe(child), GetName()));
    return Accept(Remove, feedback, [=, this] {
        if (!HasChild(child))
            return false;
        log_->Append(QStringLiteral("remove %1/%2").arg(GetName(), child->GetName()));
        delete Take(child);
        return true;
    });
}

// ---- aggregation ----

MemoryAggregateFolder::MemoryAggregateFolder(const QList<MemoryFolder*>& members)
    : MemoryFolder(members.first()->Policy(), QStringLiteral("aggregate")), members_(members)
{
    UseLog(members.first()->SharedLog());
}

bool MemoryAggregateFolder::AcceptsContent(const Content* content)
{
    return members_.first()->AcceptsContent(content);
}

bool MemoryAggregateFolder::AddChild(QList<ContentBase*> children, IFeedback* feedback)
{
    if (RefusesAtOnce(Add, feedback))
        return false;
    for (MemoryFolder* member : members_) {
        for (ContentBase* child : children) {
            auto* content = qobject_cast<Content*>(child);
            if (!content || !member->AcceptsContent(content))
                return Refuse(feedback, QStringLiteral("%1 does not take %2").arg(member->GetName(), Describe(child)));
            if (const QString problem = member->CheckPlace(nullptr, child->GetName(), child->GetAddress());
                !problem.isEmpty())
                return Refuse(feedback, problem);
        }
    }
    return Accept(Add, feedback, [pending = TakeOver(children), this] {
        for (auto& child : *pending) {
            auto* content = static_cast<Content*>(child.get());
            Log().Append(QStringLiteral("add %1/%2@%3 x%4")
                             .arg(GetName(), content->GetName())
                             .arg(content->GetAddress())
                             .arg(members_.size()));
            for (MemoryFolder* member : members_) {
                if (IsAlive(member))
                    member->Adopt(content->Clone());
            }
        }
        pending->clear();
        return true;
    });
}

MemoryAggregator::~MemoryAggregator() = default;

bool MemoryAggregator::Aggregate(const QList<ContentFolder*>& destinations, QList<ContentFolder*>& result)
{
    ++aggregateCalls_;
    QList<MemoryFolder*> mine;
    QList<ContentFolder*> others;
    for (ContentFolder* destination : destinations) {
        auto* folder = qobject_cast<MemoryFolder*>(destination);
        if (folder && folder->Aggregator() == this)
            mine.append(folder);
        else
            others.append(destination);
    }
    if (mine.size() < 2) {
        result = destinations;
        return false;
    }
    auto aggregate = std::make_unique<MemoryAggregateFolder>(mine);
    aggregate->SetAnswer(mine.first()->GetAnswer());
    result = QList<ContentFolder*>{aggregate.get()} + others;
    made_.push_back(std::move(aggregate));
    return true;
}

void MemoryAggregator::Release(QList<ContentFolder*>& folders)
{
    for (auto it = made_.begin(); it != made_.end();) {
        if (folders.removeAll(it->get()) > 0) {
            it = made_.erase(it);
            ++released_;
        } else {
            ++it;
        }
    }
}

// ---- FeedbackRecorder ----

void FeedbackRecorder::AddString(QString text, FeedbackStatus status)
{
    QMutexLocker lock(&mutex_);
    lines_.append({text, status});
    if (!cancelText_.isEmpty() && text.contains(cancelText_))
        cancelled_ = true;
}

void FeedbackRecorder::SetTotal(int total)
{
    QMutexLocker lock(&mutex_);
    totals_.append(total);
}

void FeedbackRecorder::SetCurrent(int current)
{
    QMutexLocker lock(&mutex_);
    currents_.append(current);
}

void FeedbackRecorder::Finished(FeedbackResult result)
{
    QMutexLocker lock(&mutex_);
    results_.append(result);
}

bool FeedbackRecorder::IsCancelled()
{
    QMutexLocker lock(&mutex_);
    return cancelled_;
}

void FeedbackRecorder::Cancel()
{
    QMutexLocker lock(&mutex_);
    cancelled_ = true;
}

void FeedbackRecorder::CancelOnText(const QString& text)
{
    QMutexLocker lock(&mutex_);
    cancelText_ = text;
}

QStringList FeedbackRecorder::Texts() const
{
    QMutexLocker lock(&mutex_);
    QStringList texts;
    for (const Line& line : lines_)
        texts.append(line.text);
    return texts;
}

QStringList FeedbackRecorder::Texts(FeedbackStatus status) const
{
    QMutexLocker lock(&mutex_);
    QStringList texts;
    for (const Line& line : lines_) {
        if (line.status == status)
            texts.append(line.text);
    }
    return texts;
}

QList<int> FeedbackRecorder::Totals() const
{
    QMutexLocker lock(&mutex_);
    return totals_;
}

QList<int> FeedbackRecorder::Currents() const
{
    QMutexLocker lock(&mutex_);
    return currents_;
}

QList<FeedbackResult> FeedbackRecorder::Results() const
{
    QMutexLocker lock(&mutex_);
    return results_;
}
