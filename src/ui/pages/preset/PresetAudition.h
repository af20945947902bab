#pragma once

#include <vector>

#include <juce_graphics/juce_graphics.h>

#include "core/session/Cue.h"
#include "core/session/Track.h"

namespace dunmoor::ui
{

/**
    What the Preset & Stems page plays: the readable tracks of one cue assigned to a stem, or
    to the stems an alternative mix holds for that cue, and whether a click plays or stops.
    The audition engine only compares the ids, it never reads them.
*/
struct PresetAudition
{
    static juce::String stemSourceId (const juce::String& cueKey, const juce::String& stemId);
    static juce::String mixSourceId (const juce::String& cueKey, const juce::String& mixId);

    /** True for the ids this page plays under. */
    static bool isPresetSource (const juce::String& sourceId);

    /** Full paths of the cue's readable tracks on the stem, in session order; none without a
        cue key or a stem id. */
    static juce::StringArray stemFiles (const std::vector<Track>& tracks, const juce::String& cueKey, const juce::String& stemId);

    /** The files of every stem the mix holds for the cue (its exception when it has one, else
        the mix's members), stem by stem in delivery order, each in session order. */
    static juce::StringArray mixFiles (const StemSchema& schema,
                                       const std::vector<Track>& tracks,
                                       const Cue& cue,
                                       const AlternativeMix& mix);

    enum class Action
    {
        nothing,
        stop,
        noAudioOutput,
        play
    };

    /**
        A click on a source: stop while that very source plays or loads (after it has ended by
        itself the click plays it again); otherwise nothing without files, the "No audio output"
        message without a device, and play.
    */
    static Action decide (bool activeForSource, bool playingOrLoading, bool hasFiles, bool audioAvailable);

    /** The body of the "No audio output" message, with the device's reason. */
    static juce::String noAudioOutputMessage (const juce::String& deviceError);

    /**
        The play triangle, or the stop square while playing, in a 14 x 14 box centred in the
        rectangle; nothing in an empty rectangle or when there is nothing to play.
    */
    static void drawButton (juce::Graphics& g, juce::Rectangle<int> rect, bool playing, bool hasSomething,
                            juce::Colour playingColour, juce::Colour idleColour);
};

} // namespace dunmoor::ui
