#pragma once

class IFeedback;

// The bookkeeping every content operation shares while it walks its items and runs a step
// for each: a cancelled step (result 2) ends the walk; a failed one (result 1) marks it
// failed and ends it only when the operation stops at the first failure. The user's cancel
// is also looked at before each item, so that items whose steps need no folder change (or
// are refused at once) do not carry on after it.
//
// The walk's answer: 1 when any step failed (also when a later one was cancelled), else 2
// when it was cancelled, else 0.
class StepWalk
{
public:
    StepWalk(IFeedback* feedback, bool stopAtFirstFailure) : feedback_(feedback), stopAtFirstFailure_(stopAtFirstFailure)
    {
    }

    // Before an item: false when the walk has ended or the user has cancelled.
    bool Proceed();
    // After an item: records its step result; false when the walk ends here.
    bool Record(int result);
    // Takes over the outcome of a nested walk (a sub-operation with its own StepWalk).
    bool Absorb(const StepWalk& nested) { return Record(nested.Result()); }

    bool Failed() const { return failed_; }
    bool Ended() const { return ended_; }
    int Result() const { return failed_ ? 1 : cancelled_ ? 2 : 0; }

private:
    IFeedback* feedback_;
    const bool stopAtFirstFailure_;
    bool failed_ = false;
    bool cancelled_ = false;
    bool ended_ = false;
};
