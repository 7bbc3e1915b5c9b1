#pragma once

#include "images/FramePool.h"

#include <atomic>
#include <memory>
#include <vector>

// The frame sequence of an image, shared copy-on-write: copying a holder shares the frames
// and costs no frame memory; Write gives the holder a sequence of its own first whenever
// another holder still sees the same one, so a change never shows through a copy.
//
// Threads: one holder is never used on two threads at once unless all of them only read
// it (LEDImage serialises its own with ContentMutex, copies included). Holders that share
// a sequence may be read, written, copied and destroyed on different threads at the same
// time: a sequence is only ever changed in place by the one holder that sees it alone,
// and that holder sees whatever the others did with it before they let it go.
template <class Frame>
class SharedFrames
{
public:
    // Held in FramePool memory: a library holds thousands of these.
    using Sequence = std::vector<Frame, FrameAllocator<Frame>>;

    const Sequence& Read() const { return sequence_ ? *sequence_ : Empty(); }

    // The sequence to change, this holder's own. A reference or pointer obtained from Read
    // before is no longer this holder's after it.
    Sequence& Write()
    {
        if (!sequence_) {
            sequence_ = std::make_shared<Sequence>();
        } else if (sequence_.use_count() != 1) {
            sequence_ = std::make_shared<Sequence>(*sequence_);
        } else {
            // The count fell to one when the last other holder let go (a release): this
            // pairs with it, so that holder's reads happen before the writes that follow.
            std::atomic_thread_fence(std::memory_order_acquire);
        }
        return *sequence_;
    }

    // No frames; a sequence still shared stays with the other holders.
    void Clear() { sequence_.reset(); }

private:
    static const Sequence& Empty()
    {
        static const Sequence empty;
        return empty;
    }

    std::shared_ptr<Sequence> sequence_;
};
