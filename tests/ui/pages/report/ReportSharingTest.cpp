#include <sys/stat.h>

#include "ReportPageFixture.h"
#include "core/render/HtmlReport.h"
#include "core/render/TextReport.h"
#include "ui/FitCheck.h"
#include "ui/app/DesktopOpener.h"
#include "ui/look/AppLookAndFeel.h"
#include "ui/look/Theme.h"

namespace dunmoor::testing
{
namespace
{
    /** Fake seams whose opener really starts a program, with the target as its one argument. */
    class RealOpenerSeams : public FakeSeams
    {
    public:
        RealOpenerSeams (std::shared_ptr<FakeAudioOutput> audioToUse, juce::StringArray command)
            : FakeSeams (std::move (audioToUse)), opener (std::move (command))
        {
        }

        void openWithDesktop (OpenKind kind, const juce::String& target, std::function<void (const ui::OpenResult&)> onDone) override
        {
            opened.push_back ({ kind, target });
            opener.open (target, std::move (onDone));
        }

        ui::DesktopOpener opener;
    };

    void click (juce::Button& button)
    {
        ASSERT_TRUE (button.isEnabled()) << button.getButtonText();
        button.triggerClick();
        pumpUntil ([] { return false; }, 30);
    }
} // namespace

TEST_F (ReportPageTest, SavingTheTextAndWebReportsGoesThroughTheChooser)
{
    deliver (render ({ "1m01" }));

    // Text: CR LF line ends, no byte-order mark, the chooser starting in the output folder.
    click (page->getSaveTextButton());
    ASSERT_EQ (fake->choosers.size(), 1u);
    const auto& textRequest = fake->choosers.back().request;
    EXPECT_EQ (textRequest.mode, ui::FileChooserRequest::Mode::saveFile);
    EXPECT_EQ (textRequest.title, "Save the render report");
    EXPECT_EQ (textRequest.initialLocation, outputRoot.getChildFile ("Brackenfold report - 1m01.txt"));
    EXPECT_EQ (textRequest.filePatterns, "*.txt");
    EXPECT_TRUE (textRequest.warnAboutOverwriting);

    const auto textFile = temp.file ("saved/report.txt");
    ASSERT_TRUE (fake->answerChooser ({ textFile }));
    juce::MemoryBlock bytes;
    ASSERT_TRUE (textFile.loadFileAsData (bytes));
    const auto text = bytes.toString();
    // The report's own text (it holds the time it was made, so only its lines are counted).
    EXPECT_EQ (juce::StringArray::fromLines (text).size(), juce::StringArray::fromLines (formatBatchReportText (state->lastReport)).size());
    EXPECT_TRUE (text.contains ("Proj_1m01_Full Mix.wav"));
    EXPECT_TRUE (text.contains ("\r\n"));
    EXPECT_FALSE (text.contains ("\r\r"));
    EXPECT_NE ((unsigned char) bytes[0], 0xef);

    // Web page.
    click (page->getSaveHtmlButton());
    const auto& htmlRequest = fake->choosers.back().request;
    EXPECT_EQ (htmlRequest.title, "Save the report as a web page");
    EXPECT_EQ (htmlRequest.initialLocation, outputRoot.getChildFile (getReportFileName (state->lastReport)));
    EXPECT_EQ (htmlRequest.filePatterns, "*.html");
    const auto htmlFile = temp.file ("saved/report.html");
    ASSERT_TRUE (fake->answerChooser ({ htmlFile }));
    EXPECT_TRUE (htmlFile.loadFileAsString().contains ("Proj_1m01_Full Mix.wav"));
    EXPECT_TRUE (fake->boxes.empty());

    // A cancelled chooser writes nothing and says nothing.
    const auto before = TemporaryFolder::listing (temp.file ("saved"));
    click (page->getSaveTextButton());
    ASSERT_TRUE (fake->answerChooser ({}));
    EXPECT_EQ (TemporaryFolder::listing (temp.file ("saved")), before);
    EXPECT_TRUE (fake->boxes.empty());

    // A folder in the way of the file.
    const auto blocked = temp.file ("saved/blocked.txt");
    ASSERT_TRUE (blocked.createDirectory());
    click (page->getSaveTextButton());
    ASSERT_TRUE (fake->answerChooser ({ blocked }));
    ASSERT_EQ (fake->boxes.size(), 1u);
    EXPECT_EQ (fake->boxes.back().request.title, "The report was not saved");
    EXPECT_EQ (fake->boxes.back().request.message, "Could not write to " + blocked.getFullPathName());

    click (page->getSaveHtmlButton());
    ASSERT_TRUE (fake->answerChooser ({ blocked }));
    ASSERT_EQ (fake->boxes.size(), 2u);
    EXPECT_EQ (fake->boxes.back().request.title, "The report was not saved");
    EXPECT_FALSE (fake->boxes.back().request.message.isEmpty());
    EXPECT_TRUE (blocked.isDirectory());
}

TEST_F (ReportPageTest, TheDeliveryListAndTheOutputFolderGoToTheDesktop)
{
    deliver (render ({ "1m01", "1m02" }));

    click (page->getCopyListButton());
    EXPECT_EQ (fake->clipboard, formatDeliveryList (state->lastReport));
    EXPECT_TRUE (fake->clipboard.startsWith ("6 files in 2 cues"));

    click (page->getOpenFolderButton());
    ASSERT_EQ (fake->opened.size(), 1u);
    EXPECT_EQ (fake->opened.back().kind, ui::Seams::OpenKind::folder);
    EXPECT_EQ (fake->opened.back().target, outputRoot.getFullPathName());
}

// A cue name is kept in the page's file name; no shell may ever read it as a command.
TEST_F (ReportPageTest, OpenInBrowserHandsThePathOverAsOneArgument)
{
    const auto argumentFile = temp.file ("argument.txt");
    useSeams (std::make_unique<RealOpenerSeams> (output, juce::StringArray { "/bin/sh", "-c", "printf '%s' \"$1\" > \"$0\"", argumentFile.getFullPathName() }));

    const auto workingFolder = juce::File::getCurrentWorkingDirectory();
    ASSERT_TRUE (temp.folder.setAsCurrentWorkingDirectory());

    deliver (render ({ "$(touch pwned)" }));
    click (page->getOpenInBrowserButton());
    const auto written = page->getBrowserReportFile();

    EXPECT_TRUE (pumpUntil ([&] { return argumentFile.loadFileAsString() == written.getFullPathName(); }))
        << argumentFile.loadFileAsString();
    EXPECT_TRUE (written.getFileName().contains ("$(touch pwned)"));
    EXPECT_TRUE (written.loadFileAsString().contains ("Proj_$(touch pwned)_Full Mix.wav"));
    pumpMessages (100);
    EXPECT_TRUE (fake->boxes.empty()) << boxTexts().joinIntoString ("\n");
    EXPECT_FALSE (temp.file ("pwned").exists());
    EXPECT_FALSE (outputRoot.getChildFile ("pwned").exists());

    // The folder is the user's alone.
    struct stat info {};
    ASSERT_EQ (::lstat (written.getParentDirectory().getFullPathName().toRawUTF8(), &info), 0);
    EXPECT_EQ (info.st_mode & 0777, (mode_t) 0700);

    workingFolder.setAsCurrentWorkingDirectory();
}

// The pages of every test process share one folder: each test here has cue names, and so page
// names, of its own, so that a page that must be gone isn't another process's of the same name.
TEST_F (ReportPageTest, OpenInBrowserReplacesItsPageAndSaysWhenNoBrowserStarted)
{
    deliver (render ({ "4m01" }));
    click (page->getOpenInBrowserButton());
    const auto first = page->getBrowserReportFile();
    EXPECT_TRUE (first.existsAsFile());
    ASSERT_EQ (fake->opened.size(), 1u);
    EXPECT_EQ (fake->opened.back().kind, ui::Seams::OpenKind::file);
    EXPECT_EQ (fake->opened.back().target, first.getFullPathName());

    // Another run, another page in the same folder; the first goes.
    deliver (render ({ "4m02" }));
    fake->openOutcome = { false, "xdg-open: no method available for opening it" };
    click (page->getOpenInBrowserButton());
    const auto second = page->getBrowserReportFile();
    EXPECT_NE (second, first);
    EXPECT_EQ (second.getParentDirectory(), first.getParentDirectory());
    EXPECT_FALSE (first.exists());
    EXPECT_TRUE (second.existsAsFile());

    ASSERT_TRUE (pumpUntil ([this] { return ! fake->boxes.empty(); }));
    EXPECT_EQ (fake->boxes.back().request.title, "The report could not be opened");
    EXPECT_EQ (fake->boxes.back().request.message, "The page was written but the browser could not be launched.\n" + second.getFullPathName()
                                                        + "\n\nxdg-open: no method available for opening it");

    // The page's copy goes with the page.
    page.reset();
    EXPECT_FALSE (second.exists());
}

// Every window of the app this user has open writes its pages into one folder. A second window
// replaced the first one's page of the same report, and deleted it when it was closed.
TEST_F (ReportPageTest, OpenInBrowserLeavesAnotherWindowsPageAlone)
{
    deliver (render ({ "5m01" }));
    auto other = std::make_unique<ui::ReportPage> (*state);
    other->openInBrowser();
    pumpUntil ([&] { return ! other->isOpeningInBrowser(); });
    const auto theirs = other->getBrowserReportFile();
    ASSERT_TRUE (theirs.existsAsFile());
    const auto theirBytes = theirs.loadFileAsString();
    ASSERT_TRUE (theirs.appendText ("<!-- theirs -->"));

    click (page->getOpenInBrowserButton());
    const auto ours = page->getBrowserReportFile();
    EXPECT_NE (ours, theirs);
    EXPECT_EQ (ours.getParentDirectory(), theirs.getParentDirectory());
    EXPECT_EQ (ours.loadFileAsString(), theirBytes);

    page.reset();
    EXPECT_FALSE (ours.exists());
    EXPECT_EQ (theirs.loadFileAsString(), theirBytes + "<!-- theirs -->");
    other.reset();
    EXPECT_FALSE (theirs.exists());
}

// Nothing showed while the desktop looked for a browser, for seconds, and a second press
// started a second search that deleted the page the first one was to open.
TEST_F (ReportPageTest, OpenInBrowserShowsTheOpenUnderWayUntilTheDesktopAnswers)
{
    fake->holdOpens = true;
    deliver (render ({ "1m01" }));
    auto& button = page->getOpenInBrowserButton();
    const auto& status = page->getBrowserStatus();
    const auto busyOver = [] (juce::Component& c) { return c.getLookAndFeel().getMouseCursorFor (c) == juce::MouseCursor::WaitCursor; };
    EXPECT_FALSE (status.isVisible());
    EXPECT_FALSE (busyOver (page->getCopyListButton()));

    click (button);
    ASSERT_EQ (fake->heldOpens.size(), 1u);
    const auto written = page->getBrowserReportFile();
    EXPECT_TRUE (page->isOpeningInBrowser());
    EXPECT_TRUE (status.isVisible());
    EXPECT_EQ (status.getText(), "Opening the report in the browser...");
    EXPECT_EQ (status.getBottom(), button.getY()) << "right above the buttons";
    EXPECT_FALSE (button.isEnabled());
    EXPECT_TRUE (busyOver (page->getCopyListButton()));
    EXPECT_TRUE (busyOver (*page));

    // The page answers meanwhile, and a second open waits for the first.
    click (page->getCopyListButton());
    EXPECT_EQ (fake->clipboard, formatDeliveryList (state->lastReport));
    page->openInBrowser();
    EXPECT_EQ (fake->opened.size(), 1u);
    EXPECT_TRUE (written.existsAsFile());

    // Every answer ends it: the browser started, or none could be.
    ASSERT_TRUE (fake->answerHeldOpen ({ true, {} }));
    EXPECT_FALSE (page->isOpeningInBrowser());
    EXPECT_FALSE (status.isVisible());
    EXPECT_TRUE (button.isEnabled());
    EXPECT_FALSE (busyOver (page->getCopyListButton()));
    EXPECT_TRUE (fake->boxes.empty());

    click (button);
    EXPECT_TRUE (status.isVisible());
    ASSERT_TRUE (fake->answerHeldOpen ({ false, "xdg-open reported a failure (exit status 3) opening \"" + page->getBrowserReportFile().getFullPathName() + "\"." }));
    EXPECT_FALSE (status.isVisible());
    EXPECT_TRUE (button.isEnabled());
    ASSERT_EQ (fake->boxes.size(), 1u);
    EXPECT_EQ (fake->boxes.back().request.title, "The report could not be opened");

    // An answer that comes after the page went away reaches nothing of it.
    click (button);
    ASSERT_EQ (fake->heldOpens.size(), 1u);
    page.reset();
    ASSERT_TRUE (fake->answerHeldOpen ({ false, "No browser." }));
    EXPECT_EQ (fake->boxes.size(), 1u);
}

TEST_F (ReportPageTest, TheLineThatABrowserIsBeingStartedFitsAboveTheButtons)
{
    fake->holdOpens = true;
    deliver (render ({ "1m01" }));

    struct Case
    {
        int width, height;
        bool withFiles = true;
    };

    // The page as the window gives it at its smallest and at a large size; a run without files
    // puts the buttons at the bottom.
    const Case cases[] = { { 1100, 572 }, { 1600, 852 }, { 1100, 572, false } };
    juce::StringArray found;

    for (const auto& c : cases)
    {
        if (! c.withFiles)
        {
            auto report = handMadeReport ({});
            deliver (std::move (report));
        }

        page->setSize (c.width, c.height);
        click (page->getOpenInBrowserButton());
        ASSERT_TRUE (page->isOpeningInBrowser());

        for (const auto percent : { 100, 120 })
        {
            ui::applyUiScale (percent);
            page->resized();
            const auto where = juce::String (c.width) + " x " + juce::String (c.height) + (c.withFiles ? "" : " without files") + " at " + juce::String (percent) + " %: ";
            const auto& status = page->getBrowserStatus();
            const auto& button = page->getOpenInBrowserButton();

            if (status.getBottom() != button.getY() || status.getX() > button.getX() || status.getRight() > page->getWidth() - 12)
                found.add (where + "the line at " + status.getBounds().toString() + ", the button at " + button.getBounds().toString());

            for (const auto& finding : FitCheck::check (*page))
                if ((finding.where + finding.what).contains ("Browser status"))
                    found.add (where + finding.where + ": " + finding.what);

            saveSnapshot (*page, "report-opening-in-browser-" + juce::String (c.width) + (c.withFiles ? "-" : "-no-files-") + juce::String (percent), (float) percent / 100.0f);
        }

        ui::applyUiScale (100);
        ASSERT_TRUE (fake->answerHeldOpen ({ true, {} }));
    }

    EXPECT_TRUE (found.isEmpty()) << found.joinIntoString ("\n");
}

// The desktop took seconds to say that no browser could be started; the click must return at
// once and the page show the open until the answer comes.
TEST_F (ReportPageTest, OpenInBrowserReturnsAtOnceWhileTheDesktopLooksForABrowser)
{
    useSeams (std::make_unique<RealOpenerSeams> (output, juce::StringArray { "/bin/sh", "-c", "sleep 2; exit 3", "opener" }));
    deliver (render ({ "1m01" }));

    const auto started = juce::Time::getMillisecondCounterHiRes();
    page->openInBrowser();
    EXPECT_LT (juce::Time::getMillisecondCounterHiRes() - started, 1000.0) << "the click waited for the browser";
    EXPECT_TRUE (page->getBrowserStatus().isVisible());

    ASSERT_TRUE (pumpUntil ([this] { return ! fake->boxes.empty(); }, 10000));
    EXPECT_FALSE (page->getBrowserStatus().isVisible());
    EXPECT_TRUE (page->getOpenInBrowserButton().isEnabled());
    EXPECT_TRUE (fake->boxes.back().request.message.contains ("exit status 3")) << fake->boxes.back().request.message;
}

} // namespace dunmoor::testing
