#include "StemFieldEdits.h"

#include "core/session/KeywordText.h"

namespace dunmoor::ui
{

namespace
{
    bool sameRuleButNote (const KeywordRule& a, const KeywordRule& b)
    {
        return a.pattern == b.pattern && a.mode == b.mode && a.priority == b.priority && a.excludes == b.excludes;
    }

    /** The rules typed, each taking the note of an unused old rule that reads the same: the
        text shows no notes, so an untouched rule must not lose one. */
    std::vector<KeywordRule> rulesKeepingNotes (const juce::String& text, const std::vector<KeywordRule>& old)
    {
        auto rules = parseKeywordText (text);
        std::vector<bool> used (old.size(), false);

        for (auto& rule : rules)
        {
            for (size_t i = 0; i < old.size(); ++i)
            {
                if (! used[i] && sameRuleButNote (rule, old[i]))
                {
                    rule.note = old[i].note;
                    used[i] = true;
                    break;
                }
            }
        }

        return rules;
    }

    template <typename Value>
    bool assignIfDifferent (Value& member, const Value& value)
    {
        if (member == value)
            return false;

        member = value;
        return true;
    }
} // namespace

StemFieldTexts StemFieldTexts::of (const Stem& stem)
{
    return { stem.displayName,
             stem.shortCode,
             stem.fileNameToken,
             juce::jlimit (minShownPriority, maxShownPriority, stem.priority),
             formatKeywordText (stem.rules),
             stem.excludeKeywords.joinIntoString (", ") };
}

bool StemFieldTexts::operator== (const StemFieldTexts& o) const
{
    return name == o.name && shortCode == o.shortCode && token == o.token && priority == o.priority
        && rules == o.rules && exclusions == o.exclusions;
}

juce::StringArray parseExclusionText (const juce::String& text)
{
    juce::StringArray entries;
    entries.addTokens (text, ",\r\n", {});
    entries.trim();
    entries.removeEmptyStrings();

    entries.removeRange (maxStemExclusions, entries.size());

    for (auto& entry : entries)
        entry = entry.substring (0, maxFieldCharacters);

    return entries;
}

bool applyStemFieldEdits (Stem& stem, const StemFieldTexts& shown, const StemFieldTexts& now)
{
    bool changed = false;

    if (now.name != shown.name && now.name.trim().isNotEmpty())
        changed |= assignIfDifferent (stem.displayName, now.name.trim());

    if (now.shortCode != shown.shortCode)
        changed |= assignIfDifferent (stem.shortCode, now.shortCode.trim());

    if (now.token != shown.token)
        changed |= assignIfDifferent (stem.fileNameToken, now.token.trim());

    if (now.priority != shown.priority)
        changed |= assignIfDifferent (stem.priority, now.priority);

    if (now.rules != shown.rules)
        changed |= assignIfDifferent (stem.rules, rulesKeepingNotes (now.rules, stem.rules));

    if (now.exclusions != shown.exclusions)
        changed |= assignIfDifferent (stem.excludeKeywords, parseExclusionText (now.exclusions));

    return changed;
}

ProjectFieldTexts ProjectFieldTexts::of (const PresetMetadata& metadata)
{
    return { metadata.publisher, metadata.project, metadata.composer, metadata.version };
}

bool applyProjectFieldEdits (PresetMetadata& metadata, const ProjectFieldTexts& shown, const ProjectFieldTexts& now)
{
    bool changed = false;

    const auto apply = [&changed] (juce::String& member, const juce::String& was, const juce::String& is)
    {
        if (is != was)
            changed |= assignIfDifferent (member, is.trim());
    };

    apply (metadata.publisher, shown.publisher, now.publisher);
    apply (metadata.project, shown.project, now.project);
    apply (metadata.composer, shown.composer, now.composer);
    apply (metadata.version, shown.version, now.version);
    return changed;
}

} // namespace dunmoor::ui
