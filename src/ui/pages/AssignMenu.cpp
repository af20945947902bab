#include "AssignMenu.h"

#include <algorithm>

#include "core/preset/PresetReader.h"

namespace dunmoor::ui
{

namespace
{
    const juce::String blankGroup ("Blank");

    bool isUserTemplateId (int itemId)
    {
        return itemId >= AssignMenuIds::firstUserTemplate && itemId < AssignMenuIds::firstBuiltInTemplate;
    }

    juce::String twoDigits (int number)
    {
        return juce::String (number).paddedLeft ('0', 2);
    }
} // namespace

bool hasRoomForNewStem (const StemSchema& schema)
{
    return (int) schema.stems.size() < maxStems;
}

juce::String getStemItemText (const Stem& stem)
{
    return twoDigits (stem.index) + "  " + stem.displayName;
}

std::vector<int> getStemMenuOrder (const StemSchema& schema, bool alphabetical)
{
    std::vector<int> order ((size_t) schema.stems.size());

    for (size_t i = 0; i < order.size(); ++i)
        order[i] = (int) i;

    if (alphabetical)
    {
        // Upper-cased once, compared code point by code point: the case-blind order of names.
        std::vector<juce::String> keys;
        keys.reserve (schema.stems.size());

        for (const auto& stem : schema.stems)
            keys.push_back (stem.displayName.toUpperCase());

        std::stable_sort (order.begin(), order.end(), [&keys] (int a, int b)
                          { return keys[(size_t) a].compare (keys[(size_t) b]) < 0; });
    }

    return order;
}

void addNewStemSubmenu (juce::PopupMenu& menu, const StemSchema& schema, const std::vector<StemTemplate>& userTemplates)
{
    const auto room = hasRoomForNewStem (schema);
    menu.addSeparator();

    if (! userTemplates.empty())
    {
        juce::PopupMenu user;

        for (size_t i = 0; i < userTemplates.size(); ++i)
            user.addItem (AssignMenuIds::firstUserTemplate + (int) i, userTemplates[i].displayName, room);

        menu.addSubMenu ("New stem from user template", user, room);
    }

    const auto& catalogue = getBuiltInTemplates();
    juce::PopupMenu builtIn;

    for (const auto& group : getBuiltInTemplateGroups())
    {
        if (group == blankGroup)
            continue;

        juce::PopupMenu groupMenu;

        for (size_t i = 0; i < catalogue.size(); ++i)
            if (catalogue[i].group == group)
                groupMenu.addItem (AssignMenuIds::firstBuiltInTemplate + (int) i, catalogue[i].displayName, room);

        builtIn.addSubMenu (group, groupMenu, true);
    }

    menu.addSubMenu ("New stem from template", builtIn, room);
    menu.addItem (AssignMenuIds::newStem, "New stem", room);
}

juce::PopupMenu buildAssignMenu (const StemSchema& schema,
                                 const std::vector<StemTemplate>& userTemplates,
                                 const AssignMenuSettings& settings)
{
    juce::PopupMenu menu;
    menu.addSectionHeader (juce::String (settings.numSelected) + " track(s) selected");
    menu.addItem (AssignMenuIds::unassigned, "Unassigned");
    menu.addSeparator();

    for (const auto position : getStemMenuOrder (schema, settings.alphabetical))
        menu.addItem (AssignMenuIds::firstStem + position, getStemItemText (schema.stems[(size_t) position]));

    if (settings.showNoStemsItem && schema.stems.empty())
        menu.addItem (AssignMenuIds::noStems, "This preset has no stems", false);

    addNewStemSubmenu (menu, schema, userTemplates);

    menu.addSeparator();
    menu.addItem (AssignMenuIds::renameFile, "Rename file", settings.numSelected == 1);
    menu.addItem (AssignMenuIds::sortAlphabetically, "Sort stems alphabetically", true, settings.alphabetical);
    return menu;
}

bool isNewStemMenuItem (int itemId)
{
    return itemId >= AssignMenuIds::newStem && itemId < AssignMenuIds::newStemRangeEnd;
}

AssignMenuChoice decodeAssignMenuItem (int itemId,
                                       const StemSchema& schema,
                                       const std::vector<StemTemplate>& userTemplates,
                                       int numTracks)
{
    using Kind = AssignMenuChoice::Kind;
    AssignMenuChoice choice;

    if (itemId <= 0)
        return choice;

    if (isNewStemMenuItem (itemId))
    {
        // Swallowed unless the id names something the schema has room for.
        choice.kind = Kind::refusedNewStem;

        if (numTracks <= 0 || ! hasRoomForNewStem (schema))
            return choice;

        if (itemId == AssignMenuIds::newStem)
        {
            choice.kind = Kind::newStemPrompt;
        }
        else if (itemId >= AssignMenuIds::firstUserTemplate)
        {
            const auto user = isUserTemplateId (itemId);
            const auto& list = user ? userTemplates : getBuiltInTemplates();
            const auto k = itemId - (user ? AssignMenuIds::firstUserTemplate : AssignMenuIds::firstBuiltInTemplate);

            if (k < (int) list.size())
                choice = { Kind::fromTemplate, {}, list[(size_t) k] };
        }

        return choice;
    }

    if (itemId == AssignMenuIds::sortAlphabetically)
    {
        choice.kind = Kind::toggleAlphabetical;
    }
    else if (itemId == AssignMenuIds::renameFile)
    {
        choice.kind = Kind::renameFile;
    }
    else if (itemId == AssignMenuIds::unassigned)
    {
        choice.kind = Kind::unassign;
    }
    else
    {
        const auto position = itemId - AssignMenuIds::firstStem;

        if (position >= 0 && position < (int) schema.stems.size())
        {
            choice.kind = Kind::assignToStem;
            choice.stemId = schema.stems[(size_t) position].id;
        }
    }

    return choice;
}

//==============================================================================
Stem makeStemFromTypedName (const juce::String& typedName, const StemSchema& schema)
{
    const auto name = typedName.trim();

    Stem stem;
    stem.displayName = name;
    stem.fileNameToken = name;
    stem.colour = automaticStemColour ((int) schema.stems.size());

    KeywordRule rule;
    rule.pattern = name;
    rule.mode = name.containsChar (' ') ? MatchMode::phrase : MatchMode::token;
    stem.rules.push_back (rule);
    return stem;
}

StemTemplate makeUserTemplateFromStem (const Stem& stem)
{
    StemTemplate result;
    result.group = "User";
    result.displayName = stem.displayName.trim();
    result.shortCode = stem.shortCode;
    result.colourARGB = stem.colour;

    for (const auto& rule : stem.rules)
        result.keywords.add (rule.pattern);

    result.excludeKeywords = stem.excludeKeywords;
    return result;
}

juce::String addStemAndAssign (Session& session, Stem stem, const juce::StringArray& trackIds)
{
    auto preset = session.getPreset();
    const auto stemId = preset.schema.addStem (std::move (stem)).id; // read before the list changes again
    session.updatePreset (std::move (preset));
    session.assignTracks (trackIds, stemId, false);
    return stemId;
}

void assignToStemFromTemplate (Session& session, const StemTemplate& stemTemplate, const juce::StringArray& trackIds)
{
    if (const auto* existing = session.getPreset().schema.findStemWithSameName (stemTemplate.displayName, {}))
    {
        session.assignTracks (trackIds, existing->id, false);
        return;
    }

    (void) addStemAndAssign (session, stemTemplate.createStem(), trackIds);
}

bool keepStemAsTemplate (TemplateStore& store, const Stem& stem)
{
    if (store.hasLoadFailed())
        return false;

    const auto name = stem.displayName.trim();

    auto sameName = [&name] (const StemTemplate& t) { return t.displayName.trim().equalsIgnoreCase (name); };

    if (std::any_of (store.getTemplates().begin(), store.getTemplates().end(), sameName))
        return false;

    if (std::any_of (getBuiltInTemplates().begin(), getBuiltInTemplates().end(), sameName))
        return false;

    juce::String error;
    return store.addOrReplace (makeUserTemplateFromStem (stem), error);
}

NewStemOutcome createStemFromTypedName (Session& session,
                                        TemplateStore& store,
                                        const juce::String& typedName,
                                        const juce::StringArray& trackIds)
{
    NewStemOutcome outcome;
    const auto name = typedName.trim();
    const auto& schema = session.getPreset().schema;

    if (name.isEmpty() || trackIds.isEmpty() || ! hasRoomForNewStem (schema))
        return outcome;

    if (const auto* clash = schema.findStemWithSameName (name, {}))
    {
        outcome.kind = NewStemOutcome::Kind::refused;
        outcome.title = "That name is already taken";
        outcome.message = "Stem " + twoDigits (clash->index) + " is already called '" + clash->displayName
                        + "'. Assign these tracks to it instead, or pick another name.";
        return outcome;
    }

    // The name is stored as the stem's name, token and rule; a longer text makes the project
    // and preset files that hold it unreadable.
    if (name.length() > maxJsonTextLength)
    {
        outcome.kind = NewStemOutcome::Kind::refused;
        outcome.title = "That name is too long";
        outcome.message = "A stem name can have at most " + juce::String (maxJsonTextLength)
                        + " characters. Pick a shorter name.";
        return outcome;
    }

    const auto stem = makeStemFromTypedName (name, schema);
    outcome.kind = NewStemOutcome::Kind::created;
    outcome.stemId = addStemAndAssign (session, stem, trackIds);
    (void) keepStemAsTemplate (store, stem);
    return outcome;
}

//==============================================================================
void addNewStemSubmenu (juce::PopupMenu& menu, AppState& app)
{
    addNewStemSubmenu (menu, app.session.getPreset().schema, app.templateStore.getTemplates());
}

juce::PopupMenu buildAssignMenu (AppState& app, int numSelected, bool showNoStemsItem)
{
    return buildAssignMenu (app.session.getPreset().schema,
                            app.templateStore.getTemplates(),
                            { numSelected, app.isStemsAlphabetical(), showNoStemsItem });
}

bool handleNewStemMenuItem (int itemId, AppState& app, juce::Component* page, const juce::StringArray& trackIds)
{
    if (! isNewStemMenuItem (itemId))
        return false;

    const auto choice = decodeAssignMenuItem (itemId, app.session.getPreset().schema, app.templateStore.getTemplates(), trackIds.size());

    if (choice.kind == AssignMenuChoice::Kind::newStemPrompt)
        askForNewStemName (app, page, trackIds);
    else if (choice.kind == AssignMenuChoice::Kind::fromTemplate)
        assignToStemFromTemplate (app.session, choice.stemTemplate, trackIds);

    return true;
}

void handleAssignMenuItem (int itemId,
                           AppState& app,
                           juce::Component* page,
                           const juce::StringArray& trackIds,
                           const std::function<void()>& toggleAlphabetical)
{
    using Kind = AssignMenuChoice::Kind;

    if (itemId <= 0 || handleNewStemMenuItem (itemId, app, page, trackIds))
        return;

    const auto choice = decodeAssignMenuItem (itemId, app.session.getPreset().schema, app.templateStore.getTemplates(), trackIds.size());

    switch (choice.kind)
    {
        case Kind::toggleAlphabetical:
            if (toggleAlphabetical)
                toggleAlphabetical();
            break;
        case Kind::renameFile:
            if (! trackIds.isEmpty())
                askToRenameTrackFile (app, page, trackIds[0]);
            break;
        case Kind::unassign:
            app.session.assignTracks (trackIds, {}, false);
            break;
        case Kind::assignToStem:
            app.session.assignTracks (trackIds, choice.stemId, false);
            break;
        case Kind::nothing:
        case Kind::newStemPrompt:
        case Kind::fromTemplate:
        case Kind::refusedNewStem:
            break;
    }
}

void askForNewStemName (AppState& app, juce::Component* page, const juce::StringArray& trackIds)
{
    TextPromptRequest request;
    request.title = "New stem";
    request.message = juce::String (trackIds.size()) + " track(s) will be put in it, and it will be kept as a template for next time.";
    request.fields.push_back ({ "name", "Name", {} });
    request.okText = "Create";
    request.associatedComponent = page;

    juce::Component::SafePointer<juce::Component> safePage (page);

    app.seams->askForText (request, [&app, safePage, trackIds] (bool confirmed, const juce::StringArray& texts)
                           {
                               if (! confirmed)
                                   return;

                               const auto outcome = createStemFromTypedName (app.session, app.templateStore, texts[0], trackIds);

                               if (outcome.kind == NewStemOutcome::Kind::refused)
                                   app.seams->showWarning (outcome.title, outcome.message, safePage.getComponent());
                           });
}

void askToRenameTrackFile (AppState& app, juce::Component* page, const juce::String& trackId)
{
    const auto* track = app.session.findTrack (trackId);

    if (track == nullptr)
        return;

    // The file must not be held open by the audition while it is moved.
    app.previewEngine.stop();

    TextPromptRequest request;
    request.title = "Rename this file";
    request.message = "It is renamed on disk, in this folder:\n" + track->file.getParentDirectory().getFullPathName();
    request.fields.push_back ({ "name", {}, track->file.getFileNameWithoutExtension() });
    request.okText = "Rename";
    request.associatedComponent = page;

    juce::Component::SafePointer<juce::Component> safePage (page);

    app.seams->askForText (request, [&app, safePage, trackId] (bool confirmed, const juce::StringArray& texts)
                           {
                               const auto name = texts[0].trim();

                               if (! confirmed || name.isEmpty())
                                   return;

                               juce::String error;

                               if (! app.session.renameTrackFile (trackId, name, error))
                                   app.seams->showWarning ("The file was not renamed", error, safePage.getComponent());
                           });
}

} // namespace dunmoor::ui
