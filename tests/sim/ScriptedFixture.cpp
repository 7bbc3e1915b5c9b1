#include "tests/sim/ScriptedFixture.h"

void ScriptedFixture::Expect(const QByteArray& request, const QByteArray& answer)
{
    std::lock_guard lock(mutex_);
    script_.append({request, answer});
}

void ScriptedFixture::AnswerAnythingWith(const QByteArray& answer)
{
    std::lock_guard lock(mutex_);
    fallback_ = answer;
}

QByteArray ScriptedFixture::OnRequest(const QByteArray& packet)
{
    std::lock_guard lock(mutex_);
    if (!script_.isEmpty() && script_.front().first == packet)
        return script_.takeFirst().second;
    if (!fallback_.isEmpty())
        return fallback_;
    unexpected_ << packet;
    return {};
}

void ScriptedFixture::OnDmxFrame(const QByteArray& dmxSlots)
{
    std::lock_guard lock(mutex_);
    frames_ << dmxSlots;
}

bool ScriptedFixture::ScriptUsedUp() const
{
    std::lock_guard lock(mutex_);
    return script_.isEmpty();
}

QList<QByteArray> ScriptedFixture::Unexpected() const
{
    std::lock_guard lock(mutex_);
    return unexpected_;
}

QList<QByteArray> ScriptedFixture::Frames() const
{
    std::lock_guard lock(mutex_);
    return frames_;
}
