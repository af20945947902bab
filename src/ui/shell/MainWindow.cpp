#include "ui/shell/MainWindow.h"

#include "ui/shell/MainComponent.h"
#include "ui/look/Theme.h"

namespace dunmoor::ui
{

MainWindow::MainWindow (const juce::String& title, std::unique_ptr<Seams> seams)
    : DocumentWindow (title, currentPalette().windowBackground, DocumentWindow::allButtons)
{
    setUsingNativeTitleBar (true);
    setResizable (true, false);
    setResizeLimits (minimumWidth, minimumHeight, 8000, 6000);

    auto component = std::make_unique<MainComponent> (std::move (seams));
    mainComponent = component.get();
    setContentOwned (component.release(), true);

    // The main component has applied the stored interface size by now, so the display's area is
    // in the units the window is measured in: at 120 % a 1600 x 1000 screen holds 1333 x 833,
    // less than the default window, which centred would have started above and left of it.
    if (const auto* display = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay())
        setBounds (startingBounds (display->userArea, getWidth(), getHeight()));
    else
        centreWithSize (getWidth(), getHeight());

    setVisible (true);
}

juce::Rectangle<int> MainWindow::startingBounds (juce::Rectangle<int> userArea, int width, int height)
{
    const auto w = juce::jmax (minimumWidth, juce::jmin (width, userArea.getWidth()));
    const auto h = juce::jmax (minimumHeight, juce::jmin (height, userArea.getHeight()));
    const auto centred = userArea.withSizeKeepingCentre (w, h);
    return centred.withPosition (juce::jmax (centred.getX(), userArea.getX()), juce::jmax (centred.getY(), userArea.getY()));
}

void MainWindow::focusGained (FocusChangeType)
{
    // Keys go to the focused component and up through its parents, never down: when the window
    // itself is given the focus (as it is when it becomes active), it hands it to the main
    // component, so the number keys and Space work before the first click.
    if (auto* main = mainComponent.getComponent())
        main->grabKeyboardFocus();
}

MainComponent* MainWindow::getMainComponent() const noexcept
{
    return mainComponent.getComponent();
}

void MainWindow::closeButtonPressed()
{
    const auto quit = [] { juce::JUCEApplication::getInstance()->systemRequestedQuit(); };

    if (auto* component = mainComponent.getComponent())
        component->requestClose (quit);
    else
        quit();
}

} // namespace dunmoor::ui
