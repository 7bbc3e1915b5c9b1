#pragma once

#include "link/transport/IRdmLink.h"

#include <QByteArray>
#include <QList>

namespace sim {
class LineFixture;
}

// A small DMX line for tests of the RDM engines until the simulated widget and line are
// there: every request goes to every attached fixture; no answer reaches the engine as
// "nothing on the line", one answer as it is, and two or more as a collision (their bytes
// ORed together, as overlapping UART frames would arrive garbled). It can also play a
// widget that stops answering after a number of requests.
//
// Single-threaded, like the engines' command thread.
class TestLine : public IRdmLink
{
public:
    // `fixture` is not owned and must outlive the line's use.
    void Attach(sim::LineFixture* fixture);
    void Detach(sim::LineFixture* fixture);
    // After `count` more requests the widget takes requests but reports nothing back.
    void StopAnsweringAfter(int count) { answersLeft_ = count; }

    // Every request put on the line, in order.
    QList<QByteArray> requests;
    // How many requests of this command class and PID went out.
    int Count(quint8 commandClass, quint16 pid) const;
    // The command class and PID of every request, as "cc:pid" in hex ("30:a0b2").
    QStringList Summary() const;

    bool SendRdmPacket(const quint8* data, int length, int timeoutMs) override;
    bool SendRdmReadPacket(const quint8* data, int length, quint16 expected, int timeoutMs) override;
    int ReceiveRdmPacket(quint8* buffer, int capacity, quint8* complete, int timeoutMs) override;

private:
    QByteArray Put(const quint8* data, int length, bool* answered);

    QList<sim::LineFixture*> fixtures_;
    QByteArray pending_;
    bool pendingAnswered_ = false;
    int answersLeft_ = -1;
};
