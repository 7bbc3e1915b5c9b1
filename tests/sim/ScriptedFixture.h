#pragma once

#include "sim/line/LineFixture.h"

#include <QList>
#include <mutex>

// A fixture that follows a script: each expected request, in order, gets its canned
// answer; anything else is noted and answered with silence. At the end a test checks
// that the script was used up and nothing unexpected came.
class ScriptedFixture : public sim::LineFixture
{
public:
    void Expect(const QByteArray& request, const QByteArray& answer);
    // Answers every request that is not scripted with `answer` instead of noting it.
    void AnswerAnythingWith(const QByteArray& answer);

    QByteArray OnRequest(const QByteArray& packet) override;
    void OnDmxFrame(const QByteArray& dmxSlots) override;

    bool ScriptUsedUp() const;
    QList<QByteArray> Unexpected() const;
    QList<QByteArray> Frames() const;

private:
    mutable std::mutex mutex_;
    QList<QPair<QByteArray, QByteArray>> script_;
    QByteArray fallback_;
    QList<QByteArray> unexpected_;
    QList<QByteArray> frames_;
};
