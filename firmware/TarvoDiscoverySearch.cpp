#include "firmware/TarvoDiscoverySearch.h"

#include "link/feedback/Feedback.h"
#include "link/rdm/RdmText.h"
#include "platform/system/Clock.h"

using rdm::Hex;

TarvoDiscoverySearch::TarvoDiscoverySearch(ILine* line, IFeedback* feedback) : line_(line), feedback_(feedback) {}

void TarvoDiscoverySearch::Report(const QString& text, int status)
{
    rdm::Report(feedback_, text, FeedbackStatus(status));
}

void TarvoDiscoverySearch::Search(quint32 low, quint32 high)
{
    if (line_ && low <= high)
        SearchRange(low, high);
}

void TarvoDiscoverySearch::SearchRange(quint32 low, quint32 high)
{
    // The thread's stop (the program is closing) is looked at for every range.
    if (platform::Clock::StopRequested())
        stopped_ = true;
    if (stopped_)
        return;
    Report(QStringLiteral(" Tarvo Discovery: Searching range 0x%1 - 0x%2").arg(Hex(low), Hex(high)));
    if (low == high) {
        SearchLeaf(low);
        return;
    }
    bool answered = false;
    for (int probe = 0; probe < kRangeProbes && !answered; ++probe)
        answered = line_->Probe(low);
    if (!answered)
        return;
    // Both halves, upper first; the sum is taken on 64 bits, so it cannot overflow.
    const quint32 mid = quint32((quint64(low) + high) / 2);
    SearchRange(mid + 1, high);
    SearchRange(low, mid);
}

void TarvoDiscoverySearch::SearchLeaf(quint32 id)
{
    // Every probe is made: a fixture that answers again after going quiet is asked to go
    // quiet again, but it is found only once.
    for (int probe = 0; probe < kLeafProbes && !stopped_; ++probe) {
        if (!line_->Probe(id))
            continue;
        if (!Quieten(id)) {
            Report(QStringLiteral(" Tarvo Discovery: Device would not extinquish 0x%1").arg(Hex(id)));
            NoteUnclaimed();
            break;
        }
        if (!foundSet_.contains(id)) {
            Report(QStringLiteral(" Tarvo Discovery: Device found 0x%1").arg(Hex(id)));
            foundSet_.insert(id);
            found_.append(id);
        }
    }
    if (!stopped_ && feedback_ && feedback_->IsCancelled())
        stopped_ = true;
}

bool TarvoDiscoverySearch::Quieten(quint32 id)
{
    for (int round = 0; round < kExtinguishRounds; ++round) {
        line_->Extinguish(id);
        if (line_->IsExtinguished(id))
            return true;
    }
    return false;
}

void TarvoDiscoverySearch::NoteUnclaimed()
{
    if (++unclaimed_ <= kMaxUnclaimedLeaves)
        return;
    stopped_ = true;
    Report(QStringLiteral(" Tarvo Discovery: The line keeps answering where no device can be found; search stopped."),
           FeedbackError);
}
