#include "PresetPageTexts.h"

#include "core/files/PathRules.h"

namespace dunmoor::ui
{

LibraryButtonStates LibraryButtonStates::forEntry (const PresetLibraryEntry* entry)
{
    if (entry == nullptr)
        return { true, false, false };

    const bool user = ! entry->isBuiltIn;
    return { user, user, user };
}

NameClash NameClash::find (const StemSchema& schema, const juce::String& name, const juce::String& excludedStemId)
{
    NameClash clash;
    const auto number = [] (const Stem& stem) { return juce::String (stem.index).paddedLeft ('0', 2); };

    if (const auto* other = schema.findStemWithSameName (name, excludedStemId))
    {
        clash.kind = Kind::same;
        clash.title = "That name is already taken";
        clash.message = "Stem " + number (*other) + " is already called '" + other->displayName + "'.\n\n"
                      + "Both would be written as '" + other->getFileNameToken()
                      + "', so they would produce the same file name and the second would overwrite the first.\n\n"
                      + "Use the name anyway?";
    }
    else if (const auto* similar = schema.findStemWithSimilarName (name, excludedStemId))
    {
        clash.kind = Kind::similar;
        clash.title = "Another stem is nearly called that";
        clash.message = "Stem " + number (*similar) + " is called '" + similar->displayName
                      + "', which is the same name apart from spacing.\n\n"
                      + "These are two different stems and both will be written, as '" + similar->getFileNameToken()
                      + "' and '" + name.trim() + "'.\n\n" + "Is that what you want?";
    }

    return clash;
}

juce::String PresetPageTexts::statusText (bool presetModified)
{
    return presetModified ? juce::String (unsavedChanges) : juce::String();
}

juce::String PresetPageTexts::exportFileName (const juce::String& presetName)
{
    return sanitiseFileName (presetName, "-", "preset", 80) + ".dunmoor.json";
}

juce::String PresetPageTexts::deleteStemsTitle (const StemSchema& schema, const juce::StringArray& stemIds)
{
    if (stemIds.size() == 1)
    {
        const auto* stem = schema.findStem (stemIds[0]);
        return "Delete the stem '" + (stem != nullptr ? stem->displayName : juce::String()) + "'?";
    }

    juce::StringArray names;

    for (const auto& id : stemIds)
        if (const auto* stem = schema.findStem (id))
            names.add (stem->displayName);

    return "Delete " + juce::String (stemIds.size()) + " stems?  " + names.joinIntoString (", ");
}

juce::String PresetPageTexts::deleteAllStemsMessage (int stemCount)
{
    return "This removes all " + juce::String (stemCount)
         + " stems from this preset, with their keyword rules and their colours.\n\n"
           "The preset keeps its name, its publisher fields and its export settings, and nothing is written to the "
           "library until you save it.";
}

juce::String PresetPageTexts::deleteMenuItem (int selectedCount)
{
    return selectedCount >= 2 ? "Delete " + juce::String (selectedCount) + " stems" : juce::String ("Delete");
}

void renameStem (Stem& stem, const juce::String& newName)
{
    if (stem.fileNameToken == stem.displayName)
        stem.fileNameToken = newName;

    stem.displayName = newName;
}

} // namespace dunmoor::ui
