#pragma once

#include <QList>
#include <QSet>
#include <QtGlobal>

class IFeedback;

// The binary search of the Tarvo discovery over the 32-bit id space, apart from the wire
// it runs on, so that it can be tested against a model of the line as well as against
// packets.
//
// A lamp fixture answers a probe carrying id X when it is lit (not extinguished) and its
// own id is X or higher. A range low..high that answers (in up to kRangeProbes probes) is
// halved, and both halves are searched, the upper one first; a single id is probed
// kLeafProbes times, and each answer is followed by up to kExtinguishRounds rounds of
// "extinguish" and "are you quiet?". A fixture that goes quiet is found (once, whatever
// the number of answers); since every fixture found is quiet and the upper half goes
// first, a range answers only for the fixtures inside it.
//
// A fixture that never goes quiet answers every probe below its id, so the search would
// halve its way through every id beneath it. Each single id that answered without
// yielding a fixture is counted, and past kMaxUnclaimedLeaves of them the search stops
// with an error line; the fixtures above the culprit have been found by then. The search
// asks the feedback whether it was cancelled once per single id, not at every range: a
// command's IsCancelled pauses.
//
// Single-threaded: runs on the command thread inside a discovery.
class TarvoDiscoverySearch
{
public:
    // What the search needs of the line. The Tarvo protocol serves it with its probe and
    // extinguish exchanges; tests may serve it with a model.
    class ILine
    {
    public:
        virtual ~ILine() = default;
        // One probe for `low`: true when anything answered (a garbled answer too).
        virtual bool Probe(quint32 low) = 0;
        // Tells fixture `id` to stop answering probes.
        virtual void Extinguish(quint32 id) = 0;
        // Asks fixture `id` whether it is quiet: true when it answered.
        virtual bool IsExtinguished(quint32 id) = 0;
    };

    static constexpr int kRangeProbes = 3;
    static constexpr int kLeafProbes = 4;
    static constexpr int kExtinguishRounds = 50;
    // Single ids that answer without yielding a fixture before the line is taken to be
    // stuck. Each stands for a fixture that does not go quiet, or answers while quiet.
    static constexpr int kMaxUnclaimedLeaves = 64;

    // `line` and `feedback` (may be null) must outlive the search.
    TarvoDiscoverySearch(ILine* line, IFeedback* feedback);

    // Searches low..high (low <= high). Writes " Tarvo Discovery: Searching range 0x<low> -
    // 0x<high>" for every range, " Tarvo Discovery: Device found 0x<id>" for every fixture
    // found, " Tarvo Discovery: Device would not extinquish 0x<id>" for every single id
    // that answered but did not go quiet.
    void Search(quint32 low, quint32 high);

    // The ids found, in the order found (descending).
    const QList<quint32>& Found() const { return found_; }
    // True when the search gave up early (a stuck line, or cancelled).
    bool Stopped() const { return stopped_; }
    int UnclaimedLeaves() const { return unclaimed_; }

private:
    void SearchRange(quint32 low, quint32 high);
    void SearchLeaf(quint32 id);
    // Extinguishes `id`; true when it went quiet within kExtinguishRounds rounds.
    bool Quieten(quint32 id);
    void NoteUnclaimed();
    void Report(const QString& text, int status = 0);

    ILine* line_;
    IFeedback* feedback_;
    QList<quint32> found_;
    QSet<quint32> foundSet_;
    int unclaimed_ = 0;
    bool stopped_ = false;
};
