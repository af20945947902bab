#pragma once

#include <functional>
#include <optional>

#include <juce_gui_basics/juce_gui_basics.h>

#include "ui/app/AppState.h"
#include "ui/pages/review/ReviewCueChoice.h"
#include "ui/pages/review/ReviewMixChoice.h"
#include "ui/pages/review/StemMeters.h"
#include "ui/widgets/TransportButton.h"
#include "ui/widgets/WaveformView.h"

namespace dunmoor::ui
{

/**
    The Review page's audition strip: "Track" plays the page's selection summed, "Mix" the chosen
    cue's full or alternative mix, a waveform shows what plays (click to jump) with the time
    beside it, and while either plays every stem heading of the page's tree shows a live meter.

    The meters do not listen to the audio: they read the waveform overviews of the playing files
    at the playhead, 60 times a second while needed. The strip knows the page's selection and
    cue only through what it is handed; it tells the page when the meters moved (to repaint the
    tree), when a mix was chosen and when there is no audio output to say so. Message thread only.
*/
class ReviewAuditionStrip : public juce::Component, private WaveformCache::Listener
{
public:
    /** The page's selection: track ids in tree order, and its audition id. */
    struct Selection
    {
        std::function<juce::StringArray()> getTrackIds;
        std::function<juce::String()> getPreviewKey;
    };

    /** What the two buttons and the mix choice take from the left of the strip, gaps included. */
    static constexpr int buttonsWidth = 110 + 5 + 86 + 5 + 170 + 12;

    ReviewAuditionStrip (AppState& app, const ReviewCueChoice& cueChoice, Selection selection);
    ~ReviewAuditionStrip() override;

    /** Plays the selection summed (or stops it when it is already playing); with a fraction of
        the shown waveform, starts there. */
    void auditionSelection (std::optional<double> startFraction = std::nullopt);

    /** Plays one track on its own, or stops it (a double click on its row). */
    void auditionTrack (const juce::String& trackId);

    /** Plays the chosen cue's mix (full or alternative), or stops it. */
    void toggleMixAudition();

    /** A click into the waveform at a fraction of its width. */
    void seekPreview (double fraction);

    /** True while the page's own audition (a "track:" or "mix:" id) plays or loads. */
    bool isPreviewing() const;

    /** The files the Mix button plays now; empty when there is nothing to sum. */
    juce::StringArray getMixFiles() const;

    /** The chosen mix's id (empty: full mix). */
    const juce::String& getMixChoice() const noexcept { return mixChoice.getChosenId(); }

    /** Refills the mix choice from the working schema when its mixes changed. */
    void refreshMixChoices();

    void setButtonsEnabled (bool track, bool mix);

    /** The buttons' states, the waveform and its playhead from the engine. */
    void refreshPreview();

    /** The waveform of the selection's one track, when exactly one readable track is selected. */
    void refreshWaveform();

    /** The page's 10 Hz tick: preview, meters started when the audition plays, the time text. */
    void tick();

    //==============================================================================
    /** The bar of a stem's meter, 0..1 (the "Unassigned" heading's key is empty). */
    float getMeterLevel (const juce::String& stemKey) const { return meters.getLevel (stemKey); }
    float getMeterPeak (const juce::String& stemKey) const { return meters.getPeak (stemKey); }

    /** One step of the meters at the clock's time; the meter timer calls it at 60 Hz. */
    void updateMeters();

    /** Seconds for the meters; the high-resolution clock unless a test sets another. */
    std::function<double()> meterClock;

    /** Tells the strip that the session changed, so that what an audition plays is looked up again. */
    void noteSessionChange() noexcept { ++sessionGeneration; }

    bool isMeterTimerRunning() const { return meterTimer.isTimerRunning(); }

    /** The meter steps that asked the page to repaint its tree (tests and benchmarks). */
    int getMeterRepaintCount() const noexcept { return meterRepaintCount; }

    //==============================================================================
    /** The meters moved: the page repaints the stem headings. */
    std::function<void()> onMetersMoved;

    /** Another mix was chosen (the audition has stopped). */
    std::function<void()> onMixChosen;

    /** A warning for the page to show (title, text). */
    std::function<void (const juce::String&, const juce::String&)> onWarning;

    void resized() override;

private:
    struct MeterTimer : juce::Timer
    {
        explicit MeterTimer (ReviewAuditionStrip& s) : strip (s) {}
        void timerCallback() override;
        ReviewAuditionStrip& strip;
    };

    void waveformsChanged() override { refreshPreview(); }
    void startPreview (const juce::StringArray& files, const juce::String& caption, const juce::String& id, std::optional<double> startFraction);
    int getTimeLabelWidth() const;

    AppState& app;
    const ReviewCueChoice& cueChoice;
    Selection selection;

    TransportButton trackButton { "Track" }, mixButton { "Mix" };
    juce::ComboBox mixBox;
    WaveformView waveformView;
    juce::Label timeLabel;

    ReviewMixChoice mixChoice;
    StemMeters meters;

    /** The files an audition id plays and the stems they feed, for the meters. */
    struct PlayingSource
    {
        juce::String path;
        juce::String stemId;
        std::shared_ptr<const WaveformOverview> overview;
    };

    struct PlayingSet
    {
        juce::String id;
        juce::uint64 generation = 0;
        std::vector<PlayingSource> sources;
    };

    PlayingSet playing;
    juce::uint64 sessionGeneration = 1; // counts session notifications
    MeterTimer meterTimer { *this };
    int meterRepaintCount = 0;
    int stripWidth = 0; // what the last layout left for the waveform and the time label

    WaveformOverview shownOverview;
    juce::String shownWaveformPath;
    juce::String shownWindowKey;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ReviewAuditionStrip)
};

} // namespace dunmoor::ui
