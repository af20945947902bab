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
    setResizeLimits (1100, 720, 8000, 6000);

    auto component = std::make_unique<MainComponent> (std::move (seams));
    mainComponent = component.get();
    setContentOwned (component.release(), true);

    centreWithSize (getWidth(), getHeight());
    setVisible (true);
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
