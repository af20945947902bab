#pragma once

#include <vector>

#include "core/session/Session.h"

namespace dunmoor::ui
{

/**
    The Review page's cue choice without its combo box: which cues are offered, which one the
    page is about, and what the box shows. Box id 1 is "All cues", ids 2, 3, ... are the entries
    in cue order.

    Entries are compared by key as well as by text, so two projects whose cues share names never
    leave the choice pointing at a cue that is gone; a box id is always read through the keys the
    box was filled with.
*/
class ReviewCueChoice
{
public:
    struct Entry
    {
        juce::String key;
        juce::String text; // "1M01  (3)": the cue's name and how many stems its readable tracks use

        bool operator== (const Entry& other) const { return key == other.key && text == other.text; }
    };

    /** What a refresh did to the box. */
    struct Change
    {
        bool visibilityChanged = false;
        bool refilled = false;
    };

    /**
        Brings the choice up to date with the session. With fewer than two cues with tracks the
        choice is hidden, empty and about every track. Otherwise, when the entries differ, they are
        replaced and the chosen cue kept when it is still there; else the first cue is chosen, or
        "All cues" once the user has picked an entry.
    */
    Change refresh (const Session& session);

    /** The user picked a box id: remembers that, and chooses the cue the id stood for. */
    void choose (int boxId);

    bool isVisible() const noexcept { return visible; }
    const std::vector<Entry>& getEntries() const noexcept { return entries; }
    const juce::String& getChosenKey() const noexcept { return chosenKey; }

    /** The box id of the chosen entry: 1 for "All cues", 0 when the box is empty. */
    int getSelectedBoxId() const;

private:
    std::vector<Entry> entries;
    juce::String chosenKey;
    bool chosenByUser = false;
    bool visible = false;
};

} // namespace dunmoor::ui
