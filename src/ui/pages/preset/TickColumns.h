#pragma once

#include <set>
#include <vector>

#include "StemListGeometry.h"
#include "core/session/Cue.h"

namespace dunmoor::ui
{

/**
    The alternative-mix columns beside the stem names: how wide one column is, whether the
    horizontal scroll bar is needed and where it stands, and which zone of a heading column a
    point is in.
*/
struct TickColumns
{
    static constexpr int minColumnWidth = 116;
    static constexpr int maxColumnWidth = 210;
    static constexpr int nameMargin = 45;
    static constexpr int crossZoneWidth = 16;
    static constexpr int auditionZoneWidth = 18;

    /** 116 for names up to 70 px wide, else the widest name + 45, at most 210. */
    static int columnWidthFor (int widestNameWidth);

    bool scrollBarVisible = false;
    int total = 0;   // every column together
    int visible = 0; // the width the rows show of them
    int offset = 0;  // the scroll position, 0 while the bar is hidden

    /**
        For a tick area of that width (what a row leaves right of its audition cell and name
        area, so the list's own scroll bar is never counted as room): the bar is hidden and the
        offset 0 when nothing is visible or everything fits; otherwise the old offset is held
        within 0 .. total - visible.
    */
    static TickColumns fit (int tickAreaWidth, int mixCount, int columnWidth, int oldOffset);

    //==============================================================================
    // The heading strip: per column, a remove cross on the right, an audition zone on the left
    // while a cue is chosen, the name between them.

    /** The column whose [x, x + width) holds x inside the tick area, else -1. */
    static int columnAt (const StemRowLayout& layout, int x);

    /** The column whose cross zone holds x inside the tick area, else -1. */
    static int crossAt (const StemRowLayout& layout, int x);

    /** True when x is in the audition zone of that column (only while a cue is chosen). */
    static bool isInAuditionZone (const StemRowLayout& layout, int column, int x, bool hasCue);

    static juce::Rectangle<int> crossZone (juce::Rectangle<int> column);
    static juce::Rectangle<int> auditionZone (juce::Rectangle<int> column, bool hasCue);
};

/**
    Which stems each alternative mix holds under the chosen scope: the cue's exception when a
    cue is given and it has one for the mix, else the mix's own members. Built once per change
    so that painting a row looks a tick up instead of copying member lists.
*/
class MixTicks
{
public:
    MixTicks() = default;
    MixTicks (const StemSchema& schema, const Cue* cue);

    /** False for a mix index out of range. */
    bool isMember (int mixIndex, const juce::String& stemId) const;

private:
    std::vector<std::set<juce::String>> members;
};

} // namespace dunmoor::ui
