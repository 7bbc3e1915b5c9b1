#include "tests/link/ScriptedRdmLink.h"

#include "platform/system/Clock.h"
#include "tests/link/RdmTestPackets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using rdmtest::ToHex;

ScriptedRdmLink::Step& ScriptedRdmLink::Step::Reply(const QByteArray& bytes)
{
    reply = bytes;
    complete = 1;
    return *this;
}

ScriptedRdmLink::Step& ScriptedRdmLink::Step::LateReplyFirst(const QByteArray& bytes)
{
    lateReplies.append(bytes);
    return *this;
}

ScriptedRdmLink::Step& ScriptedRdmLink::Step::Silence()
{
    reply.clear();
    complete = 0;
    return *this;
}

ScriptedRdmLink::Step& ScriptedRdmLink::Step::CompleteWithoutData()
{
    reply.clear();
    complete = 1;
    return *this;
}

ScriptedRdmLink::Step& ScriptedRdmLink::Step::Refuse()
{
    accept = false;
    return *this;
}

ScriptedRdmLink::~ScriptedRdmLink()
{
    if (!verified_)
        Verify();
}

ScriptedRdmLink::Step& ScriptedRdmLink::ExpectRead(const QByteArray& request, quint16 expectedReply)
{
    Step step;
    step.request = request;
    step.expectedReply = expectedReply;
    steps_.push_back(step);
    return steps_.back();
}

ScriptedRdmLink::Step& ScriptedRdmLink::ExpectSend(const QByteArray& request)
{
    Step step;
    step.request = request;
    step.wantsReply = false;
    steps_.push_back(step);
    return steps_.back();
}

void ScriptedRdmLink::Verify()
{
    verified_ = true;
    for (const Step& step : steps_)
        ADD_FAILURE() << "request never sent: " << ToHex(step.request).toStdString();
    if (pending_ && pending_->wantsReply)
        ADD_FAILURE() << "answer never read for: " << ToHex(pending_->request).toStdString();
    steps_.clear();
    pending_.reset();
}

bool ScriptedRdmLink::Take(const quint8* data, int length, bool wantsReply, quint16 expected)
{
    const QByteArray request(reinterpret_cast<const char*>(data), length);
    sent.append(request);
    sentAtMs.append(platform::Clock::NowMs());
    if (pending_ && pending_->wantsReply)
        ADD_FAILURE() << "new request while the answer to the last was not read: " << ToHex(pending_->request).toStdString();
    pending_.reset();
    if (steps_.empty()) {
        ADD_FAILURE() << "unexpected request: " << ToHex(request).toStdString();
        return false;
    }
    Step step = steps_.front();
    steps_.pop_front();
    EXPECT_EQ(ToHex(request).toStdString(), ToHex(step.request).toStdString()) << "request " << sent.size();
    EXPECT_EQ(wantsReply, step.wantsReply) << "request " << sent.size() << " sent the wrong way";
    if (wantsReply) {
        EXPECT_EQ(expected, step.expectedReply) << "request " << sent.size() << " announced another reply length";
    }
    if (!step.accept)
        return false;
    pending_ = step;
    return true;
}

bool ScriptedRdmLink::SendRdmPacket(const quint8* data, int length, int)
{
    return Take(data, length, false, 0);
}

bool ScriptedRdmLink::SendRdmReadPacket(const quint8* data, int length, quint16 expected, int)
{
    return Take(data, length, true, expected);
}

int ScriptedRdmLink::ReceiveRdmPacket(quint8* buffer, int capacity, quint8* complete, int)
{
    if (!pending_ || !pending_->wantsReply) {
        ADD_FAILURE() << "reply read with no request outstanding";
        return 0;
    }
    QByteArray reply;
    quint8 done = 1;
    if (!pending_->lateReplies.isEmpty()) {
        reply = pending_->lateReplies.takeFirst();
    } else {
        reply = pending_->reply;
        done = pending_->complete;
        pending_.reset();
    }
    if (complete)
        *complete = done;
    const int count = std::min<int>(std::max(capacity, 0), int(reply.size()));
    if (count > 0)
        std::memcpy(buffer, reply.constData(), size_t(count));
    return count;
}
