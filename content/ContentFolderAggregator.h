#pragma once

#include <QList>

class ContentFolder;

// Joins several destination folders of one fixture family into one folder that writes to
// all of those fixtures at once, so that one transfer serves many fixtures. The content
// synchronisation asks the first destination's ContentFolder::Aggregator for it; the
// fixture families implement it.
class ContentFolderAggregator
{
public:
    virtual ~ContentFolderAggregator() = default;

    // When two or more folders of this aggregator's family are in `destinations`, puts one
    // new aggregate folder for them into `result` (the others pass through) and answers
    // true; otherwise `result` is the list unchanged and the answer false.
    virtual bool Aggregate(const QList<ContentFolder*>& destinations, QList<ContentFolder*>& result) = 0;
    // Deletes every aggregate folder of `folders` that this aggregator made and takes it
    // out of the list.
    virtual void Release(QList<ContentFolder*>& folders) = 0;
};
