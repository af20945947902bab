#include "ExportPageFixture.h"
#include "ui/FitCheck.h"

namespace dunmoor::testing
{
namespace
{
    OutputFormat formatOf (Codec codec, SampleFormat sampleFormat, double rate = 0.0, DitherKind dither = DitherKind::tpdfShaped,
                           bool enabled = true, const juce::String& subFolder = {})
    {
        OutputFormat f;
        f.codec = codec;
        f.sampleFormat = sampleFormat;
        f.sampleRate = rate;
        f.dither = dither;
        f.enabled = enabled;
        f.subFolder = subFolder;
        return f;
    }

    /** Hands the session a copy of its preset with these formats, as another page would. */
    void setFormats (ExportPageFixture& f, std::vector<OutputFormat> formats, double projectRate = 48000.0)
    {
        auto preset = f.preset();
        preset.exportSettings.formats = std::move (formats);
        preset.exportSettings.masterSampleRate = projectRate;
        f.app->session.updatePreset (preset);
    }

    ui::FormatRow& row (ui::ExportPage& page, int index) { return *page.getContent().getFormatRows()[(size_t) index]; }

    /** A commit of some other control, which writes the formats too. */
    void commitAnotherControl (ui::ExportPage& page)
    {
        auto& toggle = page.getContent().remeasureToggle;
        toggle.setToggleState (! toggle.getToggleState(), juce::sendNotificationSync);
        pumpMessages (5);
    }
} // namespace

TEST (ExportFormatRows, FillFromThePresetAndCommitTwo)
{
    ExportPageFixture f;
    auto& page = f.makePage();

    // One format: the second row shows a disabled default, and the next commit writes both.
    setFormats (f, { formatOf (Codec::flac, SampleFormat::pcm16, 96000.0, DitherKind::tpdf, true, "FLAC") });
    EXPECT_EQ (row (page, 0).formatCombo.getText(), "FLAC");
    EXPECT_EQ (row (page, 0).wordLengthCombo.getText(), "16-bit");
    EXPECT_EQ (row (page, 0).sampleRateCombo.getText(), "96 kHz");
    EXPECT_EQ (row (page, 0).ditherCombo.getText(), "TPDF auto-black");
    EXPECT_EQ (row (page, 0).subFolderEditor.getText(), "FLAC");
    EXPECT_FALSE (row (page, 1).enableToggle.getToggleState());
    EXPECT_EQ (row (page, 1).formatCombo.getText(), "WAV");
    EXPECT_EQ (row (page, 1).wordLengthCombo.getText(), "24-bit");
    EXPECT_EQ (row (page, 1).sampleRateCombo.getText(), "Project rate");
    EXPECT_EQ (row (page, 1).ditherCombo.getText(), "Shaped TPDF auto-black");

    commitAnotherControl (page);
    const auto& two = f.preset().exportSettings.formats;
    ASSERT_EQ (two.size(), 2u);
    EXPECT_EQ (two[0].codec, Codec::flac);
    EXPECT_EQ (two[0].sampleRate, 96000.0);
    EXPECT_EQ (two[0].subFolder, "FLAC");
    EXPECT_FALSE (two[1].enabled);
    EXPECT_EQ (two[1].mp3Bitrate, 320);

    // Three formats: the first two show, and a commit keeps only those. An mp3 entry shows and
    // commits as WAV.
    setFormats (f, { formatOf (Codec::mp3, SampleFormat::pcm16), formatOf (Codec::aiff, SampleFormat::pcm24),
                     formatOf (Codec::wav, SampleFormat::float32) });
    EXPECT_EQ (row (page, 0).formatCombo.getText(), "WAV");
    EXPECT_EQ (row (page, 0).wordLengthCombo.getText(), "16-bit");
    EXPECT_EQ (row (page, 1).formatCombo.getText(), "AIFF");
    commitAnotherControl (page);
    ASSERT_EQ (f.preset().exportSettings.formats.size(), 2u);
    EXPECT_EQ (f.preset().exportSettings.formats[0].codec, Codec::wav);
    EXPECT_EQ (f.preset().exportSettings.formats[1].codec, Codec::aiff);

    // Another preset of two formats refills both rows.
    setFormats (f, { formatOf (Codec::wav, SampleFormat::pcm24, 44100.0), formatOf (Codec::flac, SampleFormat::pcm24, 0.0, DitherKind::none) });
    EXPECT_EQ (row (page, 0).sampleRateCombo.getText(), "44.1 kHz");
    EXPECT_EQ (row (page, 1).formatCombo.getText(), "FLAC");
    EXPECT_EQ (row (page, 1).ditherCombo.getText(), "No dither");
}

TEST (ExportFormatRows, ChoicesFollowTheCodecAndNotes)
{
    ExportPageFixture f;
    auto& page = f.makePage();
    setFormats (f, { formatOf (Codec::wav, SampleFormat::float32, 96000.0, DitherKind::none), formatOf (Codec::wav, SampleFormat::pcm24) });
    auto& r = row (page, 0);
    auto& c = page.getContent();

    EXPECT_EQ (r.wordLengthCombo.getNumItems(), 3);
    EXPECT_FALSE (r.isNoteShown());

    // Float to FLAC: 24-bit, the chosen 96 kHz kept; back to WAV: still 24-bit.
    r.formatCombo.setSelectedId ((int) Codec::flac + 1, juce::sendNotificationSync);
    EXPECT_EQ (r.wordLengthCombo.getText(), "24-bit");
    EXPECT_EQ (r.wordLengthCombo.getNumItems(), 2);
    EXPECT_EQ (r.sampleRateCombo.getText(), "96 kHz");
    EXPECT_EQ (f.preset().exportSettings.formats[0].codec, Codec::flac);
    EXPECT_EQ (f.preset().exportSettings.formats[0].sampleFormat, SampleFormat::pcm24);
    r.formatCombo.setSelectedId ((int) Codec::wav + 1, juce::sendNotificationSync);
    EXPECT_EQ (r.wordLengthCombo.getText(), "24-bit");

    // Float with dither: the note shows, and the formats block grows by 22 px.
    const auto blockBefore = c.getBlockPanel ("formats").getHeight();
    r.wordLengthCombo.setSelectedId ((int) SampleFormat::float32 + 1, juce::sendNotificationSync);
    EXPECT_FALSE (r.isNoteShown());
    r.ditherCombo.setSelectedId ((int) DitherKind::tpdf + 1, juce::sendNotificationSync);
    EXPECT_EQ (r.note.getText(), "Dither is skipped for floating point output.");
    EXPECT_EQ (c.getBlockPanel ("formats").getHeight(), blockBefore + 22);
    EXPECT_EQ (r.getHeight(), 52);
    EXPECT_TRUE (r.note.isVisible());
    EXPECT_GT (r.note.getHeight(), 0);

    // A project rate WAV cannot store, with the project rate chosen.
    setFormats (f, { formatOf (Codec::wav, SampleFormat::pcm24), formatOf (Codec::flac, SampleFormat::pcm24, 0.0, DitherKind::none) }, 32000.0);
    EXPECT_EQ (row (page, 0).note.getText(), "WAV cannot store 32.0 kHz: it will be resampled to 44.1 kHz.");
    EXPECT_EQ (row (page, 1).note.getText(), "FLAC cannot store 32.0 kHz: it will be resampled to 44.1 kHz.");
}

TEST (ExportFormatRows, TheSubFolderFieldShowsItsHintAndCaptionWholeAtEveryPageWidth)
{
    // At the smallest window the field was squeezed beside the dither choice: its hint read
    // "s…" and its caption "Sub-f".
    ExportPageFixture f;
    auto& page = f.makePage();
    setFormats (f, { formatOf (Codec::wav, SampleFormat::pcm24), formatOf (Codec::wav, SampleFormat::float32, 0.0, DitherKind::tpdf) });
    auto& c = page.getContent();
    ASSERT_TRUE (row (page, 1).isNoteShown());

    juce::StringArray found;
    juce::Array<bool> subFolderBelow;

    for (int width = 1100; width <= 2600; width += 4)
    {
        page.setSize (width, 900);
        const auto panel = c.getBlockPanel ("formats");

        for (auto* part : { (juce::Component*) &c.formatCaptions, (juce::Component*) &row (page, 0), (juce::Component*) &row (page, 1) })
        {
            for (const auto& finding : FitCheck::check (*part))
                found.addIfNotAlreadyThere (juce::String (width) + ": " + finding.where + ": " + finding.what);

            if (! panel.contains (part->getBounds()))
                found.add (juce::String (width) + ": " + part->getTitle() + " lies outside its block's panel");
        }

        subFolderBelow.addIfNotAlreadyThere (row (page, 0).showsSubFolderBelow (row (page, 0).getWidth()));

        // Every choice reads whole: "32-bit f…" and "Shaped TPDF auto-…" stood beside room left
        // empty.
        auto& r = row (page, 1);
        for (auto* box : { &r.formatCombo, &r.wordLengthCombo, &r.sampleRateCombo, &r.ditherCombo })
        {
            const auto selected = box->getSelectedItemIndex();

            for (int item = 0; item < box->getNumItems(); ++item)
            {
                box->setSelectedItemIndex (item, juce::dontSendNotification);
                for (auto* child : box->getChildren())
                    if (auto* text = dynamic_cast<ui::ComboBoxText*> (child); text != nullptr && text->getShownText() != text->getText())
                        found.addIfNotAlreadyThere (juce::String (width) + ": \"" + text->getText() + "\" reads \"" + text->getShownText() + "\"");
            }

            box->setSelectedItemIndex (selected, juce::dontSendNotification);
        }
    }

    EXPECT_TRUE (found.isEmpty()) << found.size() << " finding(s):\n" << found.joinIntoString ("\n");
    EXPECT_EQ (subFolderBelow.size(), 2) << "narrow pages put the field on a second line, wide ones beside the other controls";
}

TEST (ExportFormatRows, OneChangePerUserAction)
{
    ExportPageFixture f;
    f.makePage();
    int changes = 0;
    ui::FormatRow r (0, *f.seams, [&changes] { ++changes; }, [&f] { return f.app->outputFolder; });
    r.setSize (620, 30);
    r.showFormat (formatOf (Codec::wav, SampleFormat::pcm24), 48000.0);
    EXPECT_EQ (changes, 0) << "filling the row is no user change";

    struct Case
    {
        const char* action;
        std::function<void()> act;
        int changes;
    };

    const Case cases[] {
        { "codec", [&] { r.formatCombo.setSelectedId ((int) Codec::flac + 1, juce::sendNotificationSync); }, 1 },
        { "word length", [&] { r.wordLengthCombo.setSelectedId ((int) SampleFormat::pcm16 + 1, juce::sendNotificationSync); }, 1 },
        { "rate", [&] { r.sampleRateCombo.setSelectedId (88200, juce::sendNotificationSync); }, 1 },
        { "dither", [&] { r.ditherCombo.setSelectedId (1, juce::sendNotificationSync); }, 1 },
        { "toggle", [&] { r.enableToggle.triggerClick(); pumpMessages (20); }, 1 },
        { "typing", [&] { r.subFolderEditor.setText ("Masters", true); pumpMessages (20); }, 0 },
        { "Return", [&] { r.subFolderEditor.keyPressed (juce::KeyPress (juce::KeyPress::returnKey)); pumpMessages (20); }, 1 },
        { "leaving unchanged", [&] { r.subFolderEditor.onFocusLost(); }, 0 },
        { "leaving changed", [&] { r.subFolderEditor.setText ("Masters/WAV", false); r.subFolderEditor.onFocusLost(); }, 1 },
    };

    for (const auto& c : cases)
    {
        changes = 0;
        c.act();
        EXPECT_EQ (changes, c.changes) << c.action;
    }

    const auto format = r.getFormat();
    EXPECT_EQ (format.codec, Codec::flac);
    EXPECT_EQ (format.sampleFormat, SampleFormat::pcm16);
    EXPECT_EQ (format.sampleRate, 88200.0);
    EXPECT_EQ (format.dither, DitherKind::none);
    EXPECT_FALSE (format.enabled);
    EXPECT_EQ (format.subFolder, "Masters/WAV");
}

TEST (ExportFormatRows, SubFolderChooser)
{
    ExportPageFixture f;
    auto& page = f.makePage();
    const auto out = f.useOutputFolder();
    ASSERT_TRUE (out.getChildFile ("Masters/WAV").createDirectory().wasOk());
    auto& r = row (page, 0);

    struct Case
    {
        juce::File chosen;
        bool accepted;
        const char* text;
    };

    const Case cases[] {
        { out.getChildFile ("Masters/WAV"), true, "Masters/WAV" },
        { out, false, "Masters/WAV" },                                       // the export folder itself
        { f.temp.file ("elsewhere"), false, "Masters/WAV" },                  // outside it
        { out.getSiblingFile ("out2").getChildFile ("x"), false, "Masters/WAV" },
        { out.getChildFile ("Masters"), true, "Masters" },
    };

    for (const auto& c : cases)
    {
        f.seams->boxes.clear();
        r.pickButton.triggerClick();
        pumpMessages (20);
        ASSERT_FALSE (f.seams->choosers.empty());
        EXPECT_EQ (f.seams->choosers.back().request.title, "Choose a sub-folder inside the export folder");
        EXPECT_EQ (f.seams->choosers.back().request.initialLocation, out);
        ASSERT_TRUE (f.seams->answerChooser ({ c.chosen }));

        EXPECT_EQ (r.subFolderEditor.getText(), c.text) << c.chosen.getFullPathName();
        EXPECT_EQ (f.seams->boxes.empty(), c.accepted) << c.chosen.getFullPathName();

        if (! c.accepted)
        {
            EXPECT_EQ (f.seams->lastBox()->request.title, "That folder is not inside the export folder");
        }
        else
        {
            EXPECT_EQ (f.preset().exportSettings.formats[0].subFolder, c.text);
        }
    }

    // A cancelled chooser changes nothing.
    r.pickButton.triggerClick();
    pumpMessages (20);
    ASSERT_TRUE (f.seams->answerChooser ({}));
    EXPECT_EQ (r.subFolderEditor.getText(), "Masters");
}

} // namespace dunmoor::testing
