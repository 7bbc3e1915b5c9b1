#include "link/rdm/RdmDiscoverySearch.h"

#include "link/feedback/Feedback.h"
#include "link/rdm/RdmText.h"
#include "platform/system/Clock.h"

using rdm::Hex;

RdmDiscoverySearch::RdmDiscoverySearch(ILine* line, IFeedback* feedback) : line_(line), feedback_(feedback) {}

void RdmDiscoverySearch::Search(quint64 low, quint64 high)
{
    if (!line_ || low > high || CheckCancelled())
        return;
    SearchRange(low, high);
}

bool RdmDiscoverySearch::CheckCancelled()
{
    if (!stopped_ && feedback_ && feedback_->IsCancelled())
        stopped_ = true;
    return stopped_;
}

void RdmDiscoverySearch::NotePhantom()
{
    if (++phantoms_ <= kMaxPhantomAnswers) {
        CheckCancelled();
        return;
    }
    stopped_ = true;
    if (feedback_)
        feedback_->AddString(QStringLiteral(" RDM Discovery: The line keeps answering where no device can be found; "
                                            "search stopped after %1 devices.")
                                 .arg(found_.size()),
                             FeedbackError);
}

void RdmDiscoverySearch::SearchRange(quint64 low, quint64 high)
{
    // The thread's stop costs nothing to ask, unlike a command's IsCancelled: it is looked
    // at for every range, so that a queue that stops ends the search at once.
    if (platform::Clock::StopRequested())
        stopped_ = true;
    if (stopped_)
        return;
    if (feedback_)
        feedback_->AddString(QStringLiteral(" RDM Discovery: Searching range 0x%1 - 0x%2").arg(Hex(low), Hex(high)),
                             FeedbackNormal);

    if (low == high) {
        for (int attempt = 0; attempt < kMuteTries; ++attempt) {
            if (line_->Mute(low)) {
                if (feedback_)
                    feedback_->AddString(QStringLiteral(" RDM Discovery: Device found 0x%1").arg(Hex(low)), FeedbackNormal);
                found_.append(low);
                CheckCancelled();
                return;
            }
        }
        // Halving ends in pairs of UIDs, so the UID beside every fixture is asked too and
        // stays silent. An answer that no fixture claims is counted by the range that gave it.
        return;
    }

    bool answered = false;
    for (int attempt = 0; attempt < kBranchTries && !answered; ++attempt)
        answered = line_->UniqueBranch(low, high);
    if (!answered)
        return;

    // Both halves, upper first; exact on 48 bits, so no overflow.
    const quint64 mid = low + (high - low) / 2;
    const qsizetype foundBefore = found_.size();
    const int phantomsBefore = phantoms_;
    SearchRange(mid + 1, high);
    SearchRange(low, mid);
    if (!stopped_ && found_.size() == foundBefore && phantoms_ == phantomsBefore)
        NotePhantom();  // the range answered, yet nothing in it did
}
