#pragma once

#include <vector>

#include <juce_gui_basics/juce_gui_basics.h>

#include "core/model/StemTemplate.h"
#include "core/preset/TemplateStore.h"
#include "core/session/Session.h"
#include "ui/app/AppState.h"

namespace dunmoor::ui
{

/**
    The popup with which the Import and Review pages move selected tracks to a stem. Both pages
    build the same menu with the same item ids and act on a chosen id in the same order; the
    building, the decoding of a chosen id and what the choices do to the session live here, so
    that they are tested without a window.

    Item ids stay the stem's position in the schema whatever order the menu shows, and the new-stem
    items address a template by its position in the list it came from.
*/
namespace AssignMenuIds
{
    constexpr int noStems = -1;              // disabled "This preset has no stems"
    constexpr int unassigned = 1;
    constexpr int firstStem = 2;             // + the stem's schema position
    constexpr int sortAlphabetically = 100000;
    constexpr int renameFile = 100001;
    constexpr int newStem = 200000;          // a blank stem named in a prompt
    constexpr int firstUserTemplate = 201000; // + the position in the user's template list
    constexpr int firstBuiltInTemplate = 202000; // + the position in the built-in catalogue
    constexpr int newStemRangeEnd = 203000;  // first id after the new-stem items
} // namespace AssignMenuIds

/** True while the schema can take another stem (fewer than maxStems). */
bool hasRoomForNewStem (const StemSchema& schema);

/** "03  Strings": the stem's index with at least two digits, two spaces, its display name. */
juce::String getStemItemText (const Stem& stem);

/** The schema positions of the stems in the order the menu lists them: schema order, or by
    display name ignoring case (equal names keep schema order) when alphabetical. */
std::vector<int> getStemMenuOrder (const StemSchema& schema, bool alphabetical);

/**
    Appends the new-stem items: a separator, the user-template submenu (only when there are user
    templates), the built-in template submenu by group (without the "Blank" group) and "New stem".
    All of it is disabled once the schema is full.
*/
void addNewStemSubmenu (juce::PopupMenu& menu, const StemSchema& schema, const std::vector<StemTemplate>& userTemplates);

/** What goes into an assign menu besides the schema and the templates. */
struct AssignMenuSettings
{
    int numSelected = 0;
    bool alphabetical = false;
    bool showNoStemsItem = false; // the Import page says so when the schema has no stems
};

/** The whole assign menu, as both pages show it. */
juce::PopupMenu buildAssignMenu (const StemSchema& schema,
                                 const std::vector<StemTemplate>& userTemplates,
                                 const AssignMenuSettings& settings);

/** What a chosen id asks for. */
struct AssignMenuChoice
{
    enum class Kind
    {
        nothing,            // dismissed, or an id that names nothing any more
        unassign,
        assignToStem,       // stemId
        toggleAlphabetical,
        renameFile,
        newStemPrompt,
        fromTemplate,       // stemTemplate
        refusedNewStem      // a new-stem id while there are no tracks or no room: swallowed
    };

    Kind kind = Kind::nothing;
    juce::String stemId;
    StemTemplate stemTemplate;
};

/** True for the ids of the new-stem items, which are handled before every other id. */
bool isNewStemMenuItem (int itemId);

/** Reads a chosen id against the schema and template lists as they are now. */
AssignMenuChoice decodeAssignMenuItem (int itemId,
                                       const StemSchema& schema,
                                       const std::vector<StemTemplate>& userTemplates,
                                       int numTracks);

//==============================================================================
/** The stem a typed name makes: the name (trimmed) as display name and file-name token, the
    next automatic colour and one rule of the name (phrase mode when it holds a space). */
Stem makeStemFromTypedName (const juce::String& typedName, const StemSchema& schema);

/** The user template kept from a stem: group "User", its name, code, colour, rule patterns and
    exclusions. */
StemTemplate makeUserTemplateFromStem (const Stem& stem);

/** Adds the stem to a copy of the session's preset, hands the copy to the session and assigns
    the tracks to the new stem. Returns the new stem's id. */
juce::String addStemAndAssign (Session& session, Stem stem, const juce::StringArray& trackIds);

/** Assigns the tracks to the stem of the template's name when the schema has one; otherwise
    makes a stem from the template and assigns them to it. */
void assignToStemFromTemplate (Session& session, const StemTemplate& stemTemplate, const juce::StringArray& trackIds);

/**
    Stores the stem as a user template unless a user or built-in template of its name exists.
    A store whose file could not be read is never written (it would replace the user's templates
    with this one); the refusal is silent, as is one by the store itself. True when stored.
*/
bool keepStemAsTemplate (TemplateStore& store, const Stem& stem);

/** What a typed new-stem name came to. */
struct NewStemOutcome
{
    enum class Kind
    {
        nothing, // blank name, no tracks or no room
        refused, // a box with title and message explains why
        created  // stemId names the new stem
    };

    Kind kind = Kind::nothing;
    juce::String title;
    juce::String message;
    juce::String stemId;
};

/**
    Makes the stem a typed name asks for, assigns the tracks to it and keeps it as a user
    template. Refused, with the box's texts, when a stem already carries the name and when the
    name is longer than a stored document can hold (a saved project would not open again).
*/
NewStemOutcome createStemFromTypedName (Session& session,
                                        TemplateStore& store,
                                        const juce::String& typedName,
                                        const juce::StringArray& trackIds);

//==============================================================================
// The menu over the application's session, templates and seams, as the pages use it.

/** The new-stem items for the application's session and user templates. */
void addNewStemSubmenu (juce::PopupMenu& menu, AppState& app);

/** The whole assign menu for the selected tracks, as the pages show it. */
juce::PopupMenu buildAssignMenu (AppState& app, int numSelected, bool showNoStemsItem);

/** Acts on a new-stem id: false for any other id, true for every id of the new-stem range
    (whether or not it did anything). */
bool handleNewStemMenuItem (int itemId, AppState& app, juce::Component* page, const juce::StringArray& trackIds);

/**
    Acts on a chosen id in the order both pages share: the new-stem items first, then sorting
    (toggleAlphabetical, which each page does its own way), renaming the first track's file,
    unassigning, and assigning to the stem at that position of the schema as it is now.
*/
void handleAssignMenuItem (int itemId,
                           AppState& app,
                           juce::Component* page,
                           const juce::StringArray& trackIds,
                           const std::function<void()>& toggleAlphabetical);

/** The "New stem" prompt; its answer makes the stem, assigns the tracks and keeps the stem as
    a user template, or explains in a box why not. */
void askForNewStemName (AppState& app, juce::Component* page, const juce::StringArray& trackIds);

/** The prompt that renames a track's file on disk, in its folder; a refusal shows in a box. */
void askToRenameTrackFile (AppState& app, juce::Component* page, const juce::String& trackId);

} // namespace dunmoor::ui
