#include "ui/UiTestSupport.h"
#include "ui/widgets/SeparatorChooser.h"

namespace dunmoor::ui
{
namespace
{
    /** The field reports Return through a posted message. */
    void pressReturn (juce::TextEditor& field)
    {
        field.keyPressed (juce::KeyPress (juce::KeyPress::returnKey));
        testing::pumpMessages (20);
    }
} // namespace

TEST (SeparatorChooser, SetSeparatorNeverReports)
{
    SeparatorChooser chooser;
    chooser.setSize (400, 30);
    int reports = 0;
    chooser.onChange = [&] (const juce::String&) { ++reports; };

    const std::tuple<juce::String, int, bool> cases[] {
        { "_", 1, false }, { "-", 2, false }, { " - ", 3, false }, { " ", 4, false }, { ".", 5, false }, { "", 6, false },
        { "--", 100, true }, { "+", 100, true },
    };

    for (const auto& [separator, id, custom] : cases)
    {
        chooser.setSeparator (separator);
        EXPECT_EQ (chooser.getCombo().getSelectedId(), id) << separator;
        EXPECT_EQ (chooser.getCustomEditor().isVisible(), custom) << separator;
        EXPECT_EQ (chooser.getSeparator(), separator);

        if (custom)
        {
            EXPECT_EQ (chooser.getCustomEditor().getText(), separator);
        }
    }

    EXPECT_EQ (reports, 0);
}

TEST (SeparatorChooser, PickingAndTyping)
{
    SeparatorChooser chooser;
    chooser.setSize (400, 30);
    juce::StringArray reported, refused;
    chooser.onChange = [&] (const juce::String& separator) { reported.add (separator); };
    chooser.onRefused = [&] (const juce::String& reason) { refused.add (reason); };

    chooser.getCombo().setSelectedId (2, juce::sendNotificationSync);
    EXPECT_EQ (reported, juce::StringArray ("-"));

    // "custom..." shows the field with the separator in force and reports nothing yet.
    chooser.getCombo().setSelectedId (100, juce::sendNotificationSync);
    auto& field = chooser.getCustomEditor();
    EXPECT_TRUE (field.isVisible());
    EXPECT_EQ (field.getText(), "-");
    EXPECT_EQ (reported.size(), 1);

    field.setText (" ~ ", false);
    pressReturn (field);
    EXPECT_EQ (reported[1], " ~ ");

    // Unchanged text reports nothing; a brace is refused and the field goes back.
    pressReturn (field);
    EXPECT_EQ (reported.size(), 2);
    field.setText ("{", false);
    pressReturn (field);
    EXPECT_EQ (reported.size(), 2);
    EXPECT_EQ (refused.size(), 1);
    EXPECT_EQ (chooser.getSeparator(), " ~ ");
    EXPECT_EQ (field.getText(), " ~ ");

    // An empty text is a separator like any other.
    field.setText ({}, false);
    pressReturn (field);
    EXPECT_EQ (reported[2], "");
}

} // namespace dunmoor::ui
