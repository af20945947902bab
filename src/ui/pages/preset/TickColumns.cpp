#include "TickColumns.h"

namespace dunmoor::ui
{

int TickColumns::columnWidthFor (int widestNameWidth)
{
    return juce::jlimit (minColumnWidth, maxColumnWidth, widestNameWidth + nameMargin);
}

TickColumns TickColumns::fit (int tickAreaWidth, int mixCount, int columnWidth, int oldOffset)
{
    TickColumns result;
    result.visible = juce::jmax (0, tickAreaWidth);
    result.total = juce::jmax (0, mixCount) * juce::jmax (0, columnWidth);

    if (result.visible == 0 || result.visible >= result.total)
        return result;

    result.scrollBarVisible = true;
    result.offset = juce::jlimit (0, result.total - result.visible, oldOffset);
    return result;
}

int TickColumns::columnAt (const StemRowLayout& layout, int x)
{
    if (x < layout.tickArea.getX() || x >= layout.tickArea.getRight())
        return -1;

    for (size_t i = 0; i < layout.columns.size(); ++i)
        if (x >= layout.columns[i].getX() && x < layout.columns[i].getRight())
            return (int) i;

    return -1;
}

int TickColumns::crossAt (const StemRowLayout& layout, int x)
{
    const int column = columnAt (layout, x);

    if (column < 0)
        return -1;

    const auto zone = crossZone (layout.columns[(size_t) column]);
    return x >= zone.getX() && x < zone.getRight() ? column : -1;
}

bool TickColumns::isInAuditionZone (const StemRowLayout& layout, int column, int x, bool hasCue)
{
    if (column < 0 || column >= (int) layout.columns.size())
        return false;

    const auto zone = auditionZone (layout.columns[(size_t) column], hasCue);
    return x >= zone.getX() && x < zone.getRight();
}

juce::Rectangle<int> TickColumns::crossZone (juce::Rectangle<int> column)
{
    return column.removeFromRight (juce::jmin (column.getWidth(), crossZoneWidth));
}

juce::Rectangle<int> TickColumns::auditionZone (juce::Rectangle<int> column, bool hasCue)
{
    const int w = column.getWidth();
    const int rest = w - juce::jmin (w, crossZoneWidth);
    return column.withWidth (hasCue ? juce::jmin (rest, auditionZoneWidth) : 0);
}

//==============================================================================
MixTicks::MixTicks (const StemSchema& schema, const Cue* cue)
{
    for (const auto& mix : schema.alternativeMixes)
    {
        const auto ids = cue != nullptr ? cue->getAlternativeMixStems (mix) : mix.stemIds;
        members.emplace_back (ids.begin(), ids.end());
    }
}

bool MixTicks::isMember (int mixIndex, const juce::String& stemId) const
{
    return mixIndex >= 0 && mixIndex < (int) members.size() && members[(size_t) mixIndex].count (stemId) > 0;
}

} // namespace dunmoor::ui
