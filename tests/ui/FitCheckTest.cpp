#include "ui/FitCheck.h"
#include "ui/UiTestSupport.h"
#include "ui/look/Theme.h"

namespace dunmoor::testing
{
namespace
{
    /** A component that paints one caption where it is told. */
    struct PaintedCaption : juce::Component, ui::PaintsTexts
    {
        juce::String text;
        juce::Rectangle<float> area;

        std::vector<ui::PaintedText> getPaintedTexts() const override { return { { text, area, ui::fontPlain12_5(), juce::Colours::white } }; }
    };
} // namespace

TEST (FitCheck, TextFieldsAndTextsAComponentPaintsNeedRoomForTheirWholeText)
{
    juce::TextEditor field;
    ui::setPlaceholder (field, "sub-folder (optional)");
    PaintedCaption caption;

    struct Case
    {
        const char* what;
        juce::Component& component;
        std::function<void()> setUp;
        const char* finding; // empty: fits
    };

    const Case cases[] {
        { "a hint in a narrow field", field, [&] { field.setBounds (0, 0, 40, 30); }, "hint: \"sub-folder (optional)\" needs" },
        { "a hint with room", field, [&] { field.setBounds (0, 0, 200, 30); }, "" },
        { "a text in a narrow field", field, [&] { field.setText ("Masters/WAV/Stems", false); field.setBounds (0, 0, 60, 30); }, "\"Masters/WAV/Stems\" needs" },
        { "a text with room", field, [&] { field.setBounds (0, 0, 200, 30); }, "" },
        { "a caption in a narrow column", caption, [&] { caption.setBounds (0, 0, 200, 18); caption.text = "Sub-folder"; caption.area = { 0.0f, 0.0f, 25.0f, 18.0f }; }, "\"Sub-folder\" needs" },
        { "a caption with room", caption, [&] { caption.area = { 0.0f, 0.0f, 100.0f, 18.0f }; }, "" },
        { "a caption cut by the component's edge", caption, [&] { caption.area = { 175.0f, 0.0f, 100.0f, 18.0f }; }, "\"Sub-folder\" needs" },
        { "a caption shortened", caption, [&] { caption.text = juce::String ("Sub-f") + juce::String::charToString (ui::shorteningMark); caption.area = { 0.0f, 0.0f, 100.0f, 18.0f }; }, "a caption gets its room" },
    };

    for (const auto& c : cases)
    {
        c.setUp();
        const auto found = FitCheck::toText (FitCheck::check (c.component));

        if (juce::String (c.finding).isEmpty())
            EXPECT_TRUE (found.isEmpty()) << c.what << ": " << found;
        else
            EXPECT_TRUE (found.contains (c.finding)) << c.what << ": " << found;
    }
}

// A label draws a line too wide for it squeezed, down to its smallest scale, and only past
// that wraps it into the lines its height has or cuts it.
TEST (FitCheck, ALabelFitsOnlyWhenItsTextIsNeitherSqueezedNorCut)
{
    const juce::String headline ("Rendered 10 file(s)  -  stems reconstruct the mix");
    juce::Label label;
    label.setFont (ui::fontBold16());
    label.setText (headline, juce::dontSendNotification);

    struct Case
    {
        const char* what;
        float smallestScale; // 0: the framework's default
        juce::Rectangle<int> bounds;
        const char* finding; // empty: fits
    };

    // The headline needs about 380 px; a label loses 10 px to its border.
    const Case cases[] {
        { "one line a quarter too narrow", 0.0f, { 0, 0, 290, 30 }, "drawn squeezed" },
        { "one line, never squeezed", 1.0f, { 0, 0, 290, 30 }, "cut off" },
        { "two lines, never squeezed", 1.0f, { 0, 0, 290, 44 }, "" },
        { "two lines, squeezed to half rather than wrapped", 0.5f, { 0, 0, 250, 44 }, "drawn squeezed" },
        { "one line with room", 0.0f, { 0, 0, 420, 30 }, "" },
    };

    for (const auto& c : cases)
    {
        label.setMinimumHorizontalScale (c.smallestScale);
        label.setBounds (c.bounds);
        const auto found = FitCheck::toText (FitCheck::check (label));

        if (juce::String (c.finding).isEmpty())
            EXPECT_TRUE (found.isEmpty()) << c.what << ": " << found;
        else
            EXPECT_TRUE (found.contains (c.finding)) << c.what << ": " << found;
    }

    // Shortened on purpose, with the whole text in its tooltip.
    label.setMinimumHorizontalScale (0.0f);
    label.setBounds (0, 0, 290, 30);
    label.setText (ui::shortenToFit (headline, ui::fontBold16(), 280.0f, ui::Shortening::atEnd), juce::dontSendNotification);
    label.setTooltip (headline);
    EXPECT_TRUE (FitCheck::check (label).empty()) << FitCheck::toText (FitCheck::check (label));
}

} // namespace dunmoor::testing
