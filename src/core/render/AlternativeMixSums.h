#pragma once

#include <map>
#include <set>
#include <vector>

#include "ParallelBufferOps.h"
#include "RenderPlan.h"

namespace dunmoor
{

/** The alternative mixes the render writes: only when the preset has some and asks for them. */
bool writesAlternativeMixes (const Preset& preset);

/** True when the stem is a member of at least one alternative mix. */
bool isMemberOfAnyMix (const Preset& preset, const juce::String& stemId);

/** How many separate alternative-mix sums exist once the writing pass is past each stem
    plan: mixes that have added the same members share one. Worked out from the plan alone,
    so that the reads can leave room for a sum before it is made. */
std::vector<int> countMixSumsAfterEachStem (const RenderRequest& request);

/**
    The alternative mixes of a cue, summed while their member stems are written, so that no
    stem has to be read twice. Members are added in the order of the mix's member list, as a sum
    made at the end would add them, so the written mix does not depend on when its members came
    along. Mixes that have added the same members so far hold the very same sum, which is copied
    only where they part.
*/
class AlternativeMixSums
{
public:
    /** One empty sum per alternative mix of the preset, in its order. The preset must outlive
        the sums. */
    void start (const Preset& preset);

    /** Adds a finished member stem (null when it has no audio) to every mix waiting for it, in
        member-list order; holds it only while an earlier member of some mix is still to come.
        Mixes sharing one sum that all add the same member add it once; a mix that adds a member
        the others sharing its sum do not add gets its own copy first. False when a sum could
        not be allocated (the reason, naming the mix, in error). */
    [[nodiscard]] bool collect (const RenderRequest& request,
                                RenderWorkers* helpers,
                                int64_t renderedLength,
                                const juce::String& stemId,
                                ConstBuffer finished,
                                juce::String& error);

    /** Adds one window of the cue, frames [offset, offset + count), of every member stem with
        audio (found by id; the others are absent) to the whole-cue sums of renderedLength frames
        of the mixes (started with the same preset), each mix's members in its member-list order:
        once every window is in, each mix holds exactly what collecting whole stems gives it,
        in a sum of its own. False when a sum could not be allocated (the reason, naming the mix,
        in error). */
    [[nodiscard]] bool addWindow (const std::map<juce::String, const juce::AudioBuffer<double>*>& members,
                                  int64_t offset,
                                  int count,
                                  int numChannels,
                                  int64_t renderedLength,
                                  juce::String& error);

    size_t size() const noexcept { return sums.size(); }

    /** True when mix m had at least one member with a buffer. */
    bool hasMember (size_t m) const { return sums[m].hasMember; }

    /** Takes mix m's sum away; another mix may still share it. */
    SharedBuffer take (size_t m) { return std::move (sums[m].sum); }

    /** Drops every sum and every held member. */
    void clear();

private:
    struct MixSum
    {
        const AlternativeMix* mix = nullptr;
        int nextMember = 0;                 // position in mix->stemIds of the next member to add
        bool hasMember = false;             // at least one member had a buffer
        SharedBuffer sum;                   // null: nothing added yet
    };

    std::vector<MixSum> sums;
    std::set<juce::String> passedStems;     // stems whose turn in the write pass is over
    std::map<juce::String, ConstBuffer> heldStems;   // finished members an earlier member still waits for
};

} // namespace dunmoor
