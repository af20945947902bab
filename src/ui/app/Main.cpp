#include <clocale>

#include <juce_gui_basics/juce_gui_basics.h>

namespace dunmoor::ui
{

/** The application's only top-level window. */
class MainWindow final : public juce::DocumentWindow
{
public:
    explicit MainWindow (const juce::String& title)
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

    void closeButtonPressed() override
    {
        juce::JUCEApplication::getInstance()->systemRequestedQuit();
    }
};

class BrackenfoldApplication final : public juce::JUCEApplication
{
public:
    const juce::String getApplicationName() override { return "Brackenfold"; }
    const juce::String getApplicationVersion() override { return "0.97.2"; }
    bool moreThanOneInstanceAllowed() override { return true; }

    void initialise (const juce::String&) override
    {
        // Case folding of non-ASCII names relies on a UTF-8 character type locale.
        std::setlocale (LC_CTYPE, "C.UTF-8");
        mainWindow = std::make_unique<MainWindow> (getApplicationName());
    }

    void shutdown() override { mainWindow.reset(); }

    void systemRequestedQuit() override { quit(); }

private:
    std::unique_ptr<MainWindow> mainWindow;
};

} // namespace dunmoor::ui

START_JUCE_APPLICATION (dunmoor::ui::BrackenfoldApplication)
