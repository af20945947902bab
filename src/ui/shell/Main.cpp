#include <clocale>

#include "ui/shell/MainWindow.h"
#include "ui/shell/AppInfo.h"
#include "ui/look/AppLookAndFeel.h"

namespace dunmoor::ui
{

class DunmoorApplication final : public juce::JUCEApplication
{
public:
    const juce::String getApplicationName() override { return productName; }
    const juce::String getApplicationVersion() override { return productVersion; }

    void initialise (const juce::String&) override
    {
        // Cue keys and keyword matching fold case by fixed tables, whatever the locale. The
        // framework's other case-insensitive comparisons (paths) follow it: without C.UTF-8
        // they treat only ASCII letters alike, which is the safe side for telling files apart.
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
