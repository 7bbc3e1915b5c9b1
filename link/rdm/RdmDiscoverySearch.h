#pragma once

#include <QList>
#include <QtGlobal>

class IFeedback;

// The binary search of E1.20 discovery, apart from the wire it runs on, so that it can be
// tested against a model of a line as well as against packets.
//
// A range [low, high] of UIDs is asked with DISC_UNIQUE_BRANCH (up to kBranchTries times)
// whether anything un-muted lies in it. A range that answers is halved, and both halves
// are searched, the upper one first; a single UID that answered is muted with DISC_MUTE
// (up to kMuteTries times) and counts as found only when the mute is acknowledged. A muted
// responder stays quiet, so no range is asked twice and every found UID is reported once.
//
// The search always ends: besides the finite depth (48 halvings), it stops when the line
// gives more than kMaxPhantomAnswers answers that lead to no fixture (a range that answers
// while nothing in it acknowledges a mute), which is what a noisy line or a stuck responder
// looks like; and when the feedback says the work was cancelled. Cancellation is asked
// before the search and after each fixture found or answer unexplained, not at every range:
// a command's IsCancelled pauses, and a search looks at about a hundred ranges a fixture.
// A stop of the calling thread (platform::Clock::StopRequested) is looked at for every range.
//
// Single-threaded: runs on the command thread inside a discovery.
class RdmDiscoverySearch
{
public:
    // What the search needs of the line. The RDM engine serves it with its
    // DiscoveryUniqueBranch and DiscoveryMute; tests may serve it with a model.
    class ILine
    {
    public:
        virtual ~ILine() = default;
        // One DISC_UNIQUE_BRANCH over [low, high]: true when anything answered.
        virtual bool UniqueBranch(quint64 low, quint64 high) = 0;
        // One DISC_MUTE to `uid`: true when it was acknowledged.
        virtual bool Mute(quint64 uid) = 0;
    };

    // How often a range is asked before it is taken to be empty.
    static constexpr int kBranchTries = 5;
    // How often a single UID is asked to mute before it is given up.
    static constexpr int kMuteTries = 3;
    // Answers that lead to no fixture before the line is taken to be noise. A real line
    // gives one for each responder that never acknowledges its mute, whatever the number
    // of fixtures that behave.
    static constexpr int kMaxPhantomAnswers = 64;

    // `line` and `feedback` (may be null) must outlive the search.
    RdmDiscoverySearch(ILine* line, IFeedback* feedback);

    // Searches [low, high] (low <= high, 48-bit UIDs). Writes " RDM Discovery: Searching
    // range 0x<low> - 0x<high>" for every range it looks at and " RDM Discovery: Device
    // found 0x<uid>" for every fixture found; the UIDs found are appended to Found() in
    // the order they were found.
    void Search(quint64 low, quint64 high);

    const QList<quint64>& Found() const { return found_; }
    // True when the search gave up early (noise, or cancelled); Found() holds what it had.
    bool Stopped() const { return stopped_; }
    int PhantomAnswers() const { return phantoms_; }

private:
    void SearchRange(quint64 low, quint64 high);
    void NotePhantom();
    // Stops the search when the feedback says so; true once stopped.
    bool CheckCancelled();

    ILine* line_;
    IFeedback* feedback_;
    QList<quint64> found_;
    int phantoms_ = 0;
    bool stopped_ = false;
};
