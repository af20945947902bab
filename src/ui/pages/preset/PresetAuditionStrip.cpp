#include "PresetAuditionStrip.h"

#include "PresetAudition.h"

namespace dunmoor::ui
{

PresetAuditionStrip::PresetAuditionStrip (PresetPageContext& contextToUse)
    : context (contextToUse),
      engine (contextToUse.appState.previewEngine)
{
    setTitle ("Audition strip");

    // The idle box's outline is stroked on its edge, so half of it lies just past the strip.
    setPaintingIsUnclipped (true);

    auditionView.setPlaceholderText ({});
    auditionView.setTitle ("Audition");
    addChildComponent (auditionView);

    auditionView.onSeek = [this] (double fraction)
    {
        // Only a playing window moves; a load in flight keeps its own start.
        if (isAuditioning() && engine.isPlaying())
            engine.seekWithinWindow (fraction);
    };
}

PresetAuditionStrip::~PresetAuditionStrip()
{
    stopTimer();
}

void PresetAuditionStrip::playStateChanged()
{
    if (onPlayStateChanged != nullptr)
        onPlayStateChanged();
}

juce::StringArray PresetAuditionStrip::getAuditionTracks (const Stem& stem, const juce::String& cueKey) const
{
    return PresetAudition::stemFiles (context.session.getTracks(), cueKey, stem.id);
}

void PresetAuditionStrip::auditionStem (const Stem& stem, const juce::String& cueKey)
{
    const auto* current = context.session.getPreset().schema.findStem (stem.id);

    if (current == nullptr || cueKey.isEmpty())
        return;

    startAudition (getAuditionTracks (*current, cueKey), current->displayName, PresetAudition::stemSourceId (cueKey, current->id));
}

void PresetAuditionStrip::auditionMix (const AlternativeMix& mix, const juce::String& cueKey)
{
    if (cueKey.isEmpty())
        return;

    const auto& session = context.session;
    const auto* cue = session.findCue (cueKey);
    const auto& schema = session.getPreset().schema;
    const auto* current = schema.findAlternativeMix (mix.id);
    const auto files = cue != nullptr && current != nullptr ? PresetAudition::mixFiles (schema, session.getTracks(), *cue, *current)
                                                            : juce::StringArray();

    startAudition (files, mix.name, PresetAudition::mixSourceId (cueKey, mix.id));
}

void PresetAuditionStrip::startAudition (const juce::StringArray& files, const juce::String& label, const juce::String& id)
{
    const auto action = PresetAudition::decide (engine.isActiveFor (id), engine.isPlaying() || engine.isLoading(),
                                                ! files.isEmpty(), engine.isAudioAvailable());

    switch (action)
    {
        case PresetAudition::Action::nothing:
            return;

        case PresetAudition::Action::noAudioOutput:
            context.showFailure ("No audio output", PresetAudition::noAudioOutputMessage (engine.getDeviceErrorText()));
            return;

        case PresetAudition::Action::stop:
            engine.stop();
            break;

        case PresetAudition::Action::play:
            engine.play (files, context.session.getPreset().exportSettings.masterSampleRate, label, id, 0.0,
                         PreviewEngine::playFromFirstSound);
            break;
    }

    if (! isTimerRunning())
        startTimerHz (auditionRefreshHz);

    playStateChanged();
    updateAuditionState();
}

bool PresetAuditionStrip::isAuditioning() const
{
    return (engine.isPlaying() || engine.isLoading()) && PresetAudition::isPresetSource (engine.getRequestedSourceId());
}

bool PresetAuditionStrip::isSourcePlaying (const juce::String& sourceId) const
{
    return (engine.isPlaying() || engine.isLoading()) && engine.isActiveFor (sourceId);
}

void PresetAuditionStrip::stop()
{
    engine.stop();
    playStateChanged();
    updateAuditionState();
}

void PresetAuditionStrip::timerCallback()
{
    updateAuditionState();
    playStateChanged();

    if (! engine.isPlaying() && ! engine.isLoading())
        stopTimer();
}

void PresetAuditionStrip::updateAuditionState()
{
    if (! isAuditioning())
    {
        auditionView.setPlayheadPosition (-1.0);
        shownAuditionKey = {};

        if (auditionView.isVisible())
        {
            auditionView.setVisible (false);
            repaint();
        }

        return;
    }

    const auto loadedId = engine.getLoadedSourceId();
    const auto key = loadedId + "@" + juce::String (engine.getLoadedWindow().startSeconds, 3);

    if (loadedId.isNotEmpty() && key != shownAuditionKey)
    {
        shownAuditionKey = key;
        const auto overview = engine.getMixOverview();

        if (overview.maximums.empty())
            auditionView.clear();
        else
            auditionView.setPeaks (overview);
    }

    if (engine.isLoading())
    {
        auditionView.setBusyText ("Preparing");
        auditionView.setBusyProgress (engine.getLoadProgress());
    }

    auditionView.setBusy (engine.isLoading());
    auditionView.setPlayheadPosition (engine.getWindowPosition());
    auditionView.setVisible (true);
}

void PresetAuditionStrip::layOut (const PresetPageLayout& l)
{
    setBounds (l.auditionStrip);
}

void PresetAuditionStrip::resized()
{
    auditionView.setBounds (getLocalBounds());
}

void PresetAuditionStrip::paint (juce::Graphics& g)
{
    // While nothing of this page plays, the strip names the stem the editor shows.
    if (auditionView.isVisible() || getLocalBounds().isEmpty())
        return;

    const auto palette = currentPalette();
    const auto box = getLocalBounds().toFloat();
    g.setGradientFill (subtleGradient (palette.raisedBackground, box));
    g.fillRoundedRectangle (box, 4.0f);
    g.setColour (palette.subtleOutline);
    g.drawRoundedRectangle (box.translated (0.5f, 0.5f).withSizeKeepingCentre (box.getWidth() - 1.0f, box.getHeight() - 1.0f), 4.0f, 1.0f);

    drawPaintedTexts (g, getPaintedTexts());
}

std::vector<PaintedText> PresetAuditionStrip::getPaintedTexts() const
{
    if (auditionView.isVisible() || getLocalBounds().isEmpty())
        return {};

    const auto palette = currentPalette();
    const auto* stem = getSelectedStem != nullptr ? getSelectedStem() : nullptr;
    return { { stem != nullptr ? stem->displayName : juce::String ("No stem selected"), getLocalBounds().reduced (6, 0).toFloat(), fontBold14_5(),
               stem != nullptr ? palette.textPrimary : palette.textDisabled, juce::Justification::centred } };
}

} // namespace dunmoor::ui
