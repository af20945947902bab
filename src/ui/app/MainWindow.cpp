#include "ui/app/MainWindow.h"

namespace dunmoor::ui
{

MainWindow::MainWindow (const juce::String& title)
    : DocumentWindow (title,
                      juce::Desktop::getInstance().getDefaultLookAndFeel().findColour (juce::ResizableWindow::backgroundColourId),
                      DocumentWindow::allButtons)
{
    setUsingNativeTitleBar (true);
    setResizable (true, false);
    setResizeLimits (1100, 720, 8000, 6000);
    centreWithSize (1360, 860);
    setVisible (true);
}

void MainWindow::closeButtonPressed()
{
    juce::JUCEApplication::getInstance()->systemRequestedQuit();
}

} // namespace dunmoor::ui
