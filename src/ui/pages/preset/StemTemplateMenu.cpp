#include "StemTemplateMenu.h"

#include "StemFieldEdits.h"
#include "core/model/StemSchema.h"

namespace dunmoor::ui
{

StemTemplateMenu StemTemplateMenu::build (const std::vector<StemTemplate>& userTemplates,
                                          const std::vector<StemTemplate>& catalogue,
                                          bool hasRoomForAStem)
{
    StemTemplateMenu result;
    auto& menu = result.menu;

    // The store keeps at most 500, so the user ids never reach the forget ids.
    result.userTemplateCount = (int) juce::jmin (userTemplates.size(), (size_t) (firstForgetId - firstUserTemplateId));

    if (result.userTemplateCount > 0)
    {
        juce::PopupMenu user, forget;

        for (int i = 0; i < result.userTemplateCount; ++i)
        {
            const auto& t = userTemplates[(size_t) i];
            user.addItem (firstUserTemplateId + i, itemText (t), hasRoomForAStem);
            forget.addItem (firstForgetId + i, t.displayName);
        }

        user.addSeparator();
        user.addSubMenu ("Forget one...", forget);
        menu.addSubMenu ("User", user);
        menu.addSeparator();
    }

    juce::StringArray groups;

    for (const auto& t : catalogue)
        groups.addIfNotAlreadyThere (t.group);

    for (const auto& group : groups)
    {
        juce::PopupMenu sub;

        for (size_t i = 0; i < catalogue.size(); ++i)
        {
            if (catalogue[i].group != group)
                continue;

            result.catalogueIndexOfId.push_back ((int) i);
            sub.addItem ((int) result.catalogueIndexOfId.size(), itemText (catalogue[i]), hasRoomForAStem);
        }

        menu.addSubMenu (group, sub);
    }

    menu.addSeparator();
    menu.addItem (newTemplateId, "New template...");
    return result;
}

StemTemplateMenu::Choice StemTemplateMenu::decode (int chosenId) const
{
    using Kind = Choice::Kind;

    if (chosenId <= 0)
        return {};

    if (chosenId == newTemplateId)
        return { Kind::newTemplate, -1 };

    if (chosenId >= firstForgetId)
    {
        const int index = chosenId - firstForgetId;
        return index < userTemplateCount ? Choice { Kind::forgetUserTemplate, index } : Choice {};
    }

    if (chosenId >= firstUserTemplateId)
    {
        const int index = chosenId - firstUserTemplateId;
        return index < userTemplateCount ? Choice { Kind::userTemplate, index } : Choice {};
    }

    if (chosenId <= (int) catalogueIndexOfId.size())
        return { Kind::builtInTemplate, catalogueIndexOfId[(size_t) chosenId - 1] };

    return {};
}

juce::String StemTemplateMenu::itemText (const StemTemplate& stemTemplate)
{
    return stemTemplate.displayName + "   (" + stemTemplate.describeKeywords() + ")";
}

juce::StringArray splitTemplateWords (const juce::String& text)
{
    juce::StringArray words;

    for (const auto& entry : juce::StringArray::fromTokens (text, ",", {}))
    {
        const auto word = entry.trim();

        if (word.isNotEmpty() && ! words.contains (word, true))
            words.add (word);
    }

    return words;
}

StemTemplate makeTemplateFromForm (const juce::String& name,
                                   const juce::String& code,
                                   const juce::String& keywords,
                                   const juce::String& exclusions,
                                   int userTemplateCount)
{
    const auto cut = [] (const juce::String& text) { return text.substring (0, maxFieldCharacters); };

    StemTemplate t;
    t.group = "User";
    t.displayName = cut (name).trim();
    t.shortCode = cut (code).trim();
    t.keywords = splitTemplateWords (cut (keywords));
    t.excludeKeywords = splitTemplateWords (cut (exclusions));
    t.colourARGB = automaticStemColour (userTemplateCount);
    return t;
}

} // namespace dunmoor::ui
