#include "ui/UiTestSupport.h"
#include "ui/shell/SettingsDialog.h"

namespace dunmoor::ui
{
namespace
{

struct SettingsDialogTest : ::testing::Test
{
    ~SettingsDialogTest() override { applyPalette (defaultPalette()); }

    std::unique_ptr<SettingsDialog> makeDialog (int percent, PaletteChoice choice)
    {
        SettingsDialog::Callbacks callbacks;
        callbacks.interfaceSizeChanged = [this] (int p) { sizes.push_back (p); };
        callbacks.paletteChoiceChanged = [this] (PaletteChoice c) { choices.push_back (c); };
        callbacks.customPaletteChanged = [this] (const Palette& p) { customs.push_back (p); };
        return std::make_unique<SettingsDialog> (percent, choice, std::move (callbacks));
    }

    std::vector<int> sizes;
    std::vector<PaletteChoice> choices;
    std::vector<Palette> customs;
};

TEST_F (SettingsDialogTest, SizeItemNearestTheStoredPercentage)
{
    const std::pair<int, int> cases[] = { { 95, 90 }, { 96, 100 }, { 105, 100 }, { 200, 120 }, { 10, 80 }, { 100, 100 } };
    for (const auto& [stored, item] : cases)
    {
        EXPECT_EQ (SettingsDialog::nearestSizeItem (stored), item) << stored;
        EXPECT_EQ (makeDialog (stored, PaletteChoice::defaultColours)->getSizeBox().getSelectedId(), item) << stored;
    }
    EXPECT_TRUE (sizes.empty()) << "selecting at construction reports nothing";
}

TEST_F (SettingsDialogTest, RowsAreGreyedUnlessCustomAndEveryChangeIsReported)
{
    auto dialog = makeDialog (100, PaletteChoice::brighter);
    EXPECT_EQ (dialog->getNumRows(), paletteEntryCount);
    EXPECT_FALSE (dialog->getViewport().isEnabled());
    EXPECT_FLOAT_EQ (dialog->getViewport().getAlpha(), 0.4f);
    EXPECT_FALSE (dialog->getResetButton().isEnabled());
    EXPECT_FALSE (dialog->getRow (0).isEnabled());

    dialog->getSizeBox().setSelectedId (110, juce::sendNotificationSync);
    EXPECT_EQ (sizes, std::vector<int> ({ 110 }));

    dialog->getColoursBox().setSelectedId ((int) PaletteChoice::custom, juce::sendNotificationSync);
    EXPECT_EQ (choices, std::vector<PaletteChoice> ({ PaletteChoice::custom }));
    EXPECT_TRUE (dialog->getViewport().isEnabled());
    EXPECT_TRUE (dialog->getResetButton().isEnabled());

    // A picked colour is applied at once and the whole palette reported.
    dialog->getRow (10).applyColour (juce::Colour (0xff00ff00)); // accent
    ASSERT_EQ (customs.size(), 1u);
    EXPECT_EQ (customs[0].accent, juce::Colour (0xff00ff00));
    EXPECT_EQ (currentPalette().accent, juce::Colour (0xff00ff00));

    // Reset with Custom chosen reports the Default colours as the custom palette.
    dialog->getResetButton().triggerClick();
    testing::pumpUntil ([&] { return customs.size() == 2; });
    ASSERT_EQ (customs.size(), 2u);
    EXPECT_EQ (customs[1], defaultPalette());
    EXPECT_EQ (currentPalette(), defaultPalette());

    // Back on Default: a row change is applied but not stored as the custom palette.
    dialog->getColoursBox().setSelectedId ((int) PaletteChoice::defaultColours, juce::sendNotificationSync);
    dialog->getRow (0).applyColour (juce::Colours::red);
    EXPECT_EQ (customs.size(), 2u);
}

TEST_F (SettingsDialogTest, LayoutAndSnapshot)
{
    auto dialog = makeDialog (100, PaletteChoice::custom);
    EXPECT_EQ (dialog->getBounds(), juce::Rectangle<int> (860, 450));

    // Two columns of 11 and 10 rows, 30 high, inside the viewport.
    EXPECT_EQ (dialog->getRow (0).getY(), 0);
    EXPECT_EQ (dialog->getRow (10).getY(), 300);
    EXPECT_EQ (dialog->getRow (11).getY(), 0);
    EXPECT_GT (dialog->getRow (11).getX(), dialog->getRow (0).getRight());
    EXPECT_EQ (dialog->getResetButton().getBounds().getWidth(), 200);
    EXPECT_LE (dialog->getResetButton().getBottom(), dialog->getHeight());

    testing::saveSnapshot (*dialog, "settings-dialog");
}

} // namespace
} // namespace dunmoor::ui
