#pragma once

#include <functional>

#include "PresetPageContext.h"
#include "PresetPageLayout.h"
#include "ui/look/PaintedText.h"
#include "ui/widgets/WaveformView.h"

namespace dunmoor::ui
{

/**
    Listening on the Preset & Stems page to what a stem or an alternative mix would hold for one
    cue: the strip above the stem editor shows the waveform of what plays, with its playhead,
    and the name of the selected stem while nothing of this page plays. The stem rows and the
    mix headings start and stop it; Space on the page toggles it.
*/
class PresetAuditionStrip : public juce::Component,
                            public PaintsTexts,
                            private juce::Timer
{
public:
    explicit PresetAuditionStrip (PresetPageContext& context);
    ~PresetAuditionStrip() override;

    /** Plays (or stops) the cue's readable tracks on the stem; nothing without a cue. */
    void auditionStem (const Stem& stem, const juce::String& cueKey);

    /** Plays (or stops) the stems the mix holds for the cue; nothing without a cue. */
    void auditionMix (const AlternativeMix& mix, const juce::String& cueKey);

    /** The full paths of the cue's readable tracks on the stem, in session order. */
    juce::StringArray getAuditionTracks (const Stem& stem, const juce::String& cueKey) const;

    /** Plays the files under the id, or stops when that id already plays or loads; says so
        when there is no audio output. */
    void startAudition (const juce::StringArray& files, const juce::String& label, const juce::String& id);

    /** True while a stem or mix of this page plays or loads. */
    bool isAuditioning() const;

    /** True while that very source plays or loads. */
    bool isSourcePlaying (const juce::String& sourceId) const;

    /** Stops an audition of this page. */
    void stop();

    /** Brings the waveform in line with the engine: shown while this page's audition plays or
        loads, hidden (and the stem's name shown) otherwise. */
    void updateAuditionState();

    /** Takes its place, from the page's layout. */
    void layOut (const PresetPageLayout& layout);

    /** The selected stem's name while nothing of this page plays. */
    std::vector<PaintedText> getPaintedTexts() const override;

    void paint (juce::Graphics& g) override;
    void resized() override;

    /** The stem whose name the idle strip shows; none shows "No stem selected". */
    std::function<const Stem*()> getSelectedStem;

    /** Twelve times a second while something plays, and after each start or stop: the rows and
        headings that show a play or stop button repaint. */
    std::function<void()> onPlayStateChanged;

    static constexpr int auditionRefreshHz = 12;

private:
    void timerCallback() override;
    void playStateChanged();

    PresetPageContext& context;
    PreviewEngine& engine;
    WaveformView auditionView;
    juce::String shownAuditionKey; // loaded source id + "@" + window start of the shown overview

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PresetAuditionStrip)
};

} // namespace dunmoor::ui
