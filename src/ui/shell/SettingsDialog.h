#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <juce_gui_basics/juce_gui_basics.h>
#include <juce_gui_extra/juce_gui_extra.h>

#include "ui/look/PaintedText.h"
#include "ui/look/Theme.h"
#include "ui/look/WheelNeedsFocus.h"

namespace dunmoor::ui
{

/**
    One palette entry in the settings dialog: a swatch, the entry's label and its description. A
    click opens a colour picker in a call-out; every change of the picked colour is applied to the
    whole program at once.
*/
class PaletteRow : public juce::Component, public PaintsTexts
{
public:
    PaletteRow (const PaletteEntryInfo& entry, std::function<void()> onColourChanged);
    ~PaletteRow() override;

    /** The entry's name and what it colours, after the swatch. */
    std::vector<PaintedText> getPaintedTexts() const override;

    /** Sets this entry of the current palette, applies the palette and reports the change: what
        the picker does whenever its colour moves. */
    void applyColour (juce::Colour colour);

    void paint (juce::Graphics& g) override;
    void mouseUp (const juce::MouseEvent& e) override;

    /** Follows the colour picker of this row. */
    class Listener : public juce::ChangeListener
    {
    public:
        explicit Listener (std::function<void (juce::ColourSelector&)> callbackToUse) : callback (std::move (callbackToUse)) {}
        void changeListenerCallback (juce::ChangeBroadcaster* source) override;

    private:
        std::function<void (juce::ColourSelector&)> callback;
    };

private:
    void openColourPicker();

    PaletteEntryInfo entry;
    std::function<void()> onColourChanged;
    Listener listener;
    juce::Component::SafePointer<juce::ColourSelector> openSelector;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PaletteRow)
};

/**
    Lets the user change the interface size and the colours while the program runs. Every change
    is applied at once and reported through the callbacks, which store it; the dialog knows nothing
    of the settings file. The colour rows can be used only with the Custom choice.
*/
class SettingsDialog : public juce::Component
{
public:
    struct Callbacks
    {
        std::function<void (int percent)> interfaceSizeChanged;
        std::function<void (PaletteChoice)> paletteChoiceChanged;
        std::function<void (const Palette&)> customPaletteChanged;
    };

    SettingsDialog (int uiScalePercent, PaletteChoice choice, Callbacks callbacks);
    ~SettingsDialog() override;

    /** The item of 80..120 % nearest the percentage (the smaller on a tie). */
    static int nearestSizeItem (int percent);

    juce::ComboBox& getSizeBox() noexcept { return sizeBox; }
    juce::ComboBox& getColoursBox() noexcept { return coloursBox; }
    juce::TextButton& getResetButton() noexcept { return resetButton; }
    juce::Viewport& getViewport() noexcept { return viewport; }
    PaletteRow& getRow (int index) { return *rows[(size_t) index]; }
    int getNumRows() const noexcept { return (int) rows.size(); }

    void paint (juce::Graphics& g) override;
    void resized() override;

    class RowHolder : public juce::Component
    {
    public:
        void paint (juce::Graphics& g) override;
    };

private:
    void updateColourControls();
    void notifyCustomPalette();
    void repaintRows();
    void rowColourChanged();

    Callbacks callbacks;
    juce::Label sizeLabel { {}, "Interface size" };
    juce::ComboBox sizeBox;
    juce::Label coloursLabel { {}, "Colors" };
    juce::ComboBox coloursBox;
    juce::TextButton resetButton { "Reset colors to default" };
    juce::Viewport viewport;
    RowHolder rowHolder;
    std::vector<std::unique_ptr<PaletteRow>> rows;
    WheelNeedsFocus wheelRule { *this };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SettingsDialog)
};

} // namespace dunmoor::ui
