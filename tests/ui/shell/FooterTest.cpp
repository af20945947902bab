#include "audio/AudioTestFiles.h"
#include "core/model/BuiltInPresets.h"
#include "ui/UiTestSupport.h"
#include "ui/shell/FooterSummary.h"
#include "ui/shell/FooterTexts.h"

namespace dunmoor::ui
{
namespace
{

using testing::mouseEventAt;

/** Writes a short silent WAV. */
juce::File writeTrack (const juce::File& file)
{
    file.getParentDirectory().createDirectory();
    juce::AudioBuffer<float> buffer (1, 4800);
    buffer.clear();
    EXPECT_TRUE (testing::writeAudioFile (file, "wav", buffer, 48000.0, 24)) << file.getFullPathName();
    return file;
}

TEST (FooterTexts, CountsFollowTheSession)
{
    testing::TemporaryFolder temp;
    Session session;
    session.setPreset (makeHybridOrchestraExamplePreset());
    const auto stems = (int) session.getPreset().schema.stems.size();
    const auto rateAndTarget = "48.0 kHz   target -3.0 dB true peak";

    // Nothing imported: zero counts, no output folder segment.
    auto segments = makeFooterSegments (session, {}, -1);
    ASSERT_EQ (segments.size(), 2u);
    EXPECT_EQ (segments[0].text, "0 track(s)   " + juce::String (stems) + " stem(s)   0 unassigned");
    EXPECT_EQ (segments[1].text, rateAndTarget);

    // One track nobody can place, in one cue: no cue count.
    const auto cueA = temp.file ("Cue A");
    session.importFiles ({ writeTrack (cueA.getChildFile ("qqzx.wav")) }, false);
    segments = makeFooterSegments (session, {}, -1);
    EXPECT_EQ (segments[0].text, "1 track(s)   " + juce::String (stems) + " stem(s)   1 unassigned");

    // A second cue, an unreadable file, the Import page's filter, an output folder.
    const auto cueB = temp.file ("Cue B");
    cueB.createDirectory();
    EXPECT_TRUE (cueB.getChildFile ("broken.wav").replaceWithText ("not audio"));
    session.importFiles ({ writeTrack (cueB.getChildFile ("qqzy.wav")), cueB.getChildFile ("broken.wav") }, false);
    segments = makeFooterSegments (session, temp.file ("Delivery"), 0);
    ASSERT_EQ (segments.size(), 3u);
    EXPECT_TRUE (segments[0].text.startsWith ("3 track(s) in 2 cues   " + juce::String (stems) + " stem(s)   3 unassigned")) << segments[0].text;
    EXPECT_TRUE (segments[0].text.contains ("   1 unreadable")) << segments[0].text;
    EXPECT_TRUE (segments[0].text.endsWith ("   (showing 0)")) << segments[0].text;
    EXPECT_EQ (segments[2].kind, FooterSegment::outputFolder);
    EXPECT_EQ (segments[2].text, "Delivery");

    // Sample peak, another rate and target.
    auto preset = session.getPreset();
    preset.exportSettings.masterSampleRate = 44100.0;
    preset.exportSettings.headroom.targetDb = -1.26;
    preset.exportSettings.headroom.peakMode = PeakMode::samplePeak;
    session.updatePreset (preset);
    EXPECT_EQ (makeFooterSegments (session, {}, -1)[1].text, "44.1 kHz   target -1.3 dB sample peak");

    EXPECT_EQ (presetLabelText (preset, false), preset.name + "   [publisher]");
    preset.kind = PresetKind::project;
    EXPECT_EQ (presetLabelText (preset, true), preset.name + "   [project]  *");
}

TEST (FooterSummary, NarrowFooterDropsTrailingSegmentsAndOnlyTheLinkTakesTheMouse)
{
    FooterSummary footer;
    footer.setSize (2000, 44);
    footer.setSegments ({ { FooterSegment::tracks, "12 track(s)   16 stem(s)   0 unassigned" },
                          { FooterSegment::formatTarget, "48.0 kHz   target -3.0 dB true peak" },
                          { FooterSegment::outputFolder, "Delivery" } });

    const auto wide = footer.layoutSegments();
    ASSERT_EQ (wide.size(), 3u);
    for (size_t i = 1; i < wide.size(); ++i)
        EXPECT_GE (wide[i].iconBox.getX(), wide[i - 1].textBox.getRight() + 26) << "segments never overlap";

    // No click action: the footer ignores the mouse even over the link.
    const auto link = footer.getLinkArea();
    EXPECT_FALSE (link.isEmpty());
    EXPECT_FALSE (footer.hitTest (link.getCentreX(), link.getCentreY()));

    int clicks = 0;
    footer.onFolderClick = [&] { ++clicks; };
    EXPECT_TRUE (footer.hitTest (link.getCentreX(), link.getCentreY()));
    EXPECT_FALSE (footer.hitTest (wide[0].textBox.getCentreX(), 20));

    footer.mouseUp (mouseEventAt (footer, link.getCentre().toFloat()));
    footer.mouseUp (mouseEventAt (footer, wide[1].textBox.getCentre().toFloat()));
    EXPECT_EQ (clicks, 1);

    footer.mouseEnter (mouseEventAt (footer, link.getCentre().toFloat(), {}));
    EXPECT_TRUE (footer.isLinkHovered());
    footer.setSize (1000, 44);
    testing::saveSnapshot (footer, "footer");

    // Narrower than the first two segments: the folder link goes, nothing overlaps the edge.
    footer.setSize (wide[1].textBox.getRight() - 40, 44);
    const auto narrow = footer.layoutSegments();
    ASSERT_EQ (narrow.size(), 2u);
    EXPECT_LE (narrow[1].textBox.getRight(), footer.getWidth());
    EXPECT_TRUE (footer.getLinkArea().isEmpty());

    // Two segments without a folder: no link at all.
    footer.setSize (2000, 44);
    footer.setSegments ({ { FooterSegment::tracks, "0 track(s)" }, { FooterSegment::formatTarget, "48.0 kHz" } });
    EXPECT_TRUE (footer.getLinkArea().isEmpty());
    for (int x = 0; x < 2000; x += 25)
        ASSERT_FALSE (footer.hitTest (x, 20)) << x;
}

} // namespace
} // namespace dunmoor::ui
