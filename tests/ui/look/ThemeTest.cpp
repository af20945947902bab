#include "core/render/FileKindColours.h"
#include "ui/UiTestSupport.h"
#include "ui/look/AppLookAndFeel.h"
#include "ui/look/Theme.h"

namespace dunmoor::ui
{
namespace
{

// Puts the Default palette and 100 % back whatever a test installed.
struct ThemeTest : ::testing::Test
{
    ~ThemeTest() override
    {
        applyPalette (defaultPalette());
        applyUiScale (100);
    }
};

TEST_F (ThemeTest, CustomPaletteTextTakesOnlyWellFormedTokensForKnownKeys)
{
    const auto defaults = defaultPalette();
    const auto green = juce::Colour (0xff00ff00);

    struct Case
    {
        const char* text;
        bool accentIsGreen;
    };

    const Case cases[] = {
        { "accent:FF00FF00", true },
        { "accent:ff00ff00", true },
        { "  accent:FF00FF00   ", true },
        { "accent:FF0000FF accent:FF00FF00", true }, // later tokens win
        { "accent:F00FF00", false },                 // seven digits
        { "accent:FF00FG00", false },                // not hexadecimal
        { ":FF00FF00", false },                      // nothing before the colon
        { "Accent:FF00FF00", false },                // keys are case-sensitive
        { "highlight:FF00FF00", false },             // unknown key
        { "accentFF00FF00", false },                 // no colon
        { "", false },
    };

    for (const auto& c : cases)
    {
        const auto palette = parseCustomPalette (c.text);
        EXPECT_EQ (palette.accent == green, c.accentIsGreen) << c.text;

        auto rest = palette;
        rest.accent = defaults.accent;
        EXPECT_EQ (rest, defaults) << "only the accent may change: " << c.text;
    }
}

TEST_F (ThemeTest, FormattedPalettesReadBackUnchanged)
{
    const auto text = formatCustomPalette (defaultPalette());
    EXPECT_TRUE (text.startsWith ("windowBackground:ff141618 panelBackground:ff232629")) << text;
    EXPECT_EQ (juce::StringArray::fromTokens (text, " ", "").size(), paletteEntryCount);
    EXPECT_EQ (parseCustomPalette (text), defaultPalette());

    // Every entry travels, in its own place.
    auto custom = defaultPalette();
    int n = 0;
    for (const auto& entry : getPaletteEntries())
        custom.*entry.colour = juce::Colour ((juce::uint32) (0x01020304u * (juce::uint32) ++n));
    EXPECT_EQ (parseCustomPalette (formatCustomPalette (custom)), custom);
}

TEST_F (ThemeTest, PaletteChoiceReadsStoredValueOrLegacyFlag)
{
    struct Case
    {
        const char* choice; // nullptr: not stored
        const char* legacyCustom;
        PaletteChoice expected;
    };

    const Case cases[] = {
        { "1", nullptr, PaletteChoice::defaultColours },
        { "2", nullptr, PaletteChoice::brighter },
        { "3", nullptr, PaletteChoice::custom },
        { "0", nullptr, PaletteChoice::defaultColours },
        { "4", nullptr, PaletteChoice::defaultColours },
        { "many", nullptr, PaletteChoice::defaultColours },
        { "1", "1", PaletteChoice::defaultColours }, // the stored choice wins over the legacy flag
        { nullptr, "1", PaletteChoice::custom },
        { nullptr, "0", PaletteChoice::defaultColours },
        { nullptr, nullptr, PaletteChoice::defaultColours },
    };

    for (const auto& c : cases)
    {
        juce::PropertySet settings;
        if (c.choice != nullptr)
            settings.setValue ("paletteChoice", c.choice);
        if (c.legacyCustom != nullptr)
            settings.setValue ("useCustomPalette", c.legacyCustom);

        EXPECT_EQ (readPaletteChoice (settings), c.expected)
            << (c.choice != nullptr ? c.choice : "-") << " / " << (c.legacyCustom != nullptr ? c.legacyCustom : "-");
    }
}

TEST_F (ThemeTest, PaletteForChoiceUsesStoredCustomColours)
{
    juce::PropertySet settings;
    EXPECT_EQ (paletteForChoice (PaletteChoice::custom, settings), defaultPalette());

    settings.setValue ("customPalette", "accent:ff00ff00");
    EXPECT_EQ (paletteForChoice (PaletteChoice::custom, settings).accent, juce::Colour (0xff00ff00));
    EXPECT_EQ (paletteForChoice (PaletteChoice::defaultColours, settings), defaultPalette());

    const auto brighter = paletteForChoice (PaletteChoice::brighter, settings);
    EXPECT_EQ (brighter.windowBackground, juce::Colour (0xff1c1e20));
    EXPECT_EQ (brighter.outline, juce::Colour (0xff44494e));
    EXPECT_EQ (brighter.accent, defaultPalette().accent);
}

TEST_F (ThemeTest, UiScaleIsHeldBetween80And120Percent)
{
    const std::pair<int, float> cases[] = { { 50, 0.8f }, { 80, 0.8f }, { 100, 1.0f }, { 110, 1.1f }, { 120, 1.2f }, { 200, 1.2f } };

    for (const auto& [percent, scale] : cases)
    {
        applyUiScale (percent);
        EXPECT_FLOAT_EQ (juce::Desktop::getInstance().getGlobalScaleFactor(), scale) << percent;
    }
}

// A window kept its size on the screen through a scale change: at 120 % its content was cut off,
// back at 80 % it stood in a large empty area.
TEST_F (ThemeTest, WindowsKeepTheirSizeInInterfaceUnitsThroughAScaleChange)
{
    juce::Component window;
    window.setOpaque (true);
    window.setBounds (60, 50, 400, 300);
    window.addToDesktop (0);
    window.setVisible (true);
    testing::pumpMessages (50);

    for (const auto percent : { 120, 80, 100 })
    {
        applyUiScale (percent);
        testing::pumpMessages (50);
        EXPECT_EQ (window.getWidth(), 400) << percent;
        EXPECT_EQ (window.getHeight(), 300) << percent;
    }

    // A window near the screen's right edge, which a larger interface size would push past it,
    // moves back onto the screen at its size.
    const auto area = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay()->userArea;
    window.setBounds (area.getRight() - 410, area.getY() + 50, 400, 300);
    applyUiScale (120);
    testing::pumpMessages (50);
    const auto scaledArea = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay()->userArea;
    EXPECT_EQ (window.getWidth(), 400);
    EXPECT_LE (window.getRight(), scaledArea.getRight());
    applyUiScale (100);

    window.removeFromDesktop();
}

TEST_F (ThemeTest, ApplyingPaletteRecoloursTonedLabelsLookAndFeelAndReportColours)
{
    juce::Component window;
    juce::Label toned, plain;
    window.addAndMakeVisible (toned);
    window.addAndMakeVisible (plain);
    window.setSize (200, 100);
    window.addToDesktop (juce::ComponentPeer::windowHasTitleBar);

    setLabelTone (toned, LabelTone::secondary);
    plain.setColour (juce::Label::textColourId, juce::Colours::red);
    EXPECT_EQ (toned.findColour (juce::Label::textColourId), defaultPalette().textSecondary);

    auto custom = defaultPalette();
    custom.textSecondary = juce::Colour (0xff123456);
    custom.windowBackground = juce::Colour (0xff202020);
    custom.stem = juce::Colour (0xff336699);
    applyPalette (custom);

    EXPECT_EQ (currentPalette(), custom);
    EXPECT_EQ (toned.findColour (juce::Label::textColourId), custom.textSecondary);
    EXPECT_EQ (plain.findColour (juce::Label::textColourId), juce::Colours::red) << "a label without a tone keeps its colour";
    EXPECT_EQ (juce::LookAndFeel::getDefaultLookAndFeel().findColour (juce::TextEditor::backgroundColourId), custom.windowBackground.darker (0.65f));
    EXPECT_EQ (getFileKindColour (0).colour, custom.stem.getARGB());

    // Going back to the Default palette gives reports the Default file colours again.
    applyPalette (defaultPalette());
    EXPECT_EQ (getFileKindColour (0), makeFileKindColours (defaultPalette().stem.getARGB()));
    EXPECT_EQ (getFileKindColour (1), makeFileKindColours (defaultPalette().fullMix.getARGB()));
    EXPECT_EQ (getFileKindColour (2), makeFileKindColours (defaultPalette().alternativeMix.getARGB()));

    window.removeFromDesktop();
}

TEST_F (ThemeTest, ColourHelpers)
{
    const auto brightnessGap = [] (juce::Colour a, juce::Colour b) { return std::abs (a.getPerceivedBrightness() - b.getPerceivedBrightness()); };

    for (const auto& palette : { defaultPalette(), brighterPalette() })
    {
        applyPalette (palette);
        SCOPED_TRACE (palette == defaultPalette() ? "Default" : "Brighter");

        // Each confidence shows in a colour of its own; a value no confidence has shows as unassigned.
        const Confidence confidences[] = { Confidence::confident, Confidence::review, Confidence::ambiguous, Confidence::unassigned };

        for (auto a : confidences)
            for (auto b : confidences)
                if (a != b)
                    EXPECT_NE (colourForConfidence (a), colourForConfidence (b)) << (int) a << " " << (int) b;

        EXPECT_EQ (colourForConfidence (static_cast<Confidence> (7)), colourForConfidence (Confidence::unassigned));

        // Primary text stands out most from the window, disabled text least; a warning is a tone
        // of its own; an unknown tone reads as primary.
        const auto window = palette.windowBackground;
        EXPECT_GT (brightnessGap (colourForTone (LabelTone::primary), window), brightnessGap (colourForTone (LabelTone::secondary), window));
        EXPECT_GT (brightnessGap (colourForTone (LabelTone::secondary), window), brightnessGap (colourForTone (LabelTone::disabled), window));
        EXPECT_NE (colourForTone (LabelTone::warning), colourForTone (LabelTone::primary));
        EXPECT_EQ (colourForTone (static_cast<LabelTone> (9)), colourForTone (LabelTone::primary));

        // Text on any grey, and on the palette's own signal colours, keeps a clear distance in
        // brightness from what it is written on.
        std::vector<juce::Colour> backgrounds { palette.accent, palette.good, palette.warning, palette.bad, palette.unassigned };

        for (int level = 0; level <= 255; level += 5)
            backgrounds.push_back (juce::Colour::greyLevel ((float) level / 255.0f));

        for (auto background : backgrounds)
            EXPECT_GE (brightnessGap (textColourOn (background), background), 0.3f) << background.toDisplayString (true);
    }

    // The helpers read the palette in use: a new palette recolours them at once.
    auto inverted = defaultPalette();

    for (const auto& entry : getPaletteEntries())
        inverted.*entry.colour = (inverted.*entry.colour).contrasting (1.0f);

    applyPalette (defaultPalette());
    const auto before = colourForConfidence (Confidence::review);
    applyPalette (inverted);
    EXPECT_NE (colourForConfidence (Confidence::review), before);

    // The gradients keep the colour's alpha and stay inside 0..255.
    const auto gradient = subtleGradient (juce::Colour (0x80fe0203), { 0, 0, 10, 10 });
    EXPECT_EQ (gradient.getColour (0), juce::Colour (0x80ff0708));
    EXPECT_EQ (gradient.getColour (gradient.getNumColours() - 1), juce::Colour (0x80f90000));
}

TEST_F (ThemeTest, EmptyPanelDrawsNothing)
{
    juce::Image image (juce::Image::ARGB, 20, 20, true);
    {
        juce::Graphics g (image);
        drawPanel (g, { 2, 2, 0, 10 }, juce::Colours::white);
        drawPanel (g, { 2, 2, 10, 0 }, juce::Colours::white);
    }

    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ (image.getPixelAt (x, y).getAlpha(), 0) << x << ", " << y;
}

TEST_F (ThemeTest, ComponentHelpers)
{
    juce::Component parent, a, b;
    addAllHidden (parent, { &a, nullptr });
    EXPECT_EQ (a.getParentComponent(), &parent);
    EXPECT_FALSE (a.isVisible());

    addAllAndMakeVisible (parent, { &b });
    EXPECT_TRUE (b.isVisible());

    setAllEnabled ({ &a, &b, nullptr }, false);
    EXPECT_FALSE (a.isEnabled() || b.isEnabled());

    setAllBounds ({ &a, &b }, { 1, 2, 30, 40 });
    EXPECT_EQ (b.getBounds(), juce::Rectangle<int> (1, 2, 30, 40));

    juce::TextEditor editor;
    setPlaceholder (editor, "Search");
    EXPECT_EQ (editor.getTextToShowWhenEmpty(), "Search");

    EXPECT_EQ (popupMenuOptionsFor (&b).getParentComponent(), &parent);
    EXPECT_EQ (popupMenuOptionsFor (nullptr).getParentComponent(), nullptr);

    EXPECT_EQ (measureTextWidthCeil (fontPlain14_5(), {}), 0);
    EXPECT_GT (measureTextWidthCeil (fontPlain14_5(), "Brackenfold"), measureTextWidthCeil (fontPlain14_5(), "Bracken"));
}

// A ticked box used to be a plain filled square, an unticked one a dark square: "on by default"
// did not look on. A ticked box now carries a tick mark that stands out from its fill in every
// palette, and an unticked one is empty.
TEST_F (ThemeTest, TickBoxShowsATickMarkOnlyWhenTicked)
{
    const auto near = [] (juce::Colour a, juce::Colour b)
    { return std::abs (a.getRed() - b.getRed()) < 8 && std::abs (a.getGreen() - b.getGreen()) < 8 && std::abs (a.getBlue() - b.getBlue()) < 8; };

    // Pixels of the box (4 px from the left, 16.5 px square, centred in a 24 px row) near a colour.
    const auto countInBox = [&] (const juce::Image& image, juce::Colour colour)
    {
        int n = 0;
        for (int y = 4; y < 20; ++y)
            for (int x = 4; x < 20; ++x)
                n += near (image.getPixelAt (x, y), colour) ? 1 : 0;
        return n;
    };

    auto darkAccent = defaultPalette();
    darkAccent.accent = juce::Colour (0xff1d3550);
    const std::pair<const char*, Palette> palettes[] = { { "default", defaultPalette() }, { "brighter", brighterPalette() }, { "dark accent", darkAccent } };

    for (const auto& [name, palette] : palettes)
    {
        applyPalette (palette);
        juce::ToggleButton box ("Refuse to export while tracks are unassigned");
        box.setSize (320, 24);

        const auto off = testing::paintToImage (box);
        box.setToggleState (true, juce::dontSendNotification);
        const auto on = testing::paintToImage (box);

        const auto tick = textColourOn (palette.accent);
        EXPECT_GT (countInBox (on, tick), 12) << name << ": a tick mark in the ticked box";
        EXPECT_GT (countInBox (on, palette.accent), 60) << name << ": filled with the accent";
        EXPECT_GT (std::abs (tick.getPerceivedBrightness() - palette.accent.getPerceivedBrightness()), 0.35f) << name;

        // Not ticked: an empty well inside a border that stands out from it.
        int inside = 0, border = 0;
        for (int y = 4; y < 20; ++y)
            for (int x = 4; x < 20; ++x)
            {
                const auto pixel = off.getPixelAt (x, y);
                const auto isInside = x >= 7 && x < 17 && y >= 7 && y < 17;
                inside += isInside && ! near (pixel, dimmedBackground()) ? 1 : 0;
                border += ! isInside && pixel.getPerceivedBrightness() > dimmedBackground().getPerceivedBrightness() + 0.25f ? 1 : 0;
            }
        EXPECT_EQ (inside, 0) << name << ": no mark when not ticked";
        EXPECT_GT (border, 30) << name << ": its border shows";

        if (palette == defaultPalette())
        {
            testing::saveSnapshot (box, "tick-box-on");
            box.setToggleState (false, juce::dontSendNotification);
            testing::saveSnapshot (box, "tick-box-off");
        }
    }
}

// The framework placed the warning triangle and the "?" by the text's position, so in a short
// alert they spilled over the window's corner.
TEST_F (ThemeTest, AlertIconsStayInsideTheirWindow)
{
    const std::pair<juce::MessageBoxIconType, juce::Colour> icons[] = { { juce::MessageBoxIconType::WarningIcon, currentPalette().warning },
                                                                         { juce::MessageBoxIconType::QuestionIcon, currentPalette().accent } };

    for (const auto& [type, colour] : icons)
    {
        for (const auto* message : { "Saved.", "One file could not be read:\n\nhorns.wav\nstrings.wav\nbass.wav" })
        {
            juce::AlertWindow alert ("Not everything could be read at start", message, type);
            alert.addButton ("OK", 1);
            alert.setSize (alert.getWidth(), alert.getHeight()); // the framework's own layout, from its texts
            const auto image = testing::paintToImage (alert);

            juce::Rectangle<int> icon;
            for (int y = 0; y < image.getHeight(); ++y)
                for (int x = 0; x < image.getWidth(); ++x)
                    if (image.getPixelAt (x, y).withAlpha (1.0f) == colour)
                        icon = icon.isEmpty() ? juce::Rectangle<int> (x, y, 1, 1) : icon.getUnion ({ x, y, 1, 1 });

            EXPECT_GE (icon.getWidth(), 24) << message << ": the icon shows";
            EXPECT_TRUE (image.getBounds().reduced (8).contains (icon)) << message << ": " << icon.toString() << " in " << image.getBounds().toString();
        }
    }
}

TEST_F (ThemeTest, LookAndFeelSteppersShowPlusAndMinus)
{
    AppLookAndFeel lookAndFeel;
    juce::Slider slider (juce::Slider::IncDecButtons, juce::Slider::TextBoxLeft);

    std::unique_ptr<juce::Button> up (lookAndFeel.createSliderButton (slider, true));
    std::unique_ptr<juce::Button> down (lookAndFeel.createSliderButton (slider, false));
    auto* upStepper = dynamic_cast<StepperButton*> (up.get());
    auto* downStepper = dynamic_cast<StepperButton*> (down.get());
    ASSERT_NE (upStepper, nullptr);
    ASSERT_NE (downStepper, nullptr);
    EXPECT_TRUE (upStepper->isIncrementButton());
    EXPECT_FALSE (downStepper->isIncrementButton());

    // The plus has a vertical bar above the centre; the minus has none.
    for (auto* button : { up.get(), down.get() })
        button->setBounds (0, 0, 24, 24);
    const auto plus = testing::paintToImage (*up);
    const auto minus = testing::paintToImage (*down);
    EXPECT_EQ (plus.getPixelAt (12, 9), defaultPalette().textPrimary);
    EXPECT_NE (minus.getPixelAt (12, 9), defaultPalette().textPrimary);
    EXPECT_EQ (minus.getPixelAt (10, 12), defaultPalette().textPrimary);
}

} // namespace
} // namespace dunmoor::ui
