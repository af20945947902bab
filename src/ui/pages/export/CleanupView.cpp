#include "CleanupView.h"

#include <cstdint>

namespace dunmoor::ui::CleanupView
{

ZoomWindow zoomBy (ZoomWindow window, double factor)
{
    const auto width = juce::jlimit (minimumZoomWidth, 1.0, window.getWidth() * factor);
    const auto centre = (window.start + window.end) * 0.5;
    ZoomWindow result;
    result.start = juce::jlimit (0.0, 1.0 - width, centre - width * 0.5);
    result.end = result.start + width;
    return result;
}

ZoomWindow zoomAtPointer (ZoomWindow window, bool zoomIn, double pointerProportion)
{
    const auto width = window.getWidth();
    const auto newWidth = juce::jlimit (minimumZoomWidth, 1.0, width * (zoomIn ? wheelFactor : 1.0 / wheelFactor));
    const auto p = juce::jlimit (0.0, 1.0, pointerProportion) * width + window.start;

    ZoomWindow result;
    result.start = juce::jlimit (0.0, 1.0 - newWidth, p - newWidth / width * (p - window.start));
    result.end = result.start + newWidth;
    return result;
}

int tallerRowHeight (int rowHeight)
{
    return rowHeight < 10 ? minimumRowHeight : std::min (rowHeight + 16, maximumRowHeight);
}

int shorterRowHeight (int rowHeight)
{
    return rowHeight < 42 ? minimumRowHeight : rowHeight - 16;
}

bool detailCovers (const Detail& detail, ZoomWindow window)
{
    return detail.hasData() && window.start >= detail.start - 1e-9 && window.end <= detail.end + 1e-9;
}

bool detailNeedsFetch (const Detail& detail, ZoomWindow window)
{
    return ! detailCovers (detail, window) || (detail.end - detail.start) > 1.6 * window.getWidth();
}

double playStartSeconds (const GatedTrackRow& row)
{
    if (! row.regions.empty() && row.regions.front().start <= 1e-4)
        return row.regions.front().fullyGatedEnd * row.durationSeconds;

    return 0.0;
}

double clickSeconds (const GatedTrackRow& row, double fraction)
{
    for (const auto& region : row.regions)
        if (region.start <= fraction && fraction <= region.end)
            return region.fullyGatedEnd * row.durationSeconds;

    return fraction * row.durationSeconds;
}

std::optional<double> jumpTargetSeconds (const GatedTrackRow& row, double playheadFraction, bool forward)
{
    const auto current = playheadFraction >= 0.0 ? playheadFraction : -1.0;
    const auto limit = playheadFraction >= 0.0 ? playheadFraction : 1.0;
    const auto oneSecond = row.durationSeconds > 0.0 ? 1.0 / row.durationSeconds : 0.0;
    const GateRegion* target = nullptr;

    for (const auto& region : row.regions)
    {
        if (! (region.fullyGatedEnd < region.end))
            continue;

        if (forward && region.fullyGatedEnd > current + 1e-6)
        {
            target = &region;
            break;
        }

        if (! forward && region.fullyGatedEnd < limit - oneSecond)
            target = &region;
    }

    if (target == nullptr)
        return std::nullopt;

    return target->fullyGatedEnd * row.durationSeconds;
}

std::vector<Item> buildItems (const std::vector<GatedTrackRow>& rows, const juce::StringArray& foldedCues, int rowHeight)
{
    std::vector<Item> items;
    int y = 0;
    size_t header = 0;

    for (int i = 0; i < (int) rows.size(); ++i)
    {
        const auto& name = rows[(size_t) i].cueName;

        if (i == 0 || name != rows[(size_t) i - 1].cueName)
        {
            Item item;
            item.isHeader = true;
            item.row = i;
            item.y = y;
            item.height = groupHeaderHeight;
            item.folded = foldedCues.contains (name);
            header = items.size();
            items.push_back (item);
            y += groupHeaderHeight;
        }

        auto& group = items[header];
        ++group.groupSize;

        if (group.folded)
            continue;

        items.push_back ({ false, i, y, rowHeight });
        y += rowHeight;
    }

    return items;
}

int heightFor (const std::vector<Item>& items)
{
    if (items.empty())
        return 0;

    const auto& last = items.back();
    return 2 * margin + headerStripHeight + last.y + last.height;
}

juce::String describeCleanup (const std::vector<GatedTrackRow>& rows)
{
    int touched = 0;
    double seconds = 0.0;

    for (const auto& row : rows)
    {
        if (row.regionCount > 0)
            ++touched;

        seconds += row.gatedSeconds;
    }

    return juce::String (touched) + " of " + juce::String ((int) rows.size()) + " tracks touched, " + juce::String (seconds, 1)
         + " s taken down. Shaded is what was cleaned, blue its fades. Click one to hear it come back.";
}

juce::String describeRow (const GatedTrackRow& row)
{
    if (row.wholeFileSilent)
        return "all of it";

    if (row.regionCount > 0)
        return juce::String (row.gatedSeconds, 1) + " s";

    return "-";
}

juce::String hash64 (const juce::String& text)
{
    std::uint64_t h = 0;

    for (auto p = text.getCharPointer(); ! p.isEmpty();)
        h = h * 101u + (std::uint64_t) p.getAndAdvance();

    return juce::String ((juce::int64) h);
}

juce::String hash32 (const juce::String& text)
{
    std::uint32_t h = 0;

    for (auto p = text.getCharPointer(); ! p.isEmpty();)
        h = h * 31u + (std::uint32_t) p.getAndAdvance();

    return juce::String ((int) (std::int32_t) h);
}

juce::String previewFileName (const juce::String& sourcePath,
                              juce::int64 sourceSize,
                              juce::int64 sourceModifiedMs,
                              const SilenceGateSettings& gate,
                              double projectRate)
{
    const auto settings = juce::String (gate.enabled ? "on" : "off") + "_" + juce::String (gate.thresholdDb, 2) + "_"
                        + juce::String (gate.minimumSeconds, 3) + "_" + juce::String (gate.fadeOutSeconds, 3) + "_"
                        + juce::String (gate.fadeInSeconds, 3) + "_" + juce::String (gate.floorDb, 2) + "_"
                        + juce::String (projectRate, 1) + "_" + juce::String (sourceSize) + "_" + juce::String (sourceModifiedMs);

    return hash64 (sourcePath) + "-" + hash32 (settings) + ".wav";
}

} // namespace dunmoor::ui::CleanupView
