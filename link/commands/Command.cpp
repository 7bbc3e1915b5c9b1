#include "link/commands/Command.h"

#include "platform/system/Clock.h"

Command::Command(QObject* parent)
    : QObject(parent)
    , id_(QUuid::createUuid())
    , name_(QStringLiteral("Unknown"))
{
}

Command::~Command() = default;

QString Command::GetName() const
{
    QMutexLocker lock(&stateMutex_);
    return name_;
}

void Command::SetName(const QString& name)
{
    QMutexLocker lock(&stateMutex_);
    name_ = name;
}

void Command::SetChainedFeedback(IFeedback* feedback)
{
    QMutexLocker lock(&stateMutex_);
    chained_ = feedback;
}

IFeedback* Command::ChainedFeedback() const
{
    QMutexLocker lock(&stateMutex_);
    return chained_;
}

void Command::AddString(QString text, FeedbackStatus status)
{
    emit IFeedback_AddString(text, status);
    if (IFeedback* chained = ChainedFeedback())
        chained->AddString(text, status);
}

void Command::SetTotal(int total)
{
    emit IFeedback_SetTotal(total);
    if (IFeedback* chained = ChainedFeedback())
        chained->SetTotal(total);
}

void Command::SetCurrent(int current)
{
    emit IFeedback_SetCurrent(current);
    if (IFeedback* chained = ChainedFeedback())
        chained->SetCurrent(current);
}

void Command::Finished(FeedbackResult result)
{
    platform::Clock::SleepMs(kFeedbackPauseMs);
    emit IFeedback_Finished(result);
    if (IFeedback* chained = ChainedFeedback())
        chained->Finished(result);
}

bool Command::IsCancelled()
{
    platform::Clock::SleepMs(kFeedbackPauseMs);
    // The queue is stopping (the program is closing): nothing is worth carrying on for.
    if (platform::Clock::StopRequested())
        return true;
    IFeedback* chained = ChainedFeedback();
    return chained ? chained->IsCancelled() : false;
}
