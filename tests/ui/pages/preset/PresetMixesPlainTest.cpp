#include <gtest/gtest.h>

#include "ui/pages/preset/CueChoices.h"
#include "ui/pages/preset/PresetAudition.h"
#include "ui/pages/preset/TickColumns.h"

namespace dunmoor::ui
{
namespace
{
    Track trackOf (const juce::String& path, const juce::String& cueKey, const juce::String& stemId, bool readable = true)
    {
        Track track;
        track.id = juce::Uuid().toDashedString();
        track.file = juce::File (path);
        track.cueKey = cueKey;
        track.stemId = stemId;
        track.info.lengthInSamples = readable ? 48000 : 0;
        return track;
    }

    Cue cueOf (const juce::String& key, const juce::String& name)
    {
        Cue cue;
        cue.key = key;
        cue.name = name;
        return cue;
    }

    StemSchema schemaOf (std::initializer_list<const char*> ids)
    {
        StemSchema schema;

        for (auto* id : ids)
        {
            Stem stem;
            stem.id = id;
            stem.displayName = id;
            schema.addStem (stem);
        }

        return schema;
    }
} // namespace

TEST (TickColumns, WidthsAndTheScrollBar)
{
    const struct { int widest; int width; } widths[] = { { 0, 116 }, { 60, 116 }, { 70, 116 }, { 71, 116 }, { 100, 145 }, { 165, 210 }, { 900, 210 } };

    for (const auto& w : widths)
        EXPECT_EQ (TickColumns::columnWidthFor (w.widest), w.width) << w.widest;

    // Three columns of 116 (348 px) in a tick area of 270 need the bar; 348 and more do not.
    const struct { int area; int mixes; int oldOffset; bool bar; int offset; } fits[] = {
        { 270, 3, 0, true, 0 },   { 270, 3, 50, true, 50 }, { 270, 3, 500, true, 78 }, { 270, 3, -4, true, 0 },
        { 348, 3, 50, false, 0 }, { 600, 3, 50, false, 0 }, { 0, 3, 50, false, 0 },    { -20, 3, 50, false, 0 },
        { 100, 0, 10, false, 0 },
    };

    for (const auto& f : fits)
    {
        const auto fit = TickColumns::fit (f.area, f.mixes, 116, f.oldOffset);
        EXPECT_EQ (fit.scrollBarVisible, f.bar) << f.area << " " << f.oldOffset;
        EXPECT_EQ (fit.offset, f.offset) << f.area << " " << f.oldOffset;
    }

    EXPECT_EQ (TickColumns::fit (270, 3, 116, 0).total, 348);
    EXPECT_EQ (TickColumns::fit (270, 3, 116, 0).visible, 270);
}

TEST (TickColumns, HeadingZones)
{
    // Row 0..600 wide, no cue: name area 0..230, tick area 230..600, columns of 116 scrolled by 20.
    const auto layout = StemRowLayout::compute ({ 0, 0, 600, 28 }, 3, 20, false, 116);
    const struct { int x; int column; int cross; } cases[] = {
        { 100, -1, -1 },  // in the name area
        { 229, -1, -1 },
        { 230, 0, -1 },   // column 0 starts at 210, shown from 230
        { 309, 0, -1 },
        { 310, 0, 0 },    // its cross: 310..325
        { 325, 0, 0 },
        { 326, 1, -1 },
        { 441, 1, 1 },
        { 442, 2, -1 },
        { 557, 2, 2 },
        { 558, -1, -1 },  // right of the last column
        { 600, -1, -1 },
    };

    for (const auto& c : cases)
    {
        EXPECT_EQ (TickColumns::columnAt (layout, c.x), c.column) << c.x;
        EXPECT_EQ (TickColumns::crossAt (layout, c.x), c.cross) << c.x;
    }

    // With a cue, the audition zone is the column's first 18 px.
    const auto withCue = StemRowLayout::compute ({ 0, 0, 600, 28 }, 2, 0, true, 116);
    const int x0 = withCue.columns[1].getX();
    EXPECT_EQ (x0, 22 + 230 + 116);
    EXPECT_TRUE (TickColumns::isInAuditionZone (withCue, 1, x0, true));
    EXPECT_TRUE (TickColumns::isInAuditionZone (withCue, 1, x0 + 17, true));
    EXPECT_FALSE (TickColumns::isInAuditionZone (withCue, 1, x0 + 18, true));
    EXPECT_FALSE (TickColumns::isInAuditionZone (withCue, 1, x0, false));

    // A narrow column keeps its cross first, then what is left for the audition zone.
    EXPECT_EQ (TickColumns::crossZone ({ 0, 0, 10, 28 }).getWidth(), 10);
    EXPECT_EQ (TickColumns::auditionZone ({ 0, 0, 30, 28 }, true).getWidth(), 14);
}

TEST (MixTicks, TheCueExceptionWinsForItsMixOnly)
{
    auto schema = schemaOf ({ "a", "b", "c" });
    const auto instrumental = schema.addAlternativeMix ("Instrumental");
    const auto drumless = schema.addAlternativeMix ("Drumless");
    ASSERT_TRUE (schema.setAlternativeMixMember (drumless, "a", false));

    auto cue = cueOf ("k1", "Cue 1");
    cue.mixOverrides[instrumental] = juce::StringArray ("a");

    const MixTicks preset (schema, nullptr);
    EXPECT_TRUE (preset.isMember (0, "b"));
    EXPECT_FALSE (preset.isMember (1, "a"));

    const MixTicks forCue (schema, &cue);
    EXPECT_TRUE (forCue.isMember (0, "a"));
    EXPECT_FALSE (forCue.isMember (0, "b"));
    EXPECT_TRUE (forCue.isMember (1, "b"));
    EXPECT_FALSE (forCue.isMember (1, "a"));
    EXPECT_FALSE (forCue.isMember (2, "a"));
    EXPECT_FALSE (forCue.isMember (-1, "a"));
}

TEST (CueChoices, TextsCountStemsOfReadableTracksAndKeepTheChoiceByKey)
{
    const std::vector<Track> tracks {
        trackOf ("/c1/Kick.wav", "k1", "drums"),  trackOf ("/c1/Snare.wav", "k1", "drums"),
        trackOf ("/c1/Bass.wav", "k1", "bass"),   trackOf ("/c1/Broken.wav", "k1", "strings", false),
        trackOf ("/c1/Loose.wav", "k1", ""),      trackOf ("/c2/Pad.wav", "k2", "pads"),
    };
    const CueStemIndex index (tracks);
    EXPECT_TRUE (index.hasTracks ("k1", "bass"));
    EXPECT_FALSE (index.hasTracks ("k1", "strings"));
    EXPECT_FALSE (index.hasTracks ("k2", "bass"));
    EXPECT_FALSE (index.hasTracks ("nope", "bass"));

    const auto choices = CueChoices::build ({ cueOf ("k1", "Main Title"), cueOf ("k2", "End Credits") }, index);
    ASSERT_EQ (choices.items.size(), 2u);
    EXPECT_EQ (choices.items[0].text, "Main Title  (2 stems)");
    EXPECT_EQ (choices.items[1].text, "End Credits  (1 stem)");

    EXPECT_EQ (choices.idForKey ("k2"), 3);
    EXPECT_EQ (choices.keyForId (3), "k2");
    EXPECT_EQ (choices.keyForId (1), "");
    EXPECT_EQ (choices.keyForId (4), "");
    EXPECT_EQ (choices.idForKey (""), CueChoices::allCuesId);

    // The second cue gone: its key falls back to "All cues".
    const auto fewer = CueChoices::build ({ cueOf ("k1", "Main Title") }, index);
    EXPECT_EQ (fewer.idForKey ("k2"), CueChoices::allCuesId);
    EXPECT_NE (fewer, choices);
}

TEST (PresetAudition, FileListsFollowTheCueTheSessionAndTheDeliveryOrder)
{
    auto schema = schemaOf ({ "drums", "bass", "vox", "pads" });
    const auto mixId = schema.addAlternativeMix ("Instrumental");
    ASSERT_TRUE (schema.setAlternativeMixMember (mixId, "vox", false));

    const std::vector<Track> tracks {
        trackOf ("/c1/Pad.wav", "k1", "pads"),      trackOf ("/c1/Snare.wav", "k1", "drums"),
        trackOf ("/c2/Kick.wav", "k2", "drums"),    trackOf ("/c1/Kick.wav", "k1", "drums"),
        trackOf ("/c1/Vox.wav", "k1", "vox"),       trackOf ("/c1/Bass.wav", "k1", "bass"),
        trackOf ("/c1/Broken.wav", "k1", "bass", false),
    };

    EXPECT_EQ (PresetAudition::stemFiles (tracks, "k1", "drums"), juce::StringArray ("/c1/Snare.wav", "/c1/Kick.wav"));
    EXPECT_EQ (PresetAudition::stemFiles (tracks, "k1", "bass"), juce::StringArray ("/c1/Bass.wav"));
    EXPECT_TRUE (PresetAudition::stemFiles (tracks, "", "drums").isEmpty());
    EXPECT_TRUE (PresetAudition::stemFiles (tracks, "k1", "").isEmpty());

    const auto& mix = schema.alternativeMixes[0];
    auto cue = cueOf ("k1", "Cue 1");
    EXPECT_EQ (PresetAudition::mixFiles (schema, tracks, cue, mix),
               juce::StringArray ({ "/c1/Snare.wav", "/c1/Kick.wav", "/c1/Bass.wav", "/c1/Pad.wav" }));

    // The cue's exception: pads out, vox in, the stems still in delivery order.
    cue.mixOverrides[mixId] = juce::StringArray ({ "bass", "vox", "drums" });
    EXPECT_EQ (PresetAudition::mixFiles (schema, tracks, cue, mix),
               juce::StringArray ({ "/c1/Snare.wav", "/c1/Kick.wav", "/c1/Bass.wav", "/c1/Vox.wav" }));
}

TEST (PresetAudition, PlayOrStop)
{
    using Action = PresetAudition::Action;
    const struct { bool active, busy, files, device; Action action; } cases[] = {
        { true, true, true, true, Action::stop },           // the second click
        { true, true, false, true, Action::stop },          // even when its tracks have gone meanwhile
        { true, false, true, true, Action::play },          // it ended by itself: play again
        { false, true, true, true, Action::play },          // another source plays: switch
        { false, false, false, true, Action::nothing },     // nothing to play
        { false, false, false, false, Action::nothing },    // files are looked at before the device
        { false, false, true, false, Action::noAudioOutput },
    };

    for (const auto& c : cases)
        EXPECT_EQ (PresetAudition::decide (c.active, c.busy, c.files, c.device), c.action)
            << c.active << c.busy << c.files << c.device;

    EXPECT_EQ (PresetAudition::stemSourceId ("k1", "s"), "presetstem:k1:s");
    EXPECT_EQ (PresetAudition::mixSourceId ("k1", "m"), "presetmix:k1:m");
    EXPECT_TRUE (PresetAudition::isPresetSource ("presetmix:k1:m"));
    EXPECT_FALSE (PresetAudition::isPresetSource ("track:abc"));
}

TEST (PresetAudition, PlayAndStopSymbols)
{
    juce::Image image (juce::Image::ARGB, 22, 28, true);
    const auto red = juce::Colours::red, blue = juce::Colours::blue;

    {
        juce::Graphics g (image);
        PresetAudition::drawButton (g, { 0, 0, 22, 28 }, false, true, red, blue);
    }

    // The box is at (4, 7): the triangle runs from (8, 9) and (8, 19) to its point at (15, 14).
    EXPECT_EQ (image.getPixelAt (9, 14), blue);
    EXPECT_EQ (image.getPixelAt (12, 14), blue);
    EXPECT_EQ (image.getPixelAt (13, 10).getAlpha(), 0) << "above the slope";
    EXPECT_EQ (image.getPixelAt (6, 14).getAlpha(), 0) << "left of the triangle";

    image.clear (image.getBounds());

    {
        juce::Graphics g (image);
        PresetAudition::drawButton (g, { 0, 0, 22, 28 }, true, true, red, blue);
    }

    // The square covers x 7.5 .. 14.5 and y 10.5 .. 17.5.
    EXPECT_EQ (image.getPixelAt (11, 14), red);
    EXPECT_EQ (image.getPixelAt (9, 12), red);
    EXPECT_EQ (image.getPixelAt (13, 15), red);
    EXPECT_EQ (image.getPixelAt (16, 14).getAlpha(), 0);
    EXPECT_EQ (image.getPixelAt (11, 9).getAlpha(), 0);

    // Nothing for an empty cell or nothing to play.
    image.clear (image.getBounds());

    {
        juce::Graphics g (image);
        PresetAudition::drawButton (g, { 0, 0, 22, 28 }, false, false, red, blue);
        PresetAudition::drawButton (g, { 0, 0, 0, 28 }, true, true, red, blue);
    }

    for (int y = 0; y < 28; ++y)
        for (int x = 0; x < 22; ++x)
            ASSERT_EQ (image.getPixelAt (x, y).getAlpha(), 0) << x << "," << y;
}

} // namespace dunmoor::ui
