#pragma once

#include <functional>

#include <juce_gui_basics/juce_gui_basics.h>

#include "CleanupPreviews.h"
#include "GatedTrackList.h"
#include "PhaseBar.h"

namespace dunmoor::ui
{

class AppState;

/**
    Hearing the noise-floor cleanup on the Levels & Export page: a track of the cleanup preview,
    cleaned with the current settings, played from a point through the audition engine under
    "cleanup:" and the track's path. The cleaned audio is prepared in the background into a
    preview file the first time (CleanupPreviews); meanwhile the render bar's text says so, and
    it says why when a preview cannot be made. A run's own text in the bar is never replaced.

    It takes over the list's play, seek, playing and playhead callbacks, and serves Space and
    the arrow keys of the page. Message thread only.
*/
class CleanupAudition
{
public:
    /** idleText: what the bar says when nothing of a run or a preview is there to say. */
    CleanupAudition (AppState& app, GatedTrackList& list, PhaseBar& statusBar, std::function<juce::String()> idleText);

    /** Space: stops what plays or is being prepared; otherwise plays the last cleaned audition
        again, or the first track of the list that is not folded away. */
    void togglePlayback();

    /** Left and right arrows: the playing row jumps to its next or previous cleaned stretch;
        false when nothing of the list plays or there is no such stretch. */
    bool handleKey (bool forward);

    /** Plays a track cleaned with the current settings from a point, preparing its preview
        first when there is none; with toggle, a second press of the same track stops it. */
    void audition (const juce::File& file, const juce::String& name, double seconds, bool toggle);

    /** Stops what plays and drops a preparation under way. */
    void stop();

    /** Where the cleaned preview of a track is kept under the current settings; the empty file
        when the private preview folder cannot be used. */
    juce::File getPreviewFile (const juce::File& file) const;

    CleanupPreviews& getPreviews() noexcept { return previews; }

private:
    void remember (const GatedTrackRow& row, double seconds);
    void setStatus (const juce::String& text);
    void clearStatus();

    AppState& app;
    GatedTrackList& list;
    PhaseBar& statusBar;
    std::function<juce::String()> idleText;

    juce::File lastFile;        // the last cleaned audition asked for
    juce::String lastName;
    double lastSeconds = 0.0;
    juce::File lastPlayedPreview;
    juce::String status;        // the preparing or failure text this put in the bar

    // Last: it goes first, waiting for a running preparation before anything it hands back to goes.
    CleanupPreviews previews;

    JUCE_DECLARE_NON_COPYABLE (CleanupAudition)
};

} // namespace dunmoor::ui
