#include <gtest/gtest.h>

#include "BlockColumnsTestSupport.h"

#include "ui/pages/export/BlockColumns.h"
#include "ui/pages/export/BlockLayoutSettings.h"

namespace dunmoor::testing
{
namespace
{
    using namespace ui;
    using ui::BlockColumns::BlockSpec;

    /** The seven blocks with fixed heights (the panel is the height plus 24). */
    std::vector<BlockSpec> blocksOfHeights (std::map<juce::String, int> heights = {})
    {
        const std::map<juce::String, int> defaults { { "naming", 150 }, { "namingRules", 300 }, { "cues", 120 }, { "cleanup", 230 },
                                                     { "rules", 160 }, { "formats", 120 }, { "headroom", 250 } };
        std::vector<BlockSpec> blocks;

        for (const auto& id : BlockColumns::getBlockIds())
        {
            const auto wide = id == "naming" || id == "formats";
            const auto height = heights.count (id) > 0 ? heights.at (id) : defaults.at (id);
            blocks.push_back ({ id, wide ? 620 : 440, wide ? 620 : 440, [height] (juce::Rectangle<int> area) { return area.getY() + height; } });
        }

        return blocks;
    }

    juce::String describeColumns (const BlockColumns::Result& result)
    {
        return testing::describeColumns (result.placements, result.getNumColumns());
    }

    BlockColumns::SavedLayout savedFrom (const juce::String& text, std::vector<double> widths = {})
    {
        const auto arrangement = BlockLayoutSettings::applyArrangement (text);
        return { arrangement.columnsOverride, arrangement.blockLayout, std::move (widths) };
    }

    juce::String lines (std::initializer_list<const char*> items, const char* separator = "\n")
    {
        juce::StringArray list;

        for (auto* item : items)
            list.add (item);

        return list.joinIntoString (separator);
    }
} // namespace

TEST (BlockColumns, ColumnCountAndAutomaticWidths)
{
    EXPECT_EQ (BlockColumns::maxColumnsFor (1523), 2);
    EXPECT_EQ (BlockColumns::maxColumnsFor (1524), 3);
    EXPECT_EQ (BlockColumns::maxColumnsFor (1975), 3);
    EXPECT_EQ (BlockColumns::maxColumnsFor (1976), 4);

    struct Case
    {
        int width;
        std::vector<int> widths;
    };

    for (const auto& c : { Case { 856, { 440, 404 } }, Case { 1400, { 440, 948 } }, Case { 1600, { 440, 440, 696 } },
                           Case { 2000, { 440, 440, 644, 440 } } })
    {
        const auto result = BlockColumns::layout (c.width, {}, blocksOfHeights());
        EXPECT_EQ (result.widths, c.widths) << c.width;
        EXPECT_EQ (result.xs.front(), 12);

        for (size_t i = 1; i < result.xs.size(); ++i)
            EXPECT_EQ (result.xs[i], result.xs[i - 1] + result.widths[i - 1] + 12);
    }
}

TEST (BlockColumns, AutomaticPlacement)
{
    struct Case
    {
        int width;
        const char* columns;
    };

    const Case cases[] {
        { 1400, "cues rules | naming namingRules formats cleanup headroom" },
        // Cleanup ends above the three naming and format blocks together, so headroom joins it.
        { 1600, "cues rules | cleanup headroom | naming namingRules formats" },
        // Rules finds the side column still empty.
        { 2000, "cues | cleanup headroom | naming namingRules formats | rules" },
        // The smallest window: the main column is narrower than the wide blocks, which go to it
        // as the widest column rather than to column 0.
        { 1060, "cues rules | naming namingRules formats cleanup headroom" },
        // The smallest content: column 1 is too narrow for any block, column 0 the wider one.
        { 856, "naming namingRules formats cues cleanup rules headroom | " },
    };

    for (const auto& c : cases)
    {
        const auto result = BlockColumns::layout (c.width, {}, blocksOfHeights());
        EXPECT_EQ (describeColumns (result), c.columns) << c.width;
        EXPECT_FALSE (result.savedArrangementUsed);
    }

    // Panels: 12 px under the lowest item, the next block 12 px under the panel.
    const auto result = BlockColumns::layout (1400, {}, blocksOfHeights());
    const auto& cues = result.placements[3];
    ASSERT_EQ (cues.blockId, "cues");
    EXPECT_EQ (cues.panel, juce::Rectangle<int> (12, 12, 440, 12 + 120 + 12));
    EXPECT_EQ (result.placements[5].blockId, "rules");
    EXPECT_EQ (result.placements[5].panel.getY(), cues.panel.getBottom() + 12);
}

TEST (BlockColumns, SavedArrangementsAcrossWidths)
{
    const auto blocks = blocksOfHeights();

    // Made at four columns: used at three, where the blocks of column 3 are placed automatically.
    const auto four = savedFrom (lines ({ "cues:0", "rules:0", "cleanup:1", "headroom:1", "naming:2", "namingRules:2", "formats:3", "@columns:4" }));
    const auto atThree = BlockColumns::layout (1600, four, blocks);
    EXPECT_TRUE (atThree.savedArrangementUsed);
    EXPECT_EQ (describeColumns (atThree), "cues rules | cleanup headroom | naming namingRules formats");
    EXPECT_EQ (describeColumns (BlockColumns::layout (2000, four, blocks)), "cues rules | cleanup headroom | naming namingRules formats | ");

    // Made at two columns: ignored at three and four, used again at two.
    const auto two = savedFrom (lines ({ "naming:0", "formats:0", "cues:1", "cleanup:1", "rules:1", "namingRules:1", "headroom:1", "@columns:2" }));
    EXPECT_FALSE (BlockColumns::layout (1600, two, blocks).savedArrangementUsed);
    EXPECT_FALSE (BlockColumns::layout (2000, two, blocks).savedArrangementUsed);
    const auto atTwo = BlockColumns::layout (1400, two, blocks);
    EXPECT_TRUE (atTwo.savedArrangementUsed);
    // naming and formats do not fit column 0 (440 wide) and are placed automatically.
    EXPECT_EQ (describeColumns (atTwo), " | cues cleanup rules namingRules headroom naming formats");

    // Columns 0 and 2 only (stored at four columns): shown in two columns.
    const auto gaps = savedFrom (lines ({ "cues:0", "rules:0", "naming:2", "namingRules:2", "formats:2", "cleanup:2", "headroom:2", "@columns:4" }));
    const auto compacted = BlockColumns::layout (2000, gaps, blocks);
    EXPECT_TRUE (compacted.savedArrangementUsed);
    EXPECT_EQ (compacted.getNumColumns(), 2);
    EXPECT_EQ (describeColumns (compacted), "cues rules | naming namingRules formats cleanup headroom");

    // Saved widths apply when the last column keeps 440 px; otherwise the automatic ones.
    EXPECT_EQ (BlockColumns::layout (1400, { 0, {}, { 0.4, 0.6 } }, blocks).widths, (std::vector<int> { 555, 833 }));
    EXPECT_EQ (BlockColumns::layout (1400, { 0, {}, { 0.8, 0.2 } }, blocks).widths, (std::vector<int> { 440, 948 }));
    EXPECT_EQ (BlockColumns::layout (1400, { 0, {}, { 0.3, 0.3, 0.4 } }, blocks).widths, (std::vector<int> { 440, 948 }));
}

TEST (BlockColumns, DropsAndIndicators)
{
    const auto before = BlockColumns::layout (1400, {}, blocksOfHeights());
    const auto& p = before.placements;
    auto panelOf = [&p] (const char* id) { return std::find_if (p.begin(), p.end(), [id] (auto& x) { return x.blockId == id; })->panel; };

    // Between cues and rules of column 0: directly above rules; the mark 7 px above rules.
    const auto between = panelOf ("rules").getY() - 3;
    EXPECT_EQ (BlockColumns::dropIndicatorFor (before, "headroom", 0, between), juce::Rectangle<int> (12, panelOf ("rules").getY() - 7, 440, 2));
    const auto text = BlockColumns::arrangementAfterDrop (before, "headroom", 0, between);
    EXPECT_EQ (text, lines ({ "cues:0", "headroom:0", "rules:0", "naming:1", "namingRules:1", "formats:1", "cleanup:1", "@columns:2" }));
    EXPECT_EQ (describeColumns (BlockColumns::layout (1400, savedFrom (text), blocksOfHeights())),
               "cues headroom rules | naming namingRules formats cleanup");

    // Below the last block: last; the mark 5 px under it. The dragged block itself is not counted.
    EXPECT_EQ (BlockColumns::dropIndicatorFor (before, "headroom", 1, 5000).getY(), panelOf ("cleanup").getBottom() + 5);
    EXPECT_EQ (BlockColumns::dropIndicatorFor (before, "cues", 0, 5000).getY(), panelOf ("rules").getBottom() + 5);
    EXPECT_EQ (BlockColumns::arrangementAfterDrop (before, "cues", 0, 5000),
               lines ({ "rules:0", "cues:0", "naming:1", "namingRules:1", "formats:1", "cleanup:1", "headroom:1", "@columns:2" }));

    // Off every column: no mark.
    const auto rects = before.getColumnRects();
    EXPECT_EQ (BlockColumns::columnAt (rects, 5), -1);
    EXPECT_EQ (BlockColumns::columnAt (rects, 12), 0);
    EXPECT_EQ (BlockColumns::columnAt (rects, 452), -1);
    EXPECT_EQ (BlockColumns::columnAt (rects, 464), 1);
    EXPECT_TRUE (BlockColumns::dropIndicatorFor (before, "cues", -1, 100).isEmpty());
}

TEST (BlockColumns, GapDrags)
{
    struct Case
    {
        std::vector<int> start;
        int index;
        int x;
        std::vector<int> widths;
    };

    const Case cases[] {
        { { 440, 948 }, 0, 5000, { 948, 440 } },           // stops with 440 left on the right
        { { 440, 948 }, 0, -200, { 440, 948 } },           // and on the left
        { { 440, 948 }, 0, 12 + 600, { 600, 788 } },
        { { 440, 440, 696 }, 1, 464 + 500, { 440, 500, 636 } },
        { { 440, 404 }, 0, 12 + 300, { 440, 404 } },       // together under 880: 440 left of it...
        { { 440, 404 }, 0, 12 + 460, { 404, 440 } },       // ...else all but 440
        { { 440, 948 }, 1, 900, {} },                      // no gap right of the last column
    };

    for (const auto& c : cases)
        EXPECT_EQ (BlockColumns::widthsAfterGapMove (c.start, c.index, c.x, 12), c.widths) << c.index << " " << c.x;

    EXPECT_EQ (BlockColumns::formatWidthFractions ({ 600, 788 }, 1388), "0.4323,0.5677");
}

TEST (BlockLayoutSettings, CleaningTheStoredArrangement)
{
    struct Case
    {
        juce::String stored;
        juce::String cleaned;
    };

    const Case cases[] {
        { "cues:1\ncues:0", "cues:1" },
        { "cues: 2\r\nnaming:01", "cues:2\r\nnaming:1" },
        { "folder:0\ncues:-1\ncues:\nrules", "" },
        { "@columns:10\r@columns:3\n@columns:100\n@columns:", "@columns:10\r\n@columns:3" },
        { "headroom:2\nformats:5\n\n x:y:1", "headroom:2\r\nformats:5" },
    };

    for (const auto& c : cases)
        EXPECT_EQ (BlockLayoutSettings::cleanBlockColumns (c.stored), c.cleaned) << c.stored;

    const auto applied = BlockLayoutSettings::applyArrangement ("@columns:10\r\nheadroom:2\r\nformats:5\r\n@columns:3");
    EXPECT_EQ (applied.columnsOverride, 3);
    EXPECT_EQ (applied.blockLayout, "headroom:0\nformats:1");
    EXPECT_EQ (BlockLayoutSettings::applyArrangement ({}).blockLayout, "");
}

TEST (BlockLayoutSettings, StoredWidths)
{
    struct Case
    {
        const char* stored;
        std::vector<double> applied;
    };

    const Case cases[] {
        { "0.3,0.7", { 0.3, 0.7 } },
        { "0.25,0.25,0.25,0.25", { 0.25, 0.25, 0.25, 0.25 } },
        { "0.49, 0.49", { 0.49, 0.49 } },
        { "0.5,0.5,0", {} },
        { "0.5", {} },
        { "0.6,0.6", {} },
        { "0.2,0.2,0.2,0.2,0.2", {} },
        { "x,0.5", {} },
        { "", {} },
    };

    for (const auto& c : cases)
        EXPECT_EQ (BlockLayoutSettings::readColumnWidths (c.stored), c.applied) << c.stored;
}

} // namespace dunmoor::testing
