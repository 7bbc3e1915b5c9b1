#pragma once

#include <QList>

class ContentFolder;

// Joins several destination folders of one fixture family into one folder that writes to
// all of those fixtures at once, so that one transfer serves many fixtures. The content
// synchronisation asks the first destination's ContentFolder::Aggregator for it, copies
// into the folders Aggregate gives, and hands the same list to Release at the end; the
// fixture families implement it.
//
// Threads: the synchronisation's worker thread; the aggregates made there live in it.
class ContentFolderAggregator
{
public:
    virtual ~ContentFolderAggregator() = default;

    // With two or more entries in `destinations`, the folders of this aggregator's family
    // that share the number of the first such folder become one new aggregate folder, put
    // into `result` after the entries that pass through unchanged (every other entry); the
    // answer is then true, also when no folder of the family was among them. With fewer
    // entries `result` is a copy of the list and the answer false.
    virtual bool Aggregate(const QList<ContentFolder*>& destinations, QList<ContentFolder*>& result) = 0;
    // Deletes every aggregate folder of `folders` that this aggregator made and takes it
    // out of the list; the other entries stay.
    virtual void Release(QList<ContentFolder*>& folders) = 0;
};
