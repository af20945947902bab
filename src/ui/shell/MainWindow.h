#pragma once

#include <memory>

#include <juce_gui_basics/juce_gui_basics.h>

#include "ui/app/Seams.h"

namespace dunmoor::ui
{

class MainComponent;

/**
    The application's only top-level window: native title bar, resizable between 1100 x 720 and
    8000 x 6000, holding the main component. Closing it goes through the main component's
    guarded close, which asks first while a render runs.
*/
class MainWindow final : public juce::DocumentWindow
{
public:
    /** The seams default to the desktop's own. */
    explicit MainWindow (const juce::String& title, std::unique_ptr<Seams> seams = nullptr);

    void closeButtonPressed() override;
    void focusGained (FocusChangeType cause) override;

    MainComponent* getMainComponent() const noexcept;

    /** Where the window opens on a display's free area (both in interface units): at its size,
        shrunk to the area but never below the smallest window, and centred; its top-left corner
        (and with it the title bar) always on the area. */
    static juce::Rectangle<int> startingBounds (juce::Rectangle<int> userArea, int width, int height);

    static constexpr int minimumWidth = 1100;
    static constexpr int minimumHeight = 720;

private:
    juce::Component::SafePointer<MainComponent> mainComponent;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainWindow)
};

} // namespace dunmoor::ui
