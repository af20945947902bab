#pragma once

#include <functional>
#include <memory>

#include "CueChoices.h"
#include "PresetAuditionStrip.h"
#include "PresetPageContext.h"
#include "PresetPageLayout.h"
#include "TickColumns.h"

namespace dunmoor::ui
{

/**
    The alternative mixes of the Preset & Stems page, as tick columns beside the stem names:
    the "Cue" choice that says what the ticks edit (the preset under "All cues", one cue's
    exception otherwise), "Add Alternative Mix", and the heading strip over the stem rows that
    names each column, renames it on a double-click, removes it with its cross and, for a
    chosen cue, plays it. The stem rows draw their ticks from here and hand their clicks here.

    It keeps the columns' state: the chosen cue, the width of one column and how far they are
    scrolled; the stem list's horizontal scroll bar moves them.
*/
class MixColumns : public juce::Component
{
public:
    MixColumns (PresetPageContext& context, PresetAuditionStrip& audition);
    ~MixColumns() override;

    void addSubmix();
    void renameSubmix (const juce::String& mixId);
    void removeSubmix (const juce::String& mixId);

    /** Makes the schema (the working one with its mixes edited) the working copy's. */
    void commitSubmixTicks (const StemSchema& schema);

    /** Toggles the stem's tick in that column: the chosen cue's exception, or the preset's. */
    void tickClicked (const Stem& stem, int column);

    /** Whether the stem's tick is on in the mix under the current scope (the chosen cue's
        exception, or the preset's members). */
    bool isStemInMix (int mixIndex, const juce::String& stemId);

    /** True when the chosen cue has readable tracks on the stem. */
    bool cueHasTracks (const juce::String& stemId) const;

    /** Rebuilds the "Cue" choice from the session, keeping the chosen cue while it has tracks. */
    void refreshCueChoices();

    /** The key of the chosen cue; empty for "All cues". */
    const juce::String& getSelectedCueKey() const noexcept { return selectedCueKey; }
    bool hasCue() const noexcept { return selectedCueKey.isNotEmpty(); }
    int getTickColumnWidth() const noexcept { return tickColumnWidth; }
    int getTickScrollOffset() const noexcept { return tickScrollOffset; }

    /** A stem row, or the heading, split into audition cell, name, tick area and columns. */
    StemRowLayout rowLayout (juce::Rectangle<int> row) const;

    /** Takes the column width from the longest mix name. */
    void updateColumnWidth();

    /** How the columns fit what a row leaves for the ticks, holding the current offset. */
    TickColumns fitColumns (int tickAreaWidth) const;

    /** Where the columns are scrolled to: from the fit, or from the stem list's scroll bar. */
    void setScrollOffset (int offset);

    void tracksChanged();
    void assignmentsChanged();
    void presetChanged();

    void repaintHeading();

    /** Takes its place and places its controls, from the page's layout. */
    void layOut (const PresetPageLayout& layout);

    /** After a mix was added, renamed or removed, or a tick of the preset changed. */
    std::function<void (const Preset& edited)> onPresetEdited;

    /** After something the stem rows draw of the columns changed: a cue's tick, the scroll. */
    std::function<void()> onColumnsChanged;

    /** After another cue (or "All cues") was chosen, or the chosen one went: the rows gain or
        lose their audition cell. */
    std::function<void()> onScopeChanged;

private:
    class Heading;

    void cueChoiceChanged();
    void rebuildCueStemIndex();
    const MixTicks& currentMixTicks();
    void columnsChanged();

    PresetPageContext& context;
    Session& session;
    PresetAuditionStrip& audition;

    juce::Label cueLabel;
    juce::ComboBox cueChoice;
    juce::TextButton addMixButton { "Add Alternative Mix" };
    std::unique_ptr<Heading> heading;

    int tickColumnWidth = TickColumns::minColumnWidth;
    int tickScrollOffset = 0;
    juce::String selectedCueKey; // empty: "All cues"
    CueStemIndex cueStemIndex;   // rebuilt when tracks or assignments change
    CueChoices cueChoices;       // what the Cue choice lists
    MixTicks mixTicks;           // the ticks under the current scope
    bool mixTicksStale = true;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MixColumns)
};

} // namespace dunmoor::ui
