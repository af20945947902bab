#include <sys/stat.h>

#include "ReportPageFixture.h"
#include "core/render/HtmlReport.h"
#include "core/render/TextReport.h"
#include "ui/app/DesktopOpener.h"

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

TEST_F (ReportPageTest, OpenInBrowserReplacesItsPageAndSaysWhenNoBrowserStarted)
{
    deliver (render ({ "1m01" }));
    click (page->getOpenInBrowserButton());
    const auto first = page->getBrowserReportFile();
    EXPECT_TRUE (first.existsAsFile());
    ASSERT_EQ (fake->opened.size(), 1u);
    EXPECT_EQ (fake->opened.back().kind, ui::Seams::OpenKind::file);
    EXPECT_EQ (fake->opened.back().target, first.getFullPathName());

    // Another run, another page in the same folder; the first goes.
    deliver (render ({ "1m02" }));
    fake->openOutcome = { false, "xdg-open: no method available for opening it" };
    click (page->getOpenInBrowserButton());
    const auto second = page->getBrowserReportFile();
    EXPECT_NE (second, first);
    EXPECT_EQ (second.getParentDirectory(), first.getParentDirectory());
    EXPECT_FALSE (first.exists());
    EXPECT_TRUE (second.existsAsFile());

    ASSERT_TRUE (pumpUntil ([this] { return ! fake->boxes.empty(); }));
    EXPECT_EQ (fake->boxes.back().request.title, "The report could not be opened");
    EXPECT_EQ (fake->boxes.back().request.message, "The page was written but the browser could not be launched.\n" + second.getFullPathName());

    // The page's copy goes with the page.
    page.reset();
    EXPECT_FALSE (second.exists());
}

} // namespace dunmoor::testing
