#pragma once

#include "link/transport/IRdmLink.h"

#include <QByteArray>
#include <QList>

#include <deque>
#include <optional>

// A scripted far end for the RDM engines: each step names the exact request expected
// next and what the widget does with it (refuse it, stay silent, or answer with canned
// bytes). Anything unexpected is a test failure that shows both sides in hex; at the
// end (Verify, or destruction) every step must have been sent and every answer read.
//
// Single-threaded, like the engines' command thread.
class ScriptedRdmLink : public IRdmLink
{
public:
    class Step
    {
    public:
        // The widget answers with these bytes (complete flag 1).
        Step& Reply(const QByteArray& reply);
        // Before the step's own answer, the widget hands out `reply` (a late answer to an
        // earlier request); several come in the order given.
        Step& LateReplyFirst(const QByteArray& reply);
        // The widget reports no answer on the line (length 0, complete flag 0).
        Step& Silence();
        // The widget finished the exchange without reply data (length 0, complete 1).
        Step& CompleteWithoutData();
        // The widget does not take the request.
        Step& Refuse();

    private:
        friend class ScriptedRdmLink;
        QByteArray request;
        bool wantsReply = true;
        quint16 expectedReply = 0;
        bool accept = true;
        QByteArray reply;
        quint8 complete = 0;
        QList<QByteArray> lateReplies;
    };

    ScriptedRdmLink() = default;
    ~ScriptedRdmLink() override;

    // The next request, sent with SendRdmReadPacket announcing `expectedReply` bytes.
    Step& ExpectRead(const QByteArray& request, quint16 expectedReply = 512);
    // The next request, sent with SendRdmPacket (no reply wanted).
    Step& ExpectSend(const QByteArray& request);

    // Fails the test if steps are left unsent or an answer was left unread.
    void Verify();

    // Every request received, in order, and the virtual time (platform::Clock) of each.
    QList<QByteArray> sent;
    QList<qint64> sentAtMs;

    bool SendRdmPacket(const quint8* data, int length, int timeoutMs) override;
    bool SendRdmReadPacket(const quint8* data, int length, quint16 expected, int timeoutMs) override;
    int ReceiveRdmPacket(quint8* buffer, int capacity, quint8* complete, int timeoutMs) override;

private:
    bool Take(const quint8* data, int length, bool wantsReply, quint16 expected);

    std::deque<Step> steps_;
    std::optional<Step> pending_;  // accepted, answer not read yet
    bool verified_ = false;
};
