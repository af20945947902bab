#include "ui/pages/review/ReviewAudition.h"
#include "ui/pages/review/ReviewTestSupport.h"
#include "ui/pages/review/TrackDragDescription.h"

namespace dunmoor::testing
{
using namespace dunmoor::ui;

TEST (TrackDragDescription, CarriesIdsAndRefusesAnythingElse)
{
    const auto description = makeTrackDragDescription ({ "a", "b", "c" });
    EXPECT_EQ (description["type"].toString(), "dunmoor.tracks");
    EXPECT_EQ (description["tracks"].toString(), "a\nb\nc");
    EXPECT_EQ (getDraggedTrackIds (description), juce::StringArray ({ "a", "b", "c" }));

    auto withBlanks = std::make_unique<juce::DynamicObject>();
    withBlanks->setProperty ("type", "dunmoor.tracks");
    withBlanks->setProperty ("tracks", "\n a \n  \n\nb");
    EXPECT_EQ (getDraggedTrackIds (juce::var (withBlanks.release())), juce::StringArray ({ "a", "b" }));

    auto blank = std::make_unique<juce::DynamicObject>();
    blank->setProperty ("type", "dunmoor.tracks");
    blank->setProperty ("tracks", " \n \n");
    EXPECT_TRUE (getDraggedTrackIds (juce::var (blank.release())).isEmpty());

    auto foreign = std::make_unique<juce::DynamicObject>();
    foreign->setProperty ("type", "dunmoor.tracks2");
    foreign->setProperty ("tracks", "a");
    EXPECT_TRUE (getDraggedTrackIds (juce::var (foreign.release())).isEmpty());

    EXPECT_TRUE (getDraggedTrackIds (juce::var ("dunmoor.stemrow:1")).isEmpty());
    EXPECT_TRUE (getDraggedTrackIds (juce::var()).isEmpty());

    // A row that is part of the selection drags all of it; any other row only itself.
    EXPECT_EQ (trackIdsToDrag ("b", { "a", "b", "c" }), juce::StringArray ({ "a", "b", "c" }));
    EXPECT_EQ (trackIdsToDrag ("d", { "a", "b", "c" }), juce::StringArray ("d"));
}

TEST (ReviewAudition, SelectionIdsAndCaptions)
{
    ReviewSessionFixture f;

    EXPECT_EQ (makeTrackPreviewKey ({}), "track:none");
    EXPECT_EQ (makeTrackPreviewKey ({ "a", "b" }), "track:a+b");
    EXPECT_EQ (makeMixPreviewKey ("f00", ""), "mix:f00:");

    const auto one = makeSelectionAudition (f.session, { f.id ("choir.wav") });
    EXPECT_EQ (one.caption, "choir.wav");
    EXPECT_EQ (one.files, juce::StringArray (f.path ("choir.wav")));
    EXPECT_EQ (one.id, "track:" + f.id ("choir.wav"));

    // A vanished id is skipped but counted in the caption; an unreadable file is still handed
    // over (the engine reports it).
    const auto three = makeSelectionAudition (f.session, { "gone", f.id ("broken.wav"), f.id ("snare.wav") });
    EXPECT_EQ (three.caption, "broken.wav + 2 more");
    EXPECT_EQ (three.files, juce::StringArray (f.path ("broken.wav"), f.path ("snare.wav")));

    EXPECT_TRUE (makeSelectionAudition (f.session, {}).files.isEmpty());
}

TEST (ReviewAudition, MixTracksAreWhatTheCueDelivers)
{
    ReviewSessionFixture f;

    // Several cues and none chosen: cues are never summed.
    EXPECT_TRUE (getMixTrackList (f.session, {}, {}).empty());

    // The full mix of 1M01: readable and assigned tracks only.
    EXPECT_EQ (getMixTrackFiles (f.session, f.cueKey (0), {}),
               juce::StringArray (f.path ("violins_a.wav"), f.path ("horns_violins.wav"), f.path ("choir.wav")));

    const auto full = makeMixAudition (f.session, f.cueKey (0), {});
    EXPECT_EQ (full.caption, "1M01 - Full mix (3 tracks)");
    EXPECT_EQ (full.id, "mix:" + f.cueKey (0) + ":");

    const auto underscore = makeMixAudition (f.session, f.cueKey (0), "mix-underscore");
    EXPECT_EQ (underscore.caption, "1M01 - Underscore (2 tracks)");
    EXPECT_EQ (underscore.files, juce::StringArray (f.path ("violins_a.wav"), f.path ("choir.wav")));

    // The cue's own exception to the mix is what the render delivers, so it is what plays.
    const auto& mix = f.session.getPreset().schema.alternativeMixes[0];
    f.session.setCueMixMember (f.cueKey (0), mix, f.stem ("Choir"), false);
    f.session.setCueMixMember (f.cueKey (0), mix, f.stem ("Brass"), true);
    EXPECT_EQ (getMixTrackFiles (f.session, f.cueKey (0), "mix-underscore"),
               juce::StringArray (f.path ("violins_a.wav"), f.path ("horns_violins.wav")));
    EXPECT_EQ (getMixTrackFiles (f.session, f.cueKey (1), "mix-underscore"), juce::StringArray (f.path ("strings_b.wav")));

    // A mix id the schema no longer has plays the full mix, captioned as such.
    EXPECT_EQ (makeMixAudition (f.session, f.cueKey (1), "gone").caption, "1M02 - Full mix (2 tracks)");

    // The meters follow what an id plays.
    const auto playing = getPlayingTracks (f.session, makeMixPreviewKey (f.cueKey (0), "mix-underscore"));
    ASSERT_EQ (playing.size(), 2u);
    EXPECT_EQ (playing[1]->file.getFileName(), "horns_violins.wav");
    EXPECT_EQ (getPlayingTracks (f.session, "track:" + f.id ("snare.wav") + "+gone").size(), 1u);
    EXPECT_TRUE (getPlayingTracks (f.session, "presetstem:x:y").empty());
}

TEST (ReviewAudition, StartPointsAndClicksInTheStrip)
{
    struct Case
    {
        std::optional<double> fraction;
        double duration;
        double windowStart;
        double playFrom;
    };

    const Case cases[] = {
        { std::nullopt, 300.0, 0.0, -2.0 }, // a plain start: the first sound
        { 0.8, 300.0, 240.0, 240.0 },       // far in: the window starts at the point
        { 0.5, 300.0, 0.0, 150.0 },         // near the start: load from 0
        { 0.75, 300.0, 225.0, 225.0 },
        { 1.5, 100.0, 0.0, 100.0 },
        { 0.5, 0.0, 0.0, -2.0 }, // no overview shown: the click says nothing about the file
    };

    for (const auto& c : cases)
    {
        const auto start = computePreviewStart (c.fraction, c.duration);
        EXPECT_DOUBLE_EQ (start.windowStart, c.windowStart) << c.fraction.value_or (-1) << " of " << c.duration;
        EXPECT_DOUBLE_EQ (start.playFrom, c.playFrom) << c.fraction.value_or (-1) << " of " << c.duration;
    }

    // showsWholeTrack, selectionActive, mixRequested, playing
    EXPECT_EQ (chooseSeekAction (true, true, false, true), SeekAction::seekInFile);
    EXPECT_EQ (chooseSeekAction (false, true, false, true), SeekAction::seekInWindow);
    EXPECT_EQ (chooseSeekAction (false, false, true, true), SeekAction::seekInWindow);
    EXPECT_EQ (chooseSeekAction (false, false, true, false), SeekAction::startAtPoint);
    // A click into a track that is not playing starts it there instead of doing nothing.
    EXPECT_EQ (chooseSeekAction (true, false, false, false), SeekAction::startAtPoint);
    EXPECT_EQ (chooseSeekAction (true, false, true, true), SeekAction::startAtPoint);
}

} // namespace dunmoor::testing
