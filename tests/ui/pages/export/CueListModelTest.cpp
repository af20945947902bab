#include <gtest/gtest.h>

#include "ui/pages/export/CueListModel.h"

namespace dunmoor::testing
{
namespace
{
    using namespace ui;
    using Hit = CueListModel::Hit;

    CueResultRow rowWith (double found, double cut = 0.0)
    {
        CueResultRow row;
        row.silenceFoundSeconds = found;
        row.trimSeconds = cut;
        return row;
    }

    juce::StringArray texts (const std::vector<CueListModel::TrimMenuItem>& items)
    {
        juce::StringArray list;

        for (const auto& item : items)
            list.add (item.isSeparator ? "---" : (item.ticked ? "[x] " : "") + item.text);

        return list;
    }
} // namespace

TEST (CueListModel, HitZones)
{
    struct Case
    {
        juce::Point<int> point;
        int row;
        Hit::Zone zone;
    };

    // Two rows in a list 900 wide.
    const Case cases[] {
        { { 10, 10 }, -1, Hit::none },      // the hint line
        { { 10, 40 }, -1, Hit::none },      // the header band is no row
        { { 100, 55 }, -1, Hit::none },
        { { 10, 56 }, 0, Hit::none },       // above the tick's zone
        { { 10, 58 }, 0, Hit::tick },
        { { 20, 87 }, 0, Hit::tick },
        { { 21, 70 }, 0, Hit::none },
        { { 32, 60 }, 0, Hit::name },
        { { 241, 60 }, 0, Hit::name },
        { { 242, 60 }, 0, Hit::none },
        { { 256, 95 }, 1, Hit::cut },
        { { 383, 100 }, 1, Hit::cut },
        { { 384, 100 }, 1, Hit::none },
        { { 100, 124 }, -1, Hit::none },    // below the last row
    };

    for (const auto& c : cases)
    {
        const auto hit = CueListModel::hitTest (c.point, 2, 900);
        EXPECT_EQ (hit.row, c.row) << c.point.toString();
        EXPECT_EQ (hit.zone, c.zone) << c.point.toString();
    }

    // A narrow list cuts the cells; the editors follow.
    EXPECT_EQ (CueListModel::nameCell (0, 100).getWidth(), 68);
    EXPECT_EQ (CueListModel::cutField (0, 300).getWidth(), 36);
    EXPECT_EQ (CueListModel::cutField (0, 200).getWidth(), 0);
    EXPECT_EQ (CueListModel::editorBounds (1, CueListModel::EditKind::cut, 900), juce::Rectangle<int> (256, 91, 128, 32));
    EXPECT_EQ (CueListModel::editorBounds (0, CueListModel::EditKind::name, 900), juce::Rectangle<int> (32, 57, 210, 32));
    EXPECT_EQ (CueListModel::heightFor (3), 62 + 3 * 34);
    EXPECT_EQ (CueListModel::heightFor (0), 0);
}

TEST (CueListModel, TypedCuts)
{
    struct Case
    {
        const char* text;
        bool accepted;
        double seconds;
    };

    const Case cases[] {
        { "", true, 0.0 },
        { "1.5", true, 1.5 },
        { "1,5", true, 1.5 },       // a comma as the decimal point
        { "1.25,3", true, 1.25 },   // with a point, the comma ends the number
        { "+2", true, 2.0 },
        { "0", true, 0.0 },
        { "-1", false, 0.0 },
        { "1s", false, 0.0 },
        { "abc", false, 0.0 },
    };

    for (const auto& c : cases)
    {
        const auto reading = CueListModel::readCut (c.text);
        EXPECT_EQ (reading.accepted, c.accepted) << c.text;

        if (c.accepted)
        {
            EXPECT_DOUBLE_EQ (reading.seconds, c.seconds) << c.text;
        }
    }

    EXPECT_EQ (CueListModel::describeCut (rowWith (0.03)), "no silence");
    EXPECT_EQ (CueListModel::describeCut (rowWith (0.5)), "0.50 s silent");
    EXPECT_EQ (CueListModel::describeCut (rowWith (0.5, 1.25)), "cut 1.25 s");
    EXPECT_EQ (CueListModel::formatCutForEditing (0.0), "0.000");
}

TEST (CueListModel, TrimMenu)
{
    struct Case
    {
        double found;
        double cut;
        int rows;
        juce::StringArray items;
    };

    const Case cases[] {
        { 0.03, 0.0, 2, { "Silence found: 0.03 s", "[x] Keep it all", "---", "Type an amount...", "Cut the silence from every cue",
                          "Cut the silence from every cue, but 0.10 s" } },
        { 0.08, 0.0, 1, { "Silence found: 0.08 s", "[x] Keep it all", "Cut all of it   (0.08 s)", "---", "Type an amount..." } },
        { 0.2, 0.5, 1, { "Silence found: 0.20 s", "Keep it all", "Cut all of it   (0.20 s)", "Cut all but 0.10 s   (0.10 s)", "---",
                         "Type an amount..." } },
        { 0.001, 0.0, 1, { "No silence found at the start", "[x] Keep it all", "---", "Type an amount..." } },
    };

    for (const auto& c : cases)
        EXPECT_EQ (texts (CueListModel::buildTrimMenu (c.found, c.cut, c.rows)), c.items) << c.found;

    const auto items = CueListModel::buildTrimMenu (0.2, 0.0, 2);
    EXPECT_TRUE (items.front().isHeader);
    EXPECT_EQ (items[3].id, (int) CueListModel::cutAllButATenth);
}

TEST (CueListModel, TrimChoices)
{
    // Rows that found 0.03, 0.08 and 0.2 s; the second one is already cut by 0.5 s.
    const std::vector<CueResultRow> rows { rowWith (0.03), rowWith (0.08, 0.5), rowWith (0.2) };

    struct Case
    {
        int row;
        int choice;
        std::vector<std::pair<int, double>> changes;
    };

    const Case cases[] {
        { 1, CueListModel::keepAll, { { 1, 0.0 } } },
        { 0, CueListModel::keepAll, {} },                       // already 0: nothing is called
        { 2, CueListModel::cutAll, { { 2, 0.2 } } },
        { 2, CueListModel::cutAllButATenth, { { 2, 0.1 } } },
        { 1, CueListModel::cutEveryCue, { { 1, 0.08 }, { 2, 0.2 } } },   // 0.03 keeps its cut
        { 0, CueListModel::cutEveryCueButATenth, { { 2, 0.1 } } },
        { 0, CueListModel::typeAmount, {} },
        { 0, 0, {} },
        { 3, CueListModel::keepAll, {} },                       // rows were replaced by fewer
    };

    for (const auto& c : cases)
    {
        const auto found = c.row < (int) rows.size() ? rows[(size_t) c.row].silenceFoundSeconds : 0.0;
        const auto changes = CueListModel::changesForTrimChoice (rows, c.row, found, c.choice);
        ASSERT_EQ (changes.size(), c.changes.size()) << c.row << " " << c.choice;

        for (size_t i = 0; i < changes.size(); ++i)
        {
            EXPECT_EQ (changes[i].row, c.changes[i].first);
            EXPECT_NEAR (changes[i].seconds, c.changes[i].second, 1e-12);
        }
    }

    // One row: the menu's own found value is used, not the row's later one.
    EXPECT_NEAR (CueListModel::changesForTrimChoice ({ rowWith (0.2) }, 0, 0.3, CueListModel::cutAll).front().seconds, 0.3, 1e-12);
}

} // namespace dunmoor::testing
