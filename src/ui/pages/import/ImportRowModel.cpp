#include "ImportRowModel.h"

#include <algorithm>
#include <numeric>

namespace dunmoor::ui
{

namespace
{
    double durationSeconds (const AudioFileInfo& info)
    {
        return info.sampleRate > 0.0 ? (double) info.lengthInSamples / info.sampleRate : 0.0;
    }

    juce::String cueNameOf (const Session& session, const Track& track)
    {
        const auto* cue = session.findCue (track.cueKey);
        return cue != nullptr ? cue->name : juce::String();
    }

    // The widest of the texts, each distinct text measured once.
    int widestText (const std::vector<juce::String>& texts, const TextMeasure& measure)
    {
        struct Hash
        {
            size_t operator() (const juce::String& s) const noexcept { return (size_t) s.hashCode64(); }
        };

        std::unordered_map<juce::String, int, Hash> measured;
        int widest = 0;

        for (const auto& text : texts)
        {
            auto [entry, isNew] = measured.try_emplace (text, 0);

            if (isNew)
                entry->second = measure (text);

            widest = std::max (widest, entry->second);
        }

        return widest;
    }
} // namespace

const std::vector<ImportColumnInfo>& getImportColumns()
{
    static const std::vector<ImportColumnInfo> columns {
        { ImportColumn::file, "File", 260, 140, true },
        { ImportColumn::preview, "Preview", 150, 80, false },
        { ImportColumn::cue, "Cue", 130, 70, true },
        { ImportColumn::format, "Format", 66, 50, true },
        { ImportColumn::duration, "Duration", 88, 70, true },
        { ImportColumn::rate, "Rate", 76, 60, true },
        { ImportColumn::depth, "Depth", 80, 60, true },
        { ImportColumn::channels, "Ch", 56, 40, true },
        { ImportColumn::stem, "Stem", 160, 100, true },
        { ImportColumn::clip, "!", 74, 60, true },
        { ImportColumn::status, "Status", 200, 120, true },
    };

    return columns;
}

ClipState clipStateOf (const WaveformOverview* overview)
{
    if (overview == nullptr || overview->isEmpty())
        return ClipState::unknown;

    return overview->longestNearFullScaleRun >= 3 ? ClipState::clipped : ClipState::clean;
}

//==============================================================================
void ImportRowModel::refresh (const Session& session,
                              const juce::String& searchText,
                              int sortColumn,
                              bool forwards,
                              const ClipLookup& clipState)
{
    const auto search = searchText.trim();
    const auto& tracks = session.getTracks();

    std::vector<const Track*> shown;
    shown.reserve (tracks.size());

    for (const auto& track : tracks)
        if (search.isEmpty() || track.file.getFileName().containsIgnoreCase (search))
            shown.push_back (&track);

    // Upper-cased once, so that the comparisons are plain code-point comparisons: the same
    // order as comparing ignoring case, without folding every character on every comparison.
    std::vector<juce::String> keys;
    keys.reserve (shown.size());

    for (const auto* track : shown)
    {
        const auto clip = sortColumn == ImportColumn::clip && clipState ? clipState (*track) : ClipState::unknown;
        keys.push_back (getSortKey (session, *track, sortColumn, clip).toUpperCase());
    }

    std::vector<size_t> order (shown.size());
    std::iota (order.begin(), order.end(), (size_t) 0);
    std::stable_sort (order.begin(), order.end(), [&keys, forwards] (size_t a, size_t b)
                      {
                          const auto c = keys[a].compare (keys[b]);
                          return forwards ? c < 0 : c > 0;
                      });

    rows.clear();
    rows.reserve (order.size());
    rowById.clear();
    rowById.reserve (order.size());

    for (auto index : order)
    {
        rowById.emplace (shown[index]->id, (int) rows.size());
        rows.push_back (shown[index]->id);
    }
}

juce::String ImportRowModel::getTrackId (int row) const
{
    return row >= 0 && row < (int) rows.size() ? rows[(size_t) row] : juce::String();
}

int ImportRowModel::findRow (const juce::String& trackId) const
{
    const auto found = rowById.find (trackId);
    return found != rowById.end() ? found->second : -1;
}

int ImportRowModel::getShownTrackCount (const Session& session) const
{
    const auto total = (int) session.getTracks().size();

    if (total == 0 || (int) rows.size() == total)
        return -1;

    return (int) rows.size();
}

juce::String ImportRowModel::getSortKey (const Session& session, const Track& track, int column, ClipState clip)
{
    switch (column)
    {
        case ImportColumn::file:
        case ImportColumn::preview:
            return track.file.getFileName();
        case ImportColumn::cue:
            return cueNameOf (session, track);
        case ImportColumn::format:
            return track.info.formatName;
        case ImportColumn::duration:
            return juce::String (durationSeconds (track.info), 6).paddedLeft ('0', 16);
        case ImportColumn::rate:
            return juce::String (track.info.sampleRate, 1).paddedLeft ('0', 12);
        case ImportColumn::depth:
            return juce::String (track.info.bitsPerSample).paddedLeft ('0', 4);
        case ImportColumn::channels:
            return juce::String (track.info.numChannels).paddedLeft ('0', 4);
        case ImportColumn::stem:
        {
            const auto* stem = findTrackStem (session, track);
            return stem != nullptr ? stem->displayName : juce::String ("zzz unassigned");
        }
        case ImportColumn::clip:
            return clip == ClipState::clipped ? "0 clipped" : "1";
        case ImportColumn::status:
            return confidenceToString (track.confidence);
        default:
            return {};
    }
}

//==============================================================================
ImportStatus getImportStatus (const Session& session)
{
    ImportStatus status;
    const auto hasTracks = ! session.getTracks().empty();
    status.dropHintVisible = ! hasTracks;
    status.removeEnabled = hasTracks;
    status.clearEnabled = hasTracks;
    status.cueColumnVisible = hasTracks && session.getCuesWithTracks().size() > 1;
    return status;
}

const Stem* findTrackStem (const Session& session, const Track& track)
{
    return track.stemId.isEmpty() ? nullptr : session.getPreset().schema.findStem (track.stemId);
}

juce::String getCellText (const Session& session, const Track& track, int column)
{
    switch (column)
    {
        case ImportColumn::file:
            return track.file.getFileName();
        case ImportColumn::cue:
        {
            const auto* cue = session.findCue (track.cueKey);
            return cue != nullptr ? cue->name : juce::String ("-");
        }
        case ImportColumn::format:
            return track.info.formatName;
        case ImportColumn::duration:
            return track.info.describeLength();
        case ImportColumn::rate:
            return track.info.describeSampleRate();
        case ImportColumn::depth:
            return track.info.describeBitDepth();
        case ImportColumn::channels:
            return track.info.describeChannels();
        case ImportColumn::stem:
        {
            const auto* stem = findTrackStem (session, track);
            return stem != nullptr ? stem->displayName : juce::String ("-");
        }
        default:
            return {};
    }
}

juce::String getCellTooltip (const Session& session, const Track& track, int column, ClipState clip)
{
    auto pathAndWarnings = [&track]
    {
        auto text = track.file.getFullPathName();

        for (const auto& warning : track.warnings)
            text << "\n" << warning;

        return text;
    };

    switch (column)
    {
        case ImportColumn::file:
            return pathAndWarnings();
        case ImportColumn::preview:
            return pathAndWarnings() + "\nDouble-click to audition.";
        case ImportColumn::cue:
        {
            const auto* cue = session.findCue (track.cueKey);
            return cue != nullptr ? "Cue folder: " + cue->folder.getFullPathName() : juce::String();
        }
        case ImportColumn::clip:
            return clip == ClipState::clipped ? "Clipped." : clip == ClipState::clean ? "Not clipped." : "Not checked yet.";
        case ImportColumn::stem:
        case ImportColumn::status:
            return track.reason + "\nRight-click to assign this to a stem.";
        default:
            return {};
    }
}

//==============================================================================
std::vector<ColumnWidth> fitColumnsToContent (const Session& session,
                                              const std::vector<juce::String>& shownIds,
                                              bool cueColumnVisible,
                                              const TextMeasure& measure)
{
    std::vector<juce::String> names, cues, formats, durations, rates, depths;

    for (auto* list : { &names, &cues, &formats, &durations, &rates, &depths })
        list->reserve (shownIds.size());

    for (const auto& id : shownIds)
    {
        const auto* track = session.findTrack (id);

        if (track == nullptr)
            continue;

        names.push_back (track->file.getFileName());
        formats.push_back (track->info.formatName);
        durations.push_back (track->info.describeLength());
        rates.push_back (track->info.describeSampleRate());
        depths.push_back (track->info.describeBitDepth());

        if (cueColumnVisible)
            cues.push_back (cueNameOf (session, *track));
    }

    std::vector<ColumnWidth> widths;

    if (const auto widest = widestText (names, measure); widest > 0)
        widths.push_back ({ ImportColumn::file, juce::jlimit (200, 620, widest + 24) });

    if (cueColumnVisible)
        if (const auto widest = widestText (cues, measure); widest > 0)
            widths.push_back ({ ImportColumn::cue, juce::jlimit (90, 320, widest + 24) });

    const std::pair<int, const std::vector<juce::String>*> fitted[] = {
        { ImportColumn::format, &formats },
        { ImportColumn::duration, &durations },
        { ImportColumn::rate, &rates },
        { ImportColumn::depth, &depths },
    };

    for (const auto& [column, texts] : fitted)
    {
        const auto caption = measure (getImportColumns()[(size_t) column - 1].caption);
        widths.push_back ({ column, std::max (caption, widestText (*texts, measure)) + 24 });
    }

    return widths;
}

int fitPreviewColumnWidth (int viewportWidth, int otherColumnsWidth)
{
    return std::max (120, viewportWidth - otherColumnsWidth);
}

std::vector<ColumnWidth> fitColumnsToTable (const std::vector<ColumnRoom>& columns, int viewportWidth)
{
    std::vector<ColumnWidth> widths;
    int others = 0;

    for (const auto& c : columns)
    {
        widths.push_back ({ c.column, c.wanted });

        if (c.column != ImportColumn::preview)
            others += c.wanted;
    }

    int total = 0;

    for (auto& w : widths)
    {
        if (w.column == ImportColumn::preview)
            w.width = fitPreviewColumnWidth (viewportWidth, others);

        total += w.width;
    }

    // The file name tells the tracks apart, so it gives way last; the preview only shows what a
    // double-click plays.
    for (const auto column : { ImportColumn::preview, ImportColumn::cue, ImportColumn::stem, ImportColumn::status, ImportColumn::file })
    {
        for (size_t i = 0; i < widths.size() && total > viewportWidth; ++i)
        {
            if (widths[i].column != column)
                continue;

            const auto cut = std::min (total - viewportWidth, std::max (0, widths[i].width - columns[i].minimum));
            widths[i].width -= cut;
            total -= cut;
        }
    }

    return widths;
}

//==============================================================================
ImportSummaryBox describeImportSummary (const ImportSummary& summary)
{
    ImportSummaryBox box;
    const auto hasMessages = ! summary.messages.isEmpty();
    const auto splitCount = summary.alreadySplit.size();
    const auto already = summary.alreadyInList;

    if (! hasMessages && splitCount == 0 && already == 0)
        return box;

    box.show = true;

    if (hasMessages)
        box.message = summary.toText() + "\n\n" + summary.messages.joinIntoString ("\n");
    else if (already > 0)
        box.message = already == 1 ? juce::String ("1 file was already in the list.")
                                   : juce::String (already) + " files were already in the list.";

    if (splitCount > 0)
    {
        if (box.message.isNotEmpty())
            box.message << "\n\n";

        box.message << (splitCount == 1 ? "This file has already been split. Its two halves were imported instead:"
                                        : "These files have already been split. Their halves were imported instead:")
                    << "\n\n"
                    << summary.alreadySplit.joinIntoString ("\n");
    }

    box.warning = hasMessages;
    box.title = hasMessages ? "Some files could not be imported"
              : splitCount == 1 ? "One split file was not imported"
              : splitCount > 1 ? "Split files were not imported"
              : summary.imported == 0 ? "Nothing new was imported"
                                      : "Some files were already in the list";
    return box;
}

juce::String getRecentFolderLabel (const juce::File& folder)
{
    const auto parentName = folder.getParentDirectory().getFileName();
    return parentName.isEmpty() ? folder.getFileName() : parentName + " / " + folder.getFileName();
}

} // namespace dunmoor::ui
