#include <gtest/gtest.h>

#include "ui/look/AppLookAndFeel.h"
#include "ui/look/ShortenedText.h"
#include "ui/look/Theme.h"
#include "ui/widgets/FittedLabel.h"

namespace dunmoor::ui
{
namespace
{

const juce::String mark = juce::String::charToString (shorteningMark);

// Every delivered file name was cut to the same "1M01 Opening Titles_0…": a file name gives way
// in its middle, so that the part that tells the files apart stays.
TEST (ShortenedText, FileNamesKeepTheirDistinguishingEnd)
{
    const auto font = fontPlain14_5();
    const juce::StringArray names { "1M01 Opening Titles_09_Bass.wav", "1M01 Opening Titles_11_Pulses.wav", "1M01 Opening Titles_Full Mix.wav",
                                    "1M02 The Long Walk Home Through The Valley_03_Brass.aif" };
    const auto room = measureLineWidth (font, "1M01 Opening Titles_0") + 20.0f;

    juce::StringArray shown;
    for (const auto& name : names)
    {
        const auto fitted = shortenToFit (name, font, room, Shortening::inMiddle);
        EXPECT_LE (measureLineWidth (font, fitted), room) << fitted;
        EXPECT_TRUE (fitted.containsChar (shorteningMark)) << fitted;
        shown.add (fitted);
    }

    EXPECT_TRUE (shown[0].endsWith (mark + "_09_Bass.wav")) << shown[0];
    EXPECT_TRUE (shown[0].startsWith ("1M01")) << shown[0];
    EXPECT_TRUE (shown[1].endsWith ("_11_Pulses.wav")) << shown[1];
    EXPECT_TRUE (shown[2].endsWith ("_Full Mix.wav")) << shown[2];
    EXPECT_TRUE (shown[3].endsWith ("_03_Brass.aif")) << shown[3];

    shown.removeDuplicates (false);
    EXPECT_EQ (shown.size(), names.size()) << "no two files look alike";
}

TEST (ShortenedText, TextsGiveWayAtTheEndAndNothingWiderThanTheRoomIsReturned)
{
    const auto font = fontPlain14_5();
    const juce::String text ("Renumber the exported stems 1..N (no gaps)");

    struct Case
    {
        float width;
        Shortening how;
        juce::String expected;
    };

    const Case cases[] = {
        { measureLineWidth (font, text), Shortening::atEnd, text },
        { measureLineWidth (font, text) + 100.0f, Shortening::inMiddle, text },
        { measureLineWidth (font, "Renumber" + mark), Shortening::atEnd, "Renumber" + mark },
        { measureLineWidth (font, "Renumber the" + mark) + 1.0f, Shortening::atEnd, "Renumber the" + mark },
        { 1.0f, Shortening::atEnd, {} },
        { 1.0f, Shortening::inMiddle, {} },
    };

    for (const auto& c : cases)
    {
        const auto fitted = shortenToFit (text, font, c.width, c.how);
        EXPECT_EQ (fitted, c.expected) << c.width;
        EXPECT_LE (measureLineWidth (font, fitted), c.width) << c.width;
    }

    // A room too narrow for a file name's distinguishing end keeps what fits of its end.
    const auto narrow = shortenToFit ("1M01 Opening Titles_11_Pulses.wav", font, measureLineWidth (font, mark + "ses.wav"), Shortening::inMiddle);
    EXPECT_TRUE (narrow.startsWith (mark) && narrow.endsWith (".wav")) << narrow;
}

TEST (FittedLabel, ShowsWhatFitsAndTheWholeTextInItsTooltip)
{
    FittedLabel label (Shortening::inMiddle);
    label.setFittedFont (fontPlain14_5());
    label.setWholeTextTooltip ("The file being played");
    label.setFullText ("1M02 The Long Walk Home Through The Valley_03_Brass.wav");

    label.setSize (600, 24);
    EXPECT_FALSE (label.isShortened());
    EXPECT_EQ (label.getText(), label.getFullText());
    EXPECT_EQ (label.getTooltip(), "The file being played");

    label.setSize (200, 24);
    EXPECT_TRUE (label.isShortened());
    EXPECT_TRUE (label.getText().endsWith ("_03_Brass.wav")) << label.getText();
    EXPECT_LE (measureLineWidth (label.getFont(), label.getText()), (float) label.getBorderSize().subtractedFrom (label.getLocalBounds()).getWidth());
    EXPECT_EQ (label.getTooltip(), label.getFullText());

    // A new text is fitted at once; a larger font shortens it further.
    label.setFullText ("1M01 Opening Titles_Full Mix.wav");
    label.setSize (400, 24);
    EXPECT_FALSE (label.isShortened());
    label.setFittedFont (fontPlain14_5().withHeight (30.0f));
    EXPECT_TRUE (label.isShortened());
    EXPECT_EQ (label.getTooltip(), "1M01 Opening Titles_Full Mix.wav");
}

// The box tells its selected item by comparing the label's text with the items' texts, so the
// text stays whole; only what is drawn gives way.
TEST (ComboBoxText, ALongChoiceShowsShortenedAndWholeInTheTooltipWhileStayingSelected)
{
    const juce::String longChoice ("Renumber the exported stems 1..N (no gaps)");
    juce::ComboBox box;
    box.addItem ("Short", 1);
    box.addItem (longChoice, 2);
    box.setTooltip ("What the numbers count.");
    box.setSelectedId (2, juce::dontSendNotification);

    auto* text = dynamic_cast<ComboBoxText*> (box.getChildComponent (0));
    ASSERT_NE (text, nullptr) << "the application's look gives every combo box its text box";

    box.setSize (500, 30);
    EXPECT_EQ (text->getShownText(), longChoice);
    EXPECT_EQ (box.getTooltip(), "What the numbers count.");

    box.setSize (180, 30);
    EXPECT_EQ (box.getSelectedId(), 2);
    EXPECT_EQ (box.getText(), longChoice);
    EXPECT_TRUE (text->getShownText().endsWithChar (shorteningMark)) << text->getShownText();
    EXPECT_EQ (box.getTooltip(), longChoice + "\n\nWhat the numbers count.");

    // A new look hands the label's tip on to a new label; the tip is not composed twice.
    box.sendLookAndFeelChange();
    EXPECT_EQ (box.getTooltip(), longChoice + "\n\nWhat the numbers count.");

    box.setSelectedId (1, juce::dontSendNotification);
    EXPECT_EQ (box.getTooltip(), "What the numbers count.");
}

} // namespace
} // namespace dunmoor::ui
