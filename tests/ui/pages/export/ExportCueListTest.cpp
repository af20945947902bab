#include "ExportPageFixture.h"

#include "ui/look/ShortenedText.h"
#include "ui/pages/export/CueListModel.h"

namespace dunmoor::testing
{
namespace
{
    constexpr int rowMiddle (int row) { return 56 + 34 * row + 17; }

    const Cue* cueNamed (ui::AppState& app, const juce::String& name)
    {
        for (const auto& cue : app.session.getCues())
            if (cue.name == name)
                return &cue;

        return nullptr;
    }

    void clickAt (juce::Component& c, juce::Point<int> p) { c.mouseDown (mouseEventAt (c, p.toFloat())); }

    void doubleClick (juce::Component& c, juce::Point<int> p)
    {
        c.mouseDoubleClick (mouseEventAt (c, p.toFloat(), juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier), 2));
    }

    void typeAndReturn (ui::CueResultList& list, const juce::String& text)
    {
        list.getEditor().setText (text, false);
        list.getEditor().keyPressed (juce::KeyPress (juce::KeyPress::returnKey));
        pumpUntil ([&list] { return ! list.isEditing(); }, 2000);
    }

    /** Two imported cues, analysed, the page at 1360 x 860. */
    struct AnalysedCues
    {
        AnalysedCues()
        {
            f.importCues (2);
            auto& page = f.makePage();
            click (page.getRenderBar().analyseButton);
            EXPECT_TRUE (f.waitForRunToEnd());
        }

        ui::CueResultList& list() { return f.page->getContent().cueList; }

        ExportPageFixture f;
    };

    int distance (juce::Colour a, juce::Colour b)
    {
        return std::abs (a.getRed() - b.getRed()) + std::abs (a.getGreen() - b.getGreen()) + std::abs (a.getBlue() - b.getBlue());
    }
} // namespace

TEST (ExportCueList, ClicksReachTheSession)
{
    AnalysedCues a;
    auto& list = a.list();
    auto& app = *a.f.app;
    ASSERT_TRUE (list.isVisible());
    ASSERT_EQ (list.getRows().size(), 2u);
    EXPECT_EQ (list.getHeight(), 62 + 2 * 34);
    EXPECT_TRUE (a.f.page->getRenderBar().renderButton.isPulsing());

    // The header band is no row: a click on it flips nothing.
    clickAt (list, { 10, 40 });
    EXPECT_TRUE (list.getRows()[0].included);

    // The tick.
    clickAt (list, { 10, rowMiddle (0) });
    EXPECT_FALSE (list.getRows()[0].included);
    EXPECT_FALSE (cueNamed (app, "1M01")->included);
    clickAt (list, { 10, rowMiddle (0) });
    EXPECT_TRUE (cueNamed (app, "1M01")->included);

    // A single click on a name opens nothing, and the list's tooltip says what does.
    clickAt (list, { 100, rowMiddle (1) });
    EXPECT_FALSE (list.isEditing());
    EXPECT_TRUE (list.getTooltip().contains ("\n\nDouble-click a name to type a new one - ")) << list.getTooltip();
    EXPECT_FALSE (list.getTooltip().contains ("Click a name"));

    // A double-click on the name opens the editor over it; Return renames.
    doubleClick (list, { 100, rowMiddle (1) });
    ASSERT_TRUE (list.isEditing());
    EXPECT_EQ (list.getEditor().getBounds(), juce::Rectangle<int> (32, 57 + 34, 210, 32));
    EXPECT_EQ (list.getEditor().getText(), "1M02");
    typeAndReturn (list, "  Finale ");
    EXPECT_FALSE (list.isEditing());
    EXPECT_NE (cueNamed (app, "Finale"), nullptr);
    EXPECT_EQ (list.getRows()[1].name, "Finale");

    // Ctrl+Z brings the old name back, into the list too.
    app.session.undo();
    EXPECT_NE (cueNamed (app, "1M02"), nullptr);
    EXPECT_EQ (list.getRows()[1].name, "1M02");

    // A refused name keeps the row and says why.
    doubleClick (list, { 100, rowMiddle (1) });
    typeAndReturn (list, "a/b");
    EXPECT_EQ (list.getRows()[1].name, "1M02");
    EXPECT_EQ (list.getMessage(), ui::CueListModel::nameRefusal);

    // Escape keeps the old value and shows nothing.
    doubleClick (list, { 100, rowMiddle (0) });
    EXPECT_TRUE (list.getMessage().isEmpty());
    list.getEditor().setText ("Other", false);
    list.getEditor().keyPressed (juce::KeyPress (juce::KeyPress::escapeKey));
    EXPECT_TRUE (pumpUntil ([&list] { return ! list.isEditing(); }, 2000));
    EXPECT_EQ (list.getRows()[0].name, "1M01");

    // The cut field opens the trim menu; "Type an amount..." opens the cut editor.
    clickAt (list, { 300, rowMiddle (0) });
    ASSERT_EQ (a.f.seams->menus.size(), 1u);
    EXPECT_EQ (a.f.seams->lastMenuItems().back().text, "Cut the silence from every cue, but 0.10 s");
    ASSERT_TRUE (a.f.seams->chooseMenuItem (ui::CueListModel::typeAmount));
    ASSERT_TRUE (list.isEditing());
    EXPECT_EQ (list.getEditor().getText(), "0.000");
    EXPECT_EQ (list.getEditor().getBounds(), juce::Rectangle<int> (256, 57, 128, 32));

    struct Case
    {
        const char* typed;
        double stored;
        bool refused;
    };

    const Case cases[] { { "1,5", 1.5, false }, { "", 0.0, false }, { "-1", 0.0, true }, { "1s", 0.0, true }, { "0.25", 0.25, false } };

    for (const auto& c : cases)
    {
        list.beginEdit (0, ui::CueListModel::EditKind::cut);
        typeAndReturn (list, c.typed);
        EXPECT_NEAR (cueNamed (app, "1M01")->trimStartSeconds, c.stored, 1e-12) << c.typed;
        EXPECT_EQ (list.getMessage(), c.refused ? ui::CueListModel::cutRefusal : "") << c.typed;
    }

    // Tab moves the editor down; past the last row it is left to the page.
    list.beginEdit (0, ui::CueListModel::EditKind::cut);
    EXPECT_TRUE (list.handleEditorKey (juce::KeyPress (juce::KeyPress::tabKey)));
    EXPECT_EQ (list.getEditingRow(), 1);
    EXPECT_FALSE (list.handleEditorKey (juce::KeyPress (juce::KeyPress::tabKey)));
    EXPECT_TRUE (list.handleEditorKey (juce::KeyPress (juce::KeyPress::tabKey, juce::ModifierKeys::shiftModifier, 0)));
    EXPECT_EQ (list.getEditingRow(), 0);
    list.getEditor().setText ("x", false);
    EXPECT_TRUE (list.handleEditorKey (juce::KeyPress (juce::KeyPress::tabKey))) << "a refusal keeps the editor where it is";
    EXPECT_EQ (list.getEditingRow(), 0);
    EXPECT_EQ (list.getMessage(), ui::CueListModel::cutRefusal);
    list.commitEdit (false);
}

TEST (ExportCueList, FollowsSessionChangesItDidNotMake)
{
    AnalysedCues a;
    auto& list = a.list();
    auto& app = *a.f.app;

    // Renamed, cut and unticked elsewhere: the rows read it back by key.
    const auto key = list.getRows()[0].key;
    ASSERT_TRUE (app.session.renameCue (key, "Opening"));
    app.session.setCueTrimStart (key, 0.75);
    app.session.setCueIncluded (key, false);
    EXPECT_EQ (list.getRows()[0].name, "Opening");
    EXPECT_EQ (list.getRows()[0].trimSeconds, 0.75);
    EXPECT_FALSE (list.getRows()[0].included);

    // A removed cue's row goes, and the list shrinks with it.
    juce::StringArray ids;

    for (const auto& track : app.session.getTracks())
        if (track.cueKey == key)
            ids.add (track.id);

    app.session.removeTracks (ids);
    ASSERT_EQ (list.getRows().size(), 1u);
    EXPECT_EQ (list.getRows()[0].name, "1M02");
    EXPECT_EQ (list.getHeight(), 62 + 34);

    // A cue imported since gets its row at once, without results, and says what stops it.
    ASSERT_TRUE (a.f.temp.file ("more/2M01/notes.wav").create());
    (void) app.session.importFiles ({ a.f.temp.file ("more") }, true);
    ASSERT_EQ (list.getRows().size(), 2u);
    EXPECT_EQ (list.getRows()[1].name, "2M01");
    EXPECT_FALSE (list.getRows()[1].hasResult);
    EXPECT_EQ (list.getRows()[1].planProblem, "Nothing to render: every track is unreadable.");
    EXPECT_EQ (list.getHeight(), 62 + 2 * 34);
}

TEST (ExportCueList, TrimMenuChoices)
{
    AnalysedCues a;
    auto& list = a.list();
    auto rows = list.getRows();
    rows[0].silenceFoundSeconds = 0.2;
    rows[1].silenceFoundSeconds = 0.08;
    list.setRows (rows);

    const auto items = listMenuItems (list.buildTrimMenu (0));
    ASSERT_EQ (items.size(), 8u);
    EXPECT_TRUE (items[0].sectionHeader);
    EXPECT_EQ (items[0].text, "Silence found: 0.20 s");
    EXPECT_TRUE (items[1].ticked);
    EXPECT_EQ (items[3].text, "Cut all but 0.10 s   (0.10 s)");
    EXPECT_TRUE (items[4].separator);

    list.applyTrimChoice (0, 0.2, ui::CueListModel::cutAllButATenth);
    EXPECT_NEAR (a.f.app->session.getCues()[0].trimStartSeconds, 0.1, 1e-12);
    list.applyTrimChoice (1, 0.08, ui::CueListModel::cutEveryCue);
    EXPECT_NEAR (a.f.app->session.getCues()[0].trimStartSeconds, 0.2, 1e-12);
    EXPECT_NEAR (a.f.app->session.getCues()[1].trimStartSeconds, 0.08, 1e-12);

    // The menu's answer after the rows were replaced by fewer does nothing.
    list.setRows ({ rows[0] });
    list.applyTrimChoice (1, 0.08, ui::CueListModel::keepAll);
    EXPECT_NEAR (a.f.app->session.getCues()[1].trimStartSeconds, 0.08, 1e-12);
}

TEST (ExportCueList, PaintsTicksProblemsAndFadedRows)
{
    struct Backdrop : public juce::Component
    {
        void paint (juce::Graphics& g) override { g.fillAll (ui::currentPalette().windowBackground); }
    } backdrop;

    ui::CueResultList list;
    backdrop.setSize (900, 200);
    backdrop.addAndMakeVisible (list);
    list.setBounds (0, 0, 900, 62 + 2 * 34);

    ui::CueResultRow fine, problem;
    fine.name = "Fine";
    fine.hasResult = true;
    problem.name = "Broken";
    problem.hasProblem = true;
    problem.included = false;
    list.setRows ({ fine, problem });

    const auto image = paintToImage (backdrop);
    const auto palette = ui::currentPalette();
    saveSnapshot (backdrop, "export-cue-list-rows");

    // Ticks: an accent face for the included cue, a dark hollow one for the excluded.
    EXPECT_LT (distance (image.getPixelAt (11, rowMiddle (0)), palette.accent), 90);
    EXPECT_LT (distance (image.getPixelAt (11, rowMiddle (1)), ui::dimmedBackground()), 30);

    // The included cue's box carries a tick mark, the excluded one's none: a bare accent bar read
    // as a colour mark, not as something to untick.
    const auto tickPixels = [&image] (int row)
    {
        int n = 0;
        for (int y = rowMiddle (row) - 5; y < rowMiddle (row) + 5; ++y) // inside the box's border
            for (int x = 7; x < 17; ++x)
                n += distance (image.getPixelAt (x, y), ui::textColourOn (ui::currentPalette().accent)) < 24 ? 1 : 0;
        return n;
    };
    EXPECT_GT (tickPixels (0), 8);
    EXPECT_EQ (tickPixels (1), 0);

    // Status bars: full good on the first row; faded bad on the excluded one.
    EXPECT_LT (distance (image.getPixelAt (23, rowMiddle (0)), palette.good), 20);
    const auto fadedBad = image.getPixelAt (23, rowMiddle (1));
    EXPECT_GT (distance (fadedBad, palette.bad), 60);
    EXPECT_GT (fadedBad.getRed(), image.getPixelAt (23, 56 + 34 + 1).getRed()) << "still a red bar";

    // The problem row is tinted red over its width; the other is not.
    const auto plain = image.getPixelAt (860, rowMiddle (0));
    const auto tinted = image.getPixelAt (860, rowMiddle (1));
    EXPECT_GT (tinted.getRed() - tinted.getBlue(), plain.getRed() - plain.getBlue() + 10);
}

// A cue that cannot be rendered says why where its results would be: whole when it fits, else
// shortened at its end with the whole text in the tooltip over it; and its row is marked.
TEST (ExportCueList, AProblemShowsInItsRowShortenedWithItsTooltip)
{
    ui::CueResultList list;
    ui::CueResultRow stopped;
    stopped.key = "k";
    stopped.name = "bad-mixed";
    stopped.planProblem = "Nothing to render: every track is unreadable.";
    list.setRows ({ stopped });

    const juce::Point<int> overProblem (420, rowMiddle (0));
    const auto listTooltip = ui::CueListModel::getTooltipText();

    list.setBounds (0, 0, 1050, 62 + 34);
    EXPECT_EQ (list.getShownProblem (0), stopped.planProblem);
    EXPECT_EQ (list.getTooltipAt (overProblem), listTooltip);

    list.setBounds (0, 0, 560, 62 + 34);
    const auto shown = list.getShownProblem (0);
    EXPECT_TRUE (shown.endsWithChar (ui::shorteningMark)) << shown;
    EXPECT_LE (ui::measureLineWidth (ui::fontPlain14_5(), shown), 560.0f - 400.0f - 8.0f);
    EXPECT_EQ (list.getTooltipAt (overProblem), stopped.planProblem);
    EXPECT_EQ (list.getTooltipAt ({ 100, rowMiddle (0) }), listTooltip) << "over the name";

    // Marked as a problem: the red status bar.
    const auto image = paintToImage (list);
    EXPECT_LT (distance (image.getPixelAt (23, rowMiddle (0)), ui::currentPalette().bad), 20);
}

} // namespace dunmoor::testing
