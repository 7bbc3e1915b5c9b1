#pragma once

#include <QList>
#include <QtGlobal>

#include <algorithm>
#include <cstddef>
#include <deque>
#include <utility>

namespace sim {

// What a simulated device was asked, kept for tests to read: the last `capacity` entries,
// oldest first, and how many were ever logged. Bounded, so that a long run (the program
// on a simulated rig, thousands of exchanges of a benchmark) does not grow without end.
// Not thread-safe: its owner guards it.
template <class Entry>
class RequestRing
{
public:
    explicit RequestRing(std::size_t capacity) : capacity_(capacity) {}

    void Append(Entry entry)
    {
        ++total_;
        if (capacity_ == 0)
            return;
        if (entries_.size() == capacity_)
            entries_.pop_front();
        entries_.push_back(std::move(entry));
    }

    QList<Entry> Entries() const { return QList<Entry>(entries_.begin(), entries_.end()); }

    // The entries logged after the first `mark` ever logged, as far as they are still held.
    QList<Entry> Since(quint64 mark) const
    {
        const quint64 newer = total_ > mark ? total_ - mark : 0;
        const std::size_t kept = std::size_t(std::min<quint64>(newer, entries_.size()));
        return QList<Entry>(entries_.end() - std::ptrdiff_t(kept), entries_.end());
    }

    quint64 Total() const { return total_; }
    void Clear() { entries_.clear(); }

private:
    std::size_t capacity_;
    std::deque<Entry> entries_;
    quint64 total_ = 0;
};

} // namespace sim
