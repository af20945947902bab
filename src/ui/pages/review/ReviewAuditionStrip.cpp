#include "ReviewAuditionStrip.h"

#include "ui/look/Theme.h"
#include "ui/pages/review/ReviewAudition.h"

namespace dunmoor::ui
{

ReviewAuditionStrip::ReviewAuditionStrip (AppState& appState, const ReviewCueChoice& cues, Selection selected)
    : app (appState), cueChoice (cues), selection (std::move (selected))
{
    meterClock = [] { return juce::Time::getMillisecondCounterHiRes() / 1000.0; };

    trackButton.setTooltip ("Audition the selection, or stop it. A track plays on its own. A stem heading plays everything under it, summed.");
    mixButton.setTooltip ("Audition the sum of every assigned track in the chosen cue, or stop it. Choose a cue first: separate cues are separate pieces of music and are never summed together.");
    mixBox.setTooltip ("What the Mix button plays: everything, or one of the alternative mixes defined in step 2.");
    waveformView.setTooltip ("What is being auditioned. Click anywhere to jump to that point.");
    waveformView.setPlaceholderText ("Press Track or Mix to audition");

    mixBox.setTitle ("Mix choice");
    trackButton.setTitle ("Track");
    mixButton.setTitle ("Mix");
    waveformView.setTitle ("Audition waveform");
    timeLabel.setTitle ("Audition time");

    timeLabel.setJustificationType (juce::Justification::centredRight);
    setLabelTone (timeLabel, LabelTone::secondary);

    mixBox.onChange = [this]
    {
        mixChoice.choose (mixBox.getSelectedId());
        app.previewEngine.stop();

        if (onMixChosen != nullptr)
            onMixChosen();
    };

    trackButton.onClick = [this] { auditionSelection(); };
    mixButton.onClick = [this] { toggleMixAudition(); };
    waveformView.onSeek = [this] (double fraction) { seekPreview (fraction); };

    addAllAndMakeVisible (*this, { &trackButton, &mixButton, &mixBox, &waveformView, &timeLabel });
    app.waveformCache.addListener (this);
}

ReviewAuditionStrip::~ReviewAuditionStrip()
{
    meterTimer.stopTimer();
    app.waveformCache.removeListener (this);
}

void ReviewAuditionStrip::resized()
{
    auto row = getLocalBounds();

    // Each control takes its width from the left of the row (cut to what is left), at its own
    // top and height, then a gap.
    const auto take = [&row] (juce::Component& c, int width, int gap, int top, int height)
    {
        c.setBounds (row.removeFromLeft (juce::jmin (width, row.getWidth())).withTrimmedTop (top).withHeight (height));
        row.removeFromLeft (juce::jmin (gap, row.getWidth()));
    };

    take (trackButton, 110, 5, 4, 30);
    take (mixButton, 86, 5, 4, 30);
    take (mixBox, 170, 12, 5, 28);

    // The time gets at most half of what is left, and only the room its text needs.
    stripWidth = row.getWidth();
    const auto timeWidth = juce::jmin (stripWidth / 2, getTimeLabelWidth());
    timeLabel.setBounds (row.removeFromRight (timeWidth));

    if (timeWidth > 0)
        row.removeFromRight (juce::jmin (6, row.getWidth()));

    waveformView.setBounds (row);
}

int ReviewAuditionStrip::getTimeLabelWidth() const
{
    const auto text = timeLabel.getText();

    if (text.isEmpty())
        return 0;

    const auto font = getLookAndFeel().getLabelFont (const_cast<juce::Label&> (timeLabel));
    return measureTextWidthCeil (font, text) + 6;
}

void ReviewAuditionStrip::setButtonsEnabled (bool track, bool mix)
{
    trackButton.setEnabled (track);
    mixButton.setEnabled (mix);
}

void ReviewAuditionStrip::refreshMixChoices()
{
    if (mixChoice.refresh (app.session.getPreset().schema) || mixBox.getNumItems() == 0)
    {
        mixBox.clear (juce::dontSendNotification);
        mixBox.addItem ("Full mix", 1);
        int id = 2;
        for (const auto& entry : mixChoice.getEntries())
            mixBox.addItem (entry.name, id++);
    }

    mixBox.setSelectedId (mixChoice.getSelectedBoxId(), juce::dontSendNotification);
}

//==============================================================================
void ReviewAuditionStrip::tick()
{
    refreshPreview();

    auto& engine = app.previewEngine;

    if (isPreviewing() && engine.isPlaying() && ! meterTimer.isTimerRunning())
        meterTimer.startTimerHz (60);

    juce::String timeText;

    if (isPreviewing())
    {
        const auto length = engine.getSourceLength();
        timeText = engine.isPlaying() && length > 0.0
                       ? formatDuration (engine.getPlayheadSeconds()) + " / " + formatDuration (length)
                       : engine.getStatusText();
    }

    if (timeLabel.getText() != timeText)
        timeLabel.setText (timeText, juce::dontSendNotification);

    // The label gets at most half the strip, so that is what its width is compared with.
    if (std::abs (juce::jmin (stripWidth / 2, getTimeLabelWidth()) - timeLabel.getWidth()) > 4)
        resized();
}

void ReviewAuditionStrip::MeterTimer::timerCallback()
{
    strip.updateMeters();

    if (strip.meters.allLevelsDown())
    {
        const auto playing = strip.isPreviewing() && strip.app.previewEngine.isPlaying();

        if (strip.meters.getHolds().empty() && ! playing)
        {
            strip.meters.clear();
            stopTimer();
        }
    }

    if (strip.onMetersMoved != nullptr)
        strip.onMetersMoved();

    ++strip.meterRepaintCount;
}

//==============================================================================
juce::StringArray ReviewAuditionStrip::getMixFiles() const
{
    return getMixTrackFiles (app.session, cueChoice.getChosenKey(), mixChoice.getChosenId());
}

bool ReviewAuditionStrip::isPreviewing() const
{
    auto& engine = app.previewEngine;

    if (! (engine.isPlaying() || engine.isLoading()))
        return false;

    const auto id = engine.getRequestedSourceId();
    return id.startsWith ("track:") || id.startsWith ("mix:");
}

void ReviewAuditionStrip::auditionSelection (std::optional<double> startFraction)
{
    const auto request = makeSelectionAudition (app.session, selection.getTrackIds());
    startPreview (request.files, request.caption, request.id, startFraction);
}

void ReviewAuditionStrip::auditionTrack (const juce::String& trackId)
{
    if (const auto* track = app.session.findTrack (trackId))
        startPreview (juce::StringArray (track->file.getFullPathName()), track->file.getFileName(), "track:" + trackId, std::nullopt);
}

void ReviewAuditionStrip::toggleMixAudition()
{
    const auto request = makeMixAudition (app.session, cueChoice.getChosenKey(), mixChoice.getChosenId());
    startPreview (request.files, request.caption, request.id, std::nullopt);
}

void ReviewAuditionStrip::startPreview (const juce::StringArray& files, const juce::String& caption, const juce::String& id, std::optional<double> startFraction)
{
    // Nothing to play is no reason to complain about the audio device.
    if (files.isEmpty())
        return;

    auto& engine = app.previewEngine;

    if (! engine.isAudioAvailable())
    {
        if (onWarning != nullptr)
            onWarning ("No audio output", juce::String ("Brackenfold") + " could not open an audio device, so auditioning is unavailable.\n\n"
                                              + engine.getDeviceErrorText());
        return;
    }

    const auto rate = app.session.getPreset().exportSettings.masterSampleRate;

    if (startFraction.has_value())
    {
        const auto duration = shownOverview.isEmpty() ? 0.0 : shownOverview.duration;
        const auto start = computePreviewStart (startFraction, duration);
        engine.play (files, rate, caption, id, start.windowStart, start.playFrom);
    }
    else if (engine.isActiveFor (id) && (engine.isPlaying() || engine.isLoading()))
    {
        // Second press stops; an audition that ran to its end starts again at once.
        engine.stop();
    }
    else
    {
        engine.play (files, rate, caption, id, 0.0, -2.0);
    }

    refreshPreview();
}

void ReviewAuditionStrip::seekPreview (double fraction)
{
    auto& engine = app.previewEngine;
    const auto active = engine.isActiveFor (selection.getPreviewKey()) && (engine.isPlaying() || engine.isLoading());

    switch (chooseSeekAction (shownWaveformPath.isNotEmpty(), active, engine.getRequestedSourceId().startsWith ("mix:"), engine.isPlaying()))
    {
        case SeekAction::seekInFile:
            engine.seekToFraction (fraction);
            refreshPreview();
            break;
        case SeekAction::seekInWindow:
            engine.seekWithinWindow (fraction);
            refreshPreview();
            break;
        case SeekAction::startAtPoint:
            auditionSelection (fraction);
            break;
    }
}

void ReviewAuditionStrip::refreshPreview()
{
    auto& engine = app.previewEngine;
    const auto trackKey = selection.getPreviewKey();
    const auto mixKey = makeMixPreviewKey (cueChoice.getChosenKey(), mixChoice.getChosenId());

    const auto trackActive = engine.isActiveFor (trackKey);
    trackButton.setPlaying (trackActive && engine.isPlaying());
    trackButton.setLoading (trackActive && engine.isLoading());

    const auto mixActive = engine.isActiveFor (mixKey);
    mixButton.setPlaying (mixActive && engine.isPlaying());
    mixButton.setLoading (mixActive && engine.isLoading());

    const auto previewing = isPreviewing();
    const auto mixing = previewing && engine.getRequestedSourceId().startsWith ("mix:");

    if (selection.getTrackIds().size() == 1 && ! mixing)
    {
        refreshWaveform();
        shownWindowKey.clear();
        waveformView.setPlayheadPosition (trackActive ? engine.getPlayheadFraction() : -1.0);
        return;
    }

    if (previewing)
    {
        shownWaveformPath.clear();
        const auto loadedId = engine.getLoadedSourceId();
        const auto key = loadedId + "@" + juce::String (engine.getLoadedWindow().startSeconds, 3);

        if (loadedId.isNotEmpty() && key != shownWindowKey)
        {
            shownWindowKey = key;
            shownOverview = engine.getMixOverview();

            if (shownOverview.isEmpty())
                waveformView.clear();
            else
                waveformView.setPeaks (shownOverview);
        }

        if (engine.isLoading())
        {
            waveformView.setBusyText (mixing ? "Preparing the mix" : "Preparing");
            waveformView.setBusyProgress (engine.getLoadProgress());
        }

        waveformView.setBusy (engine.isLoading());
        waveformView.setPlayheadPosition (engine.getWindowPosition());
        return;
    }

    waveformView.setPlayheadPosition (-1.0);
    shownWindowKey.clear();
    refreshWaveform();
}

void ReviewAuditionStrip::refreshWaveform()
{
    const auto ids = selection.getTrackIds();
    const auto* track = ids.size() == 1 ? app.session.findTrack (ids[0]) : nullptr;

    if (track != nullptr && track->isReadable())
    {
        const auto path = track->file.getFullPathName();

        if (shownWaveformPath.equalsIgnoreCase (path))
            return;

        if (const auto overview = app.waveformCache.get (path))
        {
            shownWaveformPath = path;
            shownOverview = *overview;
            waveformView.setPeaks (shownOverview);
            waveformView.setBusy (false);
            shownWindowKey.clear();
        }
        else
        {
            shownWaveformPath.clear();
            shownOverview = {};
            waveformView.clear();
            waveformView.setBusy (true);
        }

        return;
    }

    // Cleared together with the view, so that a click on the placeholder never starts at a
    // point of a file the strip no longer shows.
    shownWaveformPath.clear();
    shownOverview = {};
    waveformView.clear();
    waveformView.setBusy (false);
}

//==============================================================================
void ReviewAuditionStrip::updateMeters()
{
    auto& engine = app.previewEngine;
    std::map<juce::String, float> targets;

    if (isPreviewing() && engine.isPlaying())
    {
        // What an audition id plays is looked up once per id and session state, not 60 times
        // a second; overviews that are not ready yet are asked for again at each step.
        const auto id = engine.getRequestedSourceId();

        if (id != playing.id || sessionGeneration != playing.generation)
        {
            playing = { id, sessionGeneration, {} };

            for (const auto* track : getPlayingTracks (app.session, id))
                playing.sources.push_back ({ track->file.getFullPathName(), track->stemId, nullptr });
        }

        const auto t = engine.getPlayheadSeconds();

        for (auto& source : playing.sources)
        {
            if (source.overview == nullptr)
                source.overview = app.waveformCache.get (source.path);

            if (source.overview != nullptr)
                addMeterTarget (targets, source.stemId, meterTargetAt (*source.overview, t));
        }
    }

    meters.update (targets, meterClock());
}

} // namespace dunmoor::ui
