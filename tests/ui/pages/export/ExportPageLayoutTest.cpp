#include "BlockColumnsTestSupport.h"
#include "ExportPageFixture.h"

#include "ui/pages/export/BlockLayoutSettings.h"

namespace dunmoor::testing
{
namespace
{
    using ui::BlockLayoutSettings::blockColumnsKey;
    using ui::BlockLayoutSettings::columnWidthsKey;

    juce::String describeColumns (ui::ExportContent& content)
    {
        return testing::describeColumns (content.getPlacements(), (int) content.getColumnWidths().size());
    }

    /** Drags a block's title strip to a point of the content, as the mouse would; releases it
        there unless asked not to. */
    void dragBlock (ui::ExportContent& content, const juce::String& id, juce::Point<int> to, bool release = true)
    {
        auto& handle = *content.getBlockHandle (id);
        const auto local = (to - handle.getPosition()).toFloat();
        const auto start = juce::Point<float> (20.0f, 20.0f);
        handle.mouseDown (mouseEventAt (handle, start));
        handle.mouseDrag (mouseEventAt (handle, (start + local) / 2, juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier), 1, true));
        handle.mouseDrag (mouseEventAt (handle, local, juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier), 1, true));

        if (release)
            handle.mouseUp (mouseEventAt (handle, local, juce::ModifierKeys(), 1, true));
    }

    void clearLayoutSettings (ui::AppState& app)
    {
        app.settings->setValue (blockColumnsKey, juce::String());
        app.settings->setValue (columnWidthsKey, juce::String());
    }

    /** The page at 1360 x 860 without a saved layout, laid out. */
    ui::ExportContent& makeLayoutPage (ExportPageFixture& f)
    {
        clearLayoutSettings (*f.app);
        auto& page = f.makePage();
        pumpMessages (20);
        return page.getContent();
    }
} // namespace

TEST (ExportPageLayout, BlocksFollowTheWidth)
{
    ExportPageFixture f;
    auto& c = makeLayoutPage (f);
    auto& page = *f.page;

    // The usual window: two columns, the narrow one holding the delivery blocks.
    EXPECT_EQ (c.getColumnWidths().size(), 2u);
    EXPECT_EQ (describeColumns (c), "cues rules | naming namingRules formats cleanup headroom");
    EXPECT_EQ (c.getBlockPanel ("cues").getPosition(), juce::Point<int> (12, 12));
    EXPECT_TRUE (c.getBlockPanel ("cues").contains (c.cuesHeader.getBounds()));
    EXPECT_TRUE (c.getBlockPanel ("formats").contains (c.getFormatRows()[1]->getBounds()));
    EXPECT_EQ (c.getBlockHandle ("cues")->getBounds(), c.getBlockPanel ("cues").withHeight (39));

    // Wider: three and four columns; the report title stays under the lowest column.
    for (auto [width, columns] : { std::pair { 1700, 3u }, std::pair { 2100, 4u } })
    {
        page.setSize (width, 860);
        EXPECT_EQ (c.getColumnWidths().size(), columns) << width;
        EXPECT_EQ (c.getMaxColumns(), (int) columns) << width;

        int lowest = 0;

        for (const auto& placement : c.getPlacements())
            lowest = std::max (lowest, placement.panel.getBottom());

        EXPECT_GE (c.reportHeader.getY(), lowest) << width;
    }

    // The smallest window: the wide blocks take the wider main column, not column 0.
    page.setSize (1100, 720);
    EXPECT_EQ (c.getBlockPanel ("naming").getX(), 12 + 440 + 12);
    EXPECT_EQ (c.getBlockPanel ("formats").getX(), 12 + 440 + 12);
}

TEST (ExportPageLayout, DroppedBlocksAreKeptAndRestored)
{
    ExportPageFixture f;
    auto& c = makeLayoutPage (f);
    auto& page = *f.page;

    const auto rules = c.getBlockPanel ("rules");
    const auto cues = c.getBlockPanel ("cues");

    // Over the gap between cues and rules: the mark 7 px above rules, column 0 lit.
    dragBlock (c, "headroom", { rules.getCentreX(), rules.getY() - 4 }, false);
    EXPECT_EQ (c.getDropColumn(), 0);
    EXPECT_EQ (c.getDropIndicator(), juce::Rectangle<int> (12, rules.getY() - 7, rules.getWidth(), 2));
    saveSnapshot (page, "export-page-block-drag");

    // Below the last block of column 0: the mark 5 px under it.
    dragBlock (c, "headroom", { rules.getCentreX(), rules.getBottom() + 300 }, false);
    EXPECT_EQ (c.getDropIndicator().getY(), rules.getBottom() + 5);

    // Dropped between them: directly above rules, stored at once.
    dragBlock (c, "headroom", { rules.getCentreX(), rules.getY() - 4 });
    EXPECT_EQ (c.getDropColumn(), -1);
    EXPECT_TRUE (c.getDropIndicator().isEmpty());
    EXPECT_EQ (describeColumns (c), "cues headroom rules | naming namingRules formats cleanup");
    EXPECT_EQ (c.getBlockPanel ("headroom").getY(), cues.getBottom() + 12);

    const auto stored = f.app->settings->getValue (blockColumnsKey);
    EXPECT_EQ (stored, "cues:0\nheadroom:0\nrules:0\nnaming:1\nnamingRules:1\nformats:1\ncleanup:1\n@columns:2");
    EXPECT_FALSE (f.app->settings->needsToBeSaved());

    // A drop outside every column changes nothing.
    dragBlock (c, "cues", { 5, 300 });
    EXPECT_EQ (f.app->settings->getValue (blockColumnsKey), stored);

    // A new page on the same settings shows the same arrangement.
    const auto before = describeColumns (c);
    f.page.reset();
    auto& again = f.makePage();
    pumpMessages (20);
    EXPECT_EQ (describeColumns (again.getContent()), before);

    // Reset: both keys empty, the automatic arrangement back.
    again.resetLayout();
    EXPECT_EQ (f.app->settings->getValue (blockColumnsKey), "");
    EXPECT_EQ (f.app->settings->getValue (columnWidthsKey), "");
    EXPECT_TRUE (f.app->settings->containsKey (blockColumnsKey));
    EXPECT_EQ (describeColumns (again.getContent()), "cues rules | naming namingRules formats cleanup headroom");
}

TEST (ExportPageLayout, ColumnGapDrags)
{
    ExportPageFixture f;
    auto& c = makeLayoutPage (f);
    f.app->saveSettings();
    ASSERT_FALSE (f.app->settings->needsToBeSaved());

    const auto widths = c.getColumnWidths();
    const auto pair = widths[0] + widths[1];
    auto& splitter = *c.getColumnSplitter (0);
    EXPECT_TRUE (splitter.isVisible());
    EXPECT_EQ (splitter.getBounds().getX(), 12 + widths[0]);

    auto dragTo = [&splitter] (int contentX)
    {
        splitter.mouseDrag (mouseEventAt (splitter, { (float) (contentX - splitter.getX()), 10.0f },
                                          juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier), 1, true));
    };

    splitter.mouseDown (mouseEventAt (splitter, { 6.0f, 10.0f }));

    // Far right: stops with 440 left for the main column; the shares are kept on every move,
    // but the settings file is written only when the drag ends.
    dragTo (5000);
    EXPECT_EQ (c.getColumnWidths(), (std::vector<int> { pair - 440, 440 }));
    EXPECT_TRUE (f.app->settings->getValue (columnWidthsKey).startsWith (juce::String ((double) (pair - 440) / pair, 4)));
    EXPECT_TRUE (f.app->settings->needsToBeSaved());

    dragTo (-100);
    EXPECT_EQ (c.getColumnWidths(), (std::vector<int> { 440, pair - 440 }));

    dragTo (12 + 600);
    EXPECT_EQ (c.getColumnWidths(), (std::vector<int> { 600, pair - 600 }));
    EXPECT_EQ (c.getBlockPanel ("cues").getWidth(), 600);
    EXPECT_EQ (c.getBlockPanel ("naming").getX(), 12 + 600 + 12);

    splitter.mouseUp (mouseEventAt (splitter, { 6.0f, 10.0f }));
    EXPECT_FALSE (f.app->settings->needsToBeSaved());
    EXPECT_TRUE (f.app->getLocations().settingsFile.loadFileAsString().contains (f.app->settings->getValue (columnWidthsKey)));

    // The widths come back with a new page, and a reset forgets them.
    f.page.reset();
    auto& again = f.makePage();
    EXPECT_EQ (again.getContent().getColumnWidths()[0], 600);
    again.resetLayout();
    EXPECT_EQ (again.getContent().getColumnWidths(), widths);
}

} // namespace dunmoor::testing

namespace dunmoor::testing
{

TEST (ExportPageLayout, SnapshotsAfterAnAnalysisWithCleanup)
{
    ExportPageFixture f;
    clearLayoutSettings (*f.app);
    f.useCleanup();

    // Two cues of three tracks, each with rests of noise floor; the second cue starts late.
    const juce::StringArray names { "Kick", "Bass", "Strings" };

    for (int cue = 1; cue <= 2; ++cue)
        for (int i = 0; i < 3; ++i)
            writeTrack (f.temp.file ("in/1M0" + juce::String (cue) + "/" + names[i] + ".wav"), 2, 3 * 48000, 48000.0, [=] (int, int n)
                        {
                            const auto t = n / 48000.0;
                            const auto rest = (t > 0.6 + 0.3 * i && t < 1.4 + 0.2 * i) || (cue == 2 && t < 0.4);
                            return rest ? (float) (((n * 7919) % 200 - 100) * 1.0e-6) : (float) (0.3 * std::sin (n * 0.02 * (i + 1)));
                        });

    (void) f.app->session.importFiles ({ f.temp.file ("in") }, true);
    auto& page = f.makePage (1360, 860);
    click (page.getRenderBar().analyseButton);
    ASSERT_TRUE (f.waitForRunToEnd());
    auto& content = page.getContent();
    ASSERT_TRUE (content.gatedList.isVisible());
    saveSnapshot (page, "export-page-cleanup-1360");
    const auto columnsAt1360 = content.getColumnWidths().size();

    // Wider and taller: more columns, and the cleanup's list keeps its whole height under the
    // report's title, inside the page, whatever the blocks above it do.
    page.setSize (2000, 1100);
    page.getViewport().setViewPosition (0, 0);
    saveSnapshot (page, "export-page-cleanup-2000");
    EXPECT_GT (content.getColumnWidths().size(), columnsAt1360);
    EXPECT_TRUE (content.gatedList.isVisible());
    EXPECT_EQ (content.gatedList.getHeight(), content.gatedList.getIdealHeight());
    EXPECT_GE (content.gatedList.getY(), content.reportHeader.getBottom());
    EXPECT_LE (content.gatedList.getRight(), content.getWidth());
    EXPECT_GE (content.getHeight(), content.gatedList.getBottom());

    // Scrolled to the report, its title and the list's top are in view.
    page.getViewport().setViewPosition (0, content.getReportTop() - 12);
    saveSnapshot (page, "export-page-cleanup-2000-report");
    const auto view = page.getViewport().getViewArea();
    EXPECT_TRUE (view.contains (content.reportHeader.getBounds())) << view.toString() << " " << content.reportHeader.getBounds().toString();
    EXPECT_TRUE (view.contains (content.gatedList.getPosition())) << view.toString() << " " << content.gatedList.getBounds().toString();
}

} // namespace dunmoor::testing
