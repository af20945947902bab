#include "AlternativeMixSums.h"

#include "core/audio/AudioBufferOps.h"

namespace dunmoor
{

namespace
{
    bool isPlanned (const RenderRequest& request, const juce::String& stemId)
    {
        for (const auto& plan : request.stems)
            if (plan.id == stemId)
                return true;

        return false;
    }

    /** A planned member whose turn has not come yet is waited for; a member that is not in the
        plan never comes and is passed over. */
    bool mustWaitFor (const RenderRequest& request, const std::set<juce::String>& passedStems, const juce::String& memberId)
    {
        return passedStems.count (memberId) == 0 && isPlanned (request, memberId);
    }
} // namespace

bool writesAlternativeMixes (const Preset& preset)
{
    return preset.exportSettings.fullMix.exportSubmixes && ! preset.schema.alternativeMixes.empty();
}

bool isMemberOfAnyMix (const Preset& preset, const juce::String& stemId)
{
    for (const auto& mix : preset.schema.alternativeMixes)
        if (mix.stemIds.contains (stemId))
            return true;

    return false;
}

std::vector<int> countMixSumsAfterEachStem (const RenderRequest& request)
{
    std::vector<int> counts;
    const auto& mixes = request.preset.schema.alternativeMixes;
    std::vector<int> next (mixes.size(), 0);
    std::vector<juce::StringArray> added (mixes.size());
    std::set<juce::String> passed;

    std::set<juce::String> withAudio;

    for (const auto& plan : request.stems)
        if (! plan.tracks.empty() || plan.emptyPolicy == EmptyStemPolicy::exportSilence)
            withAudio.insert (plan.id);

    for (const auto& plan : request.stems)
    {
        passed.insert (plan.id);

        for (size_t m = 0; m < mixes.size(); ++m)
        {
            const auto& members = mixes[m].stemIds;

            for (; next[m] < members.size() && ! mustWaitFor (request, passed, members[next[m]]); ++next[m])
                if (withAudio.count (members[next[m]]) > 0)
                    added[m].add (members[next[m]]);
        }

        std::set<juce::String> distinct;

        for (const auto& history : added)
            if (! history.isEmpty())
                distinct.insert (history.joinIntoString ("\n"));

        counts.push_back ((int) distinct.size());
    }

    return counts;
}

//==============================================================================
void AlternativeMixSums::start (const Preset& preset)
{
    sums.clear();

    for (const auto& mix : preset.schema.alternativeMixes)
    {
        MixSum mixSum;
        mixSum.mix = &mix;
        sums.push_back (std::move (mixSum));
    }
}

bool AlternativeMixSums::collect (const RenderRequest& request,
                                  RenderWorkers* helpers,
                                  int64_t renderedLength,
                                  const juce::String& stemId,
                                  ConstBuffer finished,
                                  juce::String& error)
{
    passedStems.insert (stemId);

    if (finished != nullptr)
        heldStems[stemId] = std::move (finished);

    for (;;)
    {
        // Members without audio (skipped, or not in the plan) change no sum.
        for (auto& mixSum : sums)
        {
            const auto& members = mixSum.mix->stemIds;

            while (mixSum.nextMember < members.size()
                   && ! mustWaitFor (request, passedStems, members[mixSum.nextMember])
                   && heldStems.count (members[mixSum.nextMember]) == 0)
                ++mixSum.nextMember;
        }

        // The first mix with a member ready, and every mix on the same sum adding that member.
        auto wants = [&] (const MixSum& mixSum) -> juce::String
        {
            const auto& members = mixSum.mix->stemIds;

            if (mixSum.nextMember >= members.size() || mustWaitFor (request, passedStems, members[mixSum.nextMember]))
                return {};

            return members[mixSum.nextMember];
        };

        size_t first = sums.size();

        for (size_t m = 0; m < sums.size() && first == sums.size(); ++m)
            if (wants (sums[m]).isNotEmpty())
                first = m;

        if (first == sums.size())
            break;

        const auto memberId = wants (sums[first]);
        const auto shared = sums[first].sum;
        std::vector<size_t> adding;
        bool othersOnSameSum = false;

        for (size_t m = 0; m < sums.size(); ++m)
        {
            if (sums[m].sum != shared || (shared == nullptr && m != first && wants (sums[m]) != memberId))
                continue;

            if (wants (sums[m]) == memberId)
                adding.push_back (m);
            else
                othersOnSameSum = true;
        }

        SharedBuffer target = shared;

        if (target == nullptr || othersOnSameSum)
        {
            auto fresh = std::make_shared<juce::AudioBuffer<double>>();

            if (! allocateRenderBuffer (*fresh, request.numChannels, renderedLength, error))
            {
                error = sums[first].mix->name + ": " + error;
                return false;
            }

            if (shared != nullptr)
                sumInto (helpers, *fresh, *shared, true);

            target = fresh;
        }

        sumInto (helpers, *target, *heldStems[memberId], false);

        for (auto m : adding)
        {
            auto& mixSum = sums[m];
            mixSum.sum = target;
            mixSum.hasMember = true;
            ++mixSum.nextMember;
        }
    }

    // Drop what no mix still waits for.
    for (auto it = heldStems.begin(); it != heldStems.end();)
    {
        bool needed = false;

        for (const auto& mixSum : sums)
            for (int m = mixSum.nextMember; m < mixSum.mix->stemIds.size() && ! needed; ++m)
                needed = mixSum.mix->stemIds[m] == it->first;

        it = needed ? std::next (it) : heldStems.erase (it);
    }

    return true;
}

bool AlternativeMixSums::addWindow (const std::map<juce::String, const juce::AudioBuffer<double>*>& members,
                                    int64_t offset,
                                    int count,
                                    int numChannels,
                                    int64_t renderedLength,
                                    juce::String& error)
{
    const auto frames = (int) std::min<int64_t> (count, renderedLength - offset);

    for (auto& mixSum : sums)
    {
        for (const auto& id : mixSum.mix->stemIds)
        {
            const auto found = members.find (id);

            if (found == members.end() || frames <= 0)
                continue;

            // A fresh sum starts from silence, as a sum of whole stems does.
            if (mixSum.sum == nullptr)
            {
                auto fresh = std::make_shared<juce::AudioBuffer<double>>();

                if (! allocateRenderBuffer (*fresh, numChannels, renderedLength, error))
                {
                    error = mixSum.mix->name + ": " + error;
                    return false;
                }

                mixSum.sum = std::move (fresh);
            }

            mixSum.hasMember = true;
            const auto& window = *found->second;
            auto* const* sum = mixSum.sum->getArrayOfWritePointers();
            const auto* const* added = window.getArrayOfReadPointers();

            for (int ch = 0; ch < numChannels && ch < window.getNumChannels(); ++ch)
                juce::FloatVectorOperations::add (sum[ch] + offset, added[ch], frames);
        }
    }

    return true;
}

void AlternativeMixSums::clear()
{
    sums.clear();
    passedStems.clear();
    heldStems.clear();
}

} // namespace dunmoor
