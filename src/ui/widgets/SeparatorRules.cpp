#include "SeparatorRules.h"

namespace dunmoor::ui::SeparatorRules
{

const std::vector<Choice>& getChoices()
{
    static const std::vector<Choice> choices {
        { 1, "underscore  _", "_" },
        { 2, "hyphen  -", "-" },
        { 3, "spaced hyphen  -  ", " - " },
        { 4, "space", " " },
        { 5, "dot  .", "." },
        { 6, "none", "" },
    };

    return choices;
}

int idForSeparator (const juce::String& separator)
{
    for (const auto& choice : getChoices())
        if (choice.separator == separator)
            return choice.id;

    return customId;
}

juce::String separatorForId (int id)
{
    const auto& choices = getChoices();
    const auto index = (size_t) juce::jlimit (0, (int) choices.size() - 1, id - 1);
    return choices[index].separator;
}

bool isUsable (const juce::String& separator, juce::String& reason)
{
    for (auto p = separator.getCharPointer(); ! p.isEmpty(); ++p)
    {
        const auto c = *p;

        if (c == '{' || c == '}')
        {
            reason = "A separator cannot hold a brace: it would be read as part of a token.";
            return false;
        }

        if (c < 0x20 || (c >= 0x7f && c < 0xa0))
        {
            reason = "A separator cannot hold a line break, tab or other control character.";
            return false;
        }
    }

    reason.clear();
    return true;
}

} // namespace dunmoor::ui::SeparatorRules
