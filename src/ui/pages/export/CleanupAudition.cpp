#include "CleanupAudition.h"

#include "ui/app/AppState.h"

namespace dunmoor::ui
{

namespace
{
    juce::String auditionIdOf (const juce::File& file)
    {
        return "cleanup:" + file.getFullPathName();
    }
} // namespace

CleanupAudition::CleanupAudition (AppState& appState, GatedTrackList& gatedList, PhaseBar& bar, std::function<juce::String()> idle)
    : app (appState), list (gatedList), statusBar (bar), idleText (std::move (idle))
{
    auto& engine = app.previewEngine;

    list.onPlay = [this] (const GatedTrackRow& row, double seconds)
    {
        if (! row.path.existsAsFile())
            return;

        remember (row, seconds);
        audition (row.path, row.fileName, seconds, true);
    };

    list.onSeek = [this, &engine] (const GatedTrackRow& row, double seconds)
    {
        if (! row.path.existsAsFile() || row.durationSeconds <= 0.0)
            return;

        if (engine.isActiveFor (auditionIdOf (row.path)) && (engine.isPlaying() || engine.isLoading()))
        {
            // A newer request than whatever is still being prepared: that must not start later.
            if (previews.isPreparing())
            {
                clearStatus();
                previews.cancel();
            }

            engine.seekToFraction (juce::jlimit (0.0, 1.0, seconds / row.durationSeconds));
            return;
        }

        remember (row, seconds);
        audition (row.path, row.fileName, seconds, false);
    };

    list.isPlaying = [&engine] (const GatedTrackRow& row) { return engine.isActiveFor (auditionIdOf (row.path)); };
    list.getPlayheadFraction = [&engine] (const GatedTrackRow& row)
    {
        return engine.isActiveFor (auditionIdOf (row.path)) ? engine.getPlayheadFraction() : -1.0;
    };
    list.onTogglePlay = [this] { togglePlayback(); };
}

void CleanupAudition::remember (const GatedTrackRow& row, double seconds)
{
    lastFile = row.path;
    lastName = row.fileName;
    lastSeconds = seconds;
}

void CleanupAudition::togglePlayback()
{
    auto& engine = app.previewEngine;

    // Preparing counts as playing: Space stops it before it can start.
    if (engine.isPlaying() || engine.isLoading() || previews.isPreparing())
    {
        stop();
        list.repaint();
        return;
    }

    if (lastFile.existsAsFile())
    {
        audition (lastFile, lastName, lastSeconds, false);
        list.repaint();
        return;
    }

    if (! list.isVisible() || list.onPlay == nullptr)
        return;

    for (const auto& row : list.getRows())
    {
        if (list.getFoldedCues().contains (row.cueName))
            continue;

        list.onPlay (row, CleanupView::playStartSeconds (row));
        return;
    }
}

bool CleanupAudition::handleKey (bool forward)
{
    return list.isVisible() && list.handlePlayingRowKey (forward);
}

void CleanupAudition::stop()
{
    if (previews.isPreparing())
        clearStatus();

    previews.cancel();
    app.previewEngine.stop();
}

juce::File CleanupAudition::getPreviewFile (const juce::File& file) const
{
    juce::String error;
    const auto& settings = app.session.getPreset().exportSettings;
    return previews.getPreviewFile (file, settings.silenceGate, settings.masterSampleRate, error);
}

void CleanupAudition::setStatus (const juce::String& text)
{
    status = text;
    statusBar.setText (text);
}

void CleanupAudition::clearStatus()
{
    // Only the text this put there goes; a run's text stays.
    if (status.isNotEmpty() && statusBar.getText() == status)
        statusBar.setText (idleText());

    status.clear();
}

void CleanupAudition::audition (const juce::File& file, const juce::String& name, double seconds, bool toggle)
{
    auto& engine = app.previewEngine;
    const auto id = auditionIdOf (file);
    const auto& settings = app.session.getPreset().exportSettings;
    const auto rate = settings.masterSampleRate;
    const auto gate = settings.silenceGate;

    // A second press on the track being prepared stops it, as it would stop it playing.
    if (toggle && previews.isPreparing() && previews.getPreparingSource() == file)
    {
        stop();
        return;
    }

    juce::String error;
    const auto preview = previews.getPreviewFile (file, gate, rate, error);

    if (preview == juce::File())
    {
        previews.cancel();
        setStatus (name + " could not be prepared: " + error);
        return;
    }

    if (preview.existsAsFile())
    {
        // Whatever was still being prepared must not start once it is ready.
        if (previews.isPreparing())
            clearStatus();

        previews.cancel();
        lastPlayedPreview = preview;

        if (toggle)
            engine.toggle (juce::Array<juce::File> { preview }, rate, name, id, seconds, seconds);
        else
            engine.play (juce::Array<juce::File> { preview }, rate, name, id, seconds, seconds);

        return;
    }

    setStatus ("Preparing " + name + " ...");
    const auto askedBefore = engine.getRequestedSourceId();

    // Only the newest request's outcome arrives, and only while this exists.
    previews.prepare (file, preview, rate, gate, [this, preview, name, id, seconds, rate, askedBefore] (const CleanupPreviews::Outcome& outcome)
                      {
                          if (! outcome.ok)
                          {
                              setStatus (name + " could not be prepared: " + outcome.error);
                              return;
                          }

                          clearStatus();
                          auto& player = app.previewEngine;

                          // Nothing else may have been asked to play meanwhile.
                          if (player.getRequestedSourceId() != askedBefore)
                              return;

                          previews.limitTotalSize ({ preview, lastPlayedPreview });
                          lastPlayedPreview = preview;
                          player.play (juce::Array<juce::File> { preview }, rate, name, id, seconds, seconds);
                          list.repaint();
                      });
}

} // namespace dunmoor::ui
