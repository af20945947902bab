#include <clocale>

#include "ui/app/MainWindow.h"
#include "ui/shell/AppInfo.h"
#include "ui/shell/AppLookAndFeel.h"

namespace dunmoor::ui
{

class DunmoorApplication final : public juce::JUCEApplication
{
public:
    const juce::String getApplicationName() override { return productName; }
    const juce::String getApplicationVersion() override { return productVersion; }

    void initialise (const juce::String&) override
    {
        // Case folding of non-ASCII names relies on a UTF-8 character type locale.
        std::setlocale (LC_CTYPE, "C.UTF-8");

        lookAndFeel = std::make_unique<AppLookAndFeel>();
        juce::LookAndFeel::setDefaultLookAndFeel (lookAndFeel.get());
        mainWindow = std::make_unique<MainWindow> (getApplicationName());
    }

    void shutdown() override
    {
        mainWindow.reset();
        juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
        lookAndFeel.reset();
    }

private:
    std::unique_ptr<AppLookAndFeel> lookAndFeel;
    std::unique_ptr<MainWindow> mainWindow;
};

} // namespace dunmoor::ui

START_JUCE_APPLICATION (dunmoor::ui::DunmoorApplication)
