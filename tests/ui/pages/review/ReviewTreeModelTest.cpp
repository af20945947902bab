#include "ui/pages/review/ReviewTestSupport.h"
#include "ui/pages/review/ReviewCueChoice.h"
#include "ui/pages/review/ReviewMixChoice.h"
#include "ui/pages/review/ReviewTreeModel.h"

namespace dunmoor::testing
{
using namespace dunmoor::ui;

namespace
{
    juce::StringArray titles (const std::vector<ReviewHeading>& headings)
    {
        juce::StringArray result;
        for (const auto& heading : headings)
            result.add (heading.title + " " + describeTrackCount (heading.trackIds.size()));
        return result;
    }
} // namespace

TEST (ReviewTreeModel, HeadingsListUnassignedFirstThenEveryStemInSchemaOrAlphabeticalOrder)
{
    ReviewSessionFixture f;

    const auto headings = buildReviewHeadings (f.session, false, ReviewFilter::everything, {}, 0xffff0000);
    EXPECT_EQ (titles (headings), juce::StringArray ({ "Unassigned 3 tracks", "01  Strings 2 tracks", "02  Brass 1 track", "03  Percussion 1 track", "04  Choir 1 track" }));
    EXPECT_EQ (headings[0].colour, 0xffff0000u);
    EXPECT_EQ (headings[0].getUniqueName(), "stem:unassigned");
    EXPECT_EQ (headings[1].getUniqueName(), "stem:" + f.stem ("Strings"));
    EXPECT_EQ (headings[1].trackIds, juce::StringArray (f.id ("violins_a.wav"), f.id ("strings_b.wav"))); // session order

    // Sorting by name keeps "Unassigned" on top; an empty stem keeps its heading.
    f.session.assignTracks ({ f.id ("choir.wav") }, {}, false);
    const auto sorted = buildReviewHeadings (f.session, true, ReviewFilter::everything, f.cueKey (0), 0);
    EXPECT_EQ (titles (sorted), juce::StringArray ({ "Unassigned 4 tracks", "02  Brass 1 track", "04  Choir 0 tracks", "03  Percussion 0 tracks", "01  Strings 1 track" }));
}

TEST (ReviewTreeModel, FilterTable)
{
    struct Case
    {
        const char* stemId;
        Confidence confidence;
        const char* cueKey;
        ReviewFilter filter;
        const char* chosenCue;
        bool passes;
    };

    using C = Confidence;
    using F = ReviewFilter;
    const Case cases[] = {
        { "s", C::confident, "a", F::everything, "", true },
        { "s", C::confident, "a", F::everything, "b", false }, // another cue
        { "s", C::confident, "a", F::everything, "a", true },
        { "s", C::confident, "a", F::needsAttention, "", false },
        { "s", C::review, "a", F::needsAttention, "", true },
        { "", C::ambiguous, "a", F::needsAttention, "", true },
        { "", C::unassigned, "a", F::needsAttention, "", true },
        { "s", C::review, "a", F::unassignedOnly, "", false },
        { "", C::ambiguous, "a", F::unassignedOnly, "", true },
        { "", C::ambiguous, "a", F::ambiguousOnly, "", true },
        { "", C::unassigned, "a", F::ambiguousOnly, "", false },
        { "", C::ambiguous, "a", F::ambiguousOnly, "b", false },
    };

    for (const auto& c : cases)
    {
        Track track;
        track.stemId = c.stemId;
        track.confidence = c.confidence;
        track.cueKey = c.cueKey;
        EXPECT_EQ (passesReviewFilter (track, c.filter, c.chosenCue), c.passes)
            << c.stemId << " " << (int) c.confidence << " filter " << (int) c.filter << " cue " << c.chosenCue;
    }

    EXPECT_EQ (reviewFilterFromBoxId (1), F::everything);
    EXPECT_EQ (reviewFilterFromBoxId (4), F::ambiguousOnly);
    EXPECT_EQ (reviewFilterFromBoxId (0), F::everything);

    // "Ambiguous only": the engine gives ambiguous tracks no stem, so they all sit under
    // "Unassigned" while every stem heading still shows, empty.
    ReviewSessionFixture f;
    const auto headings = buildReviewHeadings (f.session, false, F::ambiguousOnly, {}, 0);
    EXPECT_EQ (titles (headings), juce::StringArray ({ "Unassigned 1 track", "01  Strings 0 tracks", "02  Brass 0 tracks", "03  Percussion 0 tracks", "04  Choir 0 tracks" }));
}

TEST (ReviewTreeModel, StatusLineCountsReadableTracksOfTheChosenCue)
{
    ReviewSessionFixture f;

    // 1M01: 5 readable (broken.wav is not), Glimmer and kick_violins unassigned.
    EXPECT_EQ (buildReviewStatusText (f.session, f.cueKey (0)),
               "1M01   5 usable track(s)   2 unassigned   1 ambiguous   1 to check");
    EXPECT_EQ (buildReviewStatusText (f.session, {}),
               "7 usable track(s)   2 unassigned   1 ambiguous   1 to check"
               "      Choose a cue to hear its mix: cues are never summed together.");

    // A single cue: no name, no hint.
    f.session.removeTracks ({ f.id ("strings_b.wav"), f.id ("snare.wav") });
    EXPECT_EQ (buildReviewStatusText (f.session, {}), "5 usable track(s)   2 unassigned   1 ambiguous   1 to check");
}

TEST (ReviewTreeModel, EnablementFollowsUndoHistorySelectionAndOutput)
{
    const auto none = computeReviewEnablement (0, 1, 0, true, true);
    EXPECT_FALSE (none.undo);
    EXPECT_FALSE (none.redo);
    EXPECT_FALSE (none.selectionActions);
    EXPECT_FALSE (none.track);
    EXPECT_TRUE (none.mix);

    const auto middle = computeReviewEnablement (1, 3, 2, false, true);
    EXPECT_TRUE (middle.undo);
    EXPECT_TRUE (middle.redo);
    EXPECT_TRUE (middle.selectionActions);
    EXPECT_FALSE (middle.track); // no audio output
    EXPECT_FALSE (middle.mix);

    EXPECT_FALSE (computeReviewEnablement (2, 3, 1, true, false).redo);
    EXPECT_FALSE (computeReviewEnablement (2, 3, 1, true, false).mix);
}

TEST (ReviewCueChoice, OpensOnTheFirstCueAndKeepsAllCuesOncePicked)
{
    ReviewSessionFixture f;
    ReviewCueChoice choice;

    const auto first = choice.refresh (f.session);
    EXPECT_TRUE (first.visibilityChanged);
    EXPECT_TRUE (first.refilled);
    ASSERT_EQ (choice.getEntries().size(), 2u);
    EXPECT_EQ (choice.getEntries()[0].text, "1M01  (3 stems)"); // Strings, Brass, Choir
    EXPECT_EQ (choice.getEntries()[1].text, "1M02  (2 stems)");
    EXPECT_EQ (choice.getChosenKey(), f.cueKey (0));
    EXPECT_EQ (choice.getSelectedBoxId(), 2);

    // Nothing changed: nothing to do.
    const auto again = choice.refresh (f.session);
    EXPECT_FALSE (again.visibilityChanged || again.refilled);

    choice.choose (1);
    EXPECT_TRUE (choice.getChosenKey().isEmpty());
    EXPECT_EQ (choice.getSelectedBoxId(), 1);

    // With every cue in view a row names its cue, since cues share file names; one cue needs no such help.
    const auto& snare = *f.session.findTrack (f.id ("snare.wav"));
    EXPECT_EQ (buildTrackRowName (f.session, snare, true), "snare.wav  (1M02)");
    EXPECT_EQ (buildTrackRowName (f.session, snare, false), "snare.wav");

    // A change of the counts refills the box and keeps "All cues".
    f.session.assignTracks ({ f.id ("snare.wav") }, f.stem ("Brass"), false);
    f.session.assignTracks ({ f.id ("strings_b.wav") }, f.stem ("Brass"), false);
    EXPECT_TRUE (choice.refresh (f.session).refilled);
    EXPECT_EQ (choice.getEntries()[1].text, "1M02  (1 stem)");
    EXPECT_TRUE (choice.getChosenKey().isEmpty());

    choice.choose (3);
    EXPECT_EQ (choice.getChosenKey(), f.cueKey (1));

    // One cue left: hidden, empty, about every track.
    f.session.removeTracks ({ f.id ("strings_b.wav"), f.id ("snare.wav") });
    const auto single = choice.refresh (f.session);
    EXPECT_TRUE (single.visibilityChanged);
    EXPECT_FALSE (choice.isVisible());
    EXPECT_TRUE (choice.getChosenKey().isEmpty());
    EXPECT_EQ (choice.getSelectedBoxId(), 0);
}

// Cues of another project with the same names and counts once left the choice on a key that no
// cue has, and every track was filtered out.
TEST (ReviewCueChoice, SameNamedCuesOfAnotherProjectAreNotTakenForTheOldOnes)
{
    ReviewSessionFixture before;
    ReviewCueChoice choice;
    choice.refresh (before.session);
    const auto oldKey = choice.getChosenKey();

    ReviewSessionFixture other; // same folder names, other paths, so other keys
    ASSERT_NE (other.cueKey (0), oldKey);
    EXPECT_TRUE (choice.refresh (other.session).refilled);
    EXPECT_EQ (choice.getChosenKey(), other.cueKey (0));
    EXPECT_EQ (buildReviewHeadings (other.session, false, ReviewFilter::everything, choice.getChosenKey(), 0)[1].trackIds.size(), 1);

    // Once the user has picked a cue, a vanished cue falls back to "All cues".
    choice.choose (3);
    ReviewSessionFixture third;
    choice.refresh (third.session);
    EXPECT_TRUE (choice.getChosenKey().isEmpty());
    EXPECT_EQ (choice.getSelectedBoxId(), 1);
}

TEST (ReviewMixChoice, MixesAreKeptByIdAndADeadIdFallsBackToTheFullMix)
{
    auto schema = makeReviewPreset().schema;
    ReviewMixChoice choice;

    EXPECT_TRUE (choice.refresh (schema));
    EXPECT_EQ (choice.getSelectedBoxId(), 1);
    EXPECT_FALSE (choice.refresh (schema));

    choice.choose (2);
    EXPECT_EQ (choice.getChosenId(), "mix-underscore");
    EXPECT_EQ (choice.getSelectedBoxId(), 2);

    // A new mix in front: the box is refilled and the choice moves with its mix.
    schema.alternativeMixes.insert (schema.alternativeMixes.begin(), AlternativeMix { "mix-front", "Front", {}, {} });
    EXPECT_TRUE (choice.refresh (schema));
    EXPECT_EQ (choice.getChosenId(), "mix-underscore");
    EXPECT_EQ (choice.getSelectedBoxId(), 3);

    // Another preset whose mix has the same name but another id: the full mix.
    auto other = makeReviewPreset().schema;
    other.alternativeMixes[0].id = "mix-other";
    EXPECT_TRUE (choice.refresh (other));
    EXPECT_TRUE (choice.getChosenId().isEmpty());
    EXPECT_EQ (choice.getSelectedBoxId(), 1);

    choice.choose (7); // not an id the box was filled with
    EXPECT_TRUE (choice.getChosenId().isEmpty());
}

} // namespace dunmoor::testing
