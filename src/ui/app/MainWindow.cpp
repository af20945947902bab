#include "ui/app/MainWindow.h"

#include "ui/shell/MainComponent.h"
#include "ui/shell/Theme.h"

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
