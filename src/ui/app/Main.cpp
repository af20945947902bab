#include <clocale>

#include "ui/app/MainWindow.h"

namespace dunmoor::ui
{

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
