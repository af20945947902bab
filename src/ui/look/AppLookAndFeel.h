#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace dunmoor::ui
{

/**
    The application's look-and-feel: the framework's V4 look under the current palette, with flat
    rounded buttons and fields, tick boxes with a tick mark, plus/minus stepper buttons, themed
    table headers, rounded progress bars and alert icons that stay inside their window. It holds no state: every colour comes from the palette, copied in by
    applyColours whenever the palette changes.
*/
class AppLookAndFeel : public juce::LookAndFeel_V4
{
public:
    AppLookAndFeel();

    /** Copies the current palette into the look-and-feel's colour scheme and colour table. */
    static void applyColours (juce::LookAndFeel_V4& lookAndFeel);

    // Pointer
    /** The component's own pointer, except that the plain arrow turns busy over a component that
        lies in one marked busy (setBusyPointer). */
    juce::MouseCursor getMouseCursorFor (juce::Component&) override;

    // Scrollbars
    int getDefaultScrollbarWidth() override;

    // Buttons
    void drawButtonBackground (juce::Graphics&, juce::Button&, const juce::Colour& backgroundColour, bool highlighted, bool down) override;
    juce::Font getTextButtonFont (juce::TextButton&, int buttonHeight) override;
    void drawTickBox (juce::Graphics&, juce::Component&, float x, float y, float w, float h, bool ticked, bool enabled, bool highlighted, bool down) override;

    // Alert windows
    void drawAlertBox (juce::Graphics&, juce::AlertWindow&, const juce::Rectangle<int>& textArea, juce::TextLayout&) override;

    /** The icon of a message box (warning triangle, or a "?" or "i" in a circle) within the area. */
    static void drawAlertIcon (juce::Graphics&, juce::MessageBoxIconType type, juce::Rectangle<float> area);

    // Popup menus
    juce::Font getPopupMenuFont() override;

    // Combo boxes
    void drawComboBox (juce::Graphics&, int width, int height, bool isButtonDown, int buttonX, int buttonY, int buttonW, int buttonH, juce::ComboBox&) override;
    juce::Font getComboBoxFont (juce::ComboBox&) override;
    juce::Label* createComboBoxTextBox (juce::ComboBox&) override;

    // Sliders
    juce::Button* createSliderButton (juce::Slider&, bool isIncrement) override;
    juce::Slider::SliderLayout getSliderLayout (juce::Slider&) override;

    // Table headers
    void drawTableHeaderBackground (juce::Graphics&, juce::TableHeaderComponent&) override;
    /** The narrowest a table column can be and still show its whole caption, with room for the
        sort arrow when it can be sorted. */
    static int minimumHeaderColumnWidth (const juce::String& caption, bool sortable, int headerHeight);

    void drawTableHeaderColumn (juce::Graphics&, juce::TableHeaderComponent&, const juce::String& columnName, int columnId, int width, int height, bool isMouseOver, bool isMouseDown, int columnFlags) override;

    // Progress bars
    void drawProgressBar (juce::Graphics&, juce::ProgressBar&, int width, int height, double progress, const juce::String& textToShow) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AppLookAndFeel)
};

/**
    Marks a component, and everything in it, as waiting for something outside the program (a
    browser being started): the pointer shows busy over it where it would be the plain arrow.
    Every control still works, and pointers that say what a place does (a text beam, a resize
    grip) stay. Takes effect at once, without waiting for the mouse to move.
*/
void setBusyPointer (juce::Component& component, bool busy);

/** Whether the component or one it lies in is marked busy. */
bool showsBusyPointer (const juce::Component& component);

/**
    The text of a combo box. A choice too wide for the box shows shortened at its end, and whole at
    the start of the box's tooltip. The label's text stays whole: the combo box compares it with
    its items to tell which one is selected.
*/
class ComboBoxText : public juce::Label
{
public:
    ComboBoxText() = default;

    /** The text as it is drawn in the label's room. */
    juce::String getShownText();

    juce::String getTooltip() override;
    void paint (juce::Graphics&) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ComboBoxText)
};

/** The increment or decrement button of a stepper slider: a text-button face with a plus or a
    minus. */
class StepperButton : public juce::TextButton
{
public:
    explicit StepperButton (bool isIncrement);

    bool isIncrementButton() const noexcept { return increment; }

    void paintButton (juce::Graphics&, bool highlighted, bool down) override;

private:
    bool increment;
};

} // namespace dunmoor::ui
