#include "StemSchema.h"

#include <algorithm>
#include <cmath>
#include <cwctype>

#include "Preset.h"

namespace dunmoor
{

MatchMode defaultMatchModeFor (const juce::String& pattern)
{
    return pattern.containsChar (' ') ? MatchMode::phrase : MatchMode::token;
}

bool KeywordRule::operator== (const KeywordRule& o) const
{
    return pattern == o.pattern && mode == o.mode && priority == o.priority
        && excludes == o.excludes && note == o.note;
}

juce::String Stem::getFileNameToken() const
{
    const auto token = fileNameToken.trim();
    return token.isNotEmpty() ? token : displayName.trim();
}

bool Stem::operator== (const Stem& o) const
{
    if (hasEmptyPolicy != o.hasEmptyPolicy || (hasEmptyPolicy && emptyPolicy != o.emptyPolicy))
        return false;

    return id == o.id && index == o.index && displayName == o.displayName
        && shortCode == o.shortCode && fileNameToken == o.fileNameToken && colour == o.colour
        && priority == o.priority && required == o.required && rules == o.rules
        && excludeKeywords == o.excludeKeywords && namingTemplate == o.namingTemplate;
}

Stem& StemSchema::addStem (Stem stem)
{
    if (stem.id.isEmpty())
        stem.id = newUuidString();

    stems.push_back (std::move (stem));
    renumberStems();
    return stems.back();
}

juce::String StemSchema::duplicateStem (const juce::String& stemId)
{
    const auto position = indexOfStem (stemId);

    if (position < 0)
        return {};

    auto copy = stems[(size_t) position];
    copy.id = newUuidString();
    copy.displayName << " copy";

    // A blank token keeps following the display name.
    if (copy.fileNameToken.trim().isNotEmpty())
        copy.fileNameToken << " copy";

    copy.shortCode.clear();

    const auto newId = copy.id;
    stems.insert (stems.begin() + position + 1, std::move (copy));
    renumberStems();
    return newId;
}

bool StemSchema::moveStem (const juce::String& stemId, int newPosition)
{
    const auto current = indexOfStem (stemId);

    if (current < 0)
        return false;

    const auto target = juce::jlimit (0, (int) stems.size() - 1, newPosition);

    if (target != current)
    {
        auto stem = std::move (stems[(size_t) current]);
        stems.erase (stems.begin() + current);
        stems.insert (stems.begin() + target, std::move (stem));
        renumberStems();
    }

    return true;
}

bool StemSchema::removeStem (const juce::String& stemId)
{
    const auto position = indexOfStem (stemId);

    if (position < 0)
        return false;

    stems.erase (stems.begin() + position);
    renumberStems();
    dropUnknownMixMembers();
    return true;
}

void StemSchema::renumberStems()
{
    for (size_t i = 0; i < stems.size(); ++i)
        stems[i].index = (int) i + 1;
}

int StemSchema::indexOfStem (const juce::String& stemId) const
{
    for (size_t i = 0; i < stems.size(); ++i)
        if (stems[i].id == stemId)
            return (int) i;

    return -1;
}

Stem* StemSchema::findStem (const juce::String& stemId)
{
    const auto position = indexOfStem (stemId);
    return position < 0 ? nullptr : &stems[(size_t) position];
}

const Stem* StemSchema::findStem (const juce::String& stemId) const
{
    const auto position = indexOfStem (stemId);
    return position < 0 ? nullptr : &stems[(size_t) position];
}

const Stem* StemSchema::findStemWithSameName (const juce::String& stemName, const juce::String& ignoredStemId) const
{
    const auto target = stemName.trim().toLowerCase();

    if (target.isEmpty())
        return nullptr;

    for (const auto& stem : stems)
    {
        if (ignoredStemId.isNotEmpty() && stem.id == ignoredStemId)
            continue;

        if (stem.displayName.trim().toLowerCase() == target || stem.getFileNameToken().toLowerCase() == target)
            return &stem;
    }

    return nullptr;
}

const Stem* StemSchema::findStemWithSimilarName (const juce::String& stemName, const juce::String& ignoredStemId) const
{
    if (findStemWithSameName (stemName, ignoredStemId) != nullptr)
        return nullptr;

    const auto target = normaliseStemName (stemName);

    if (target.isEmpty())
        return nullptr;

    for (const auto& stem : stems)
    {
        if (ignoredStemId.isNotEmpty() && stem.id == ignoredStemId)
            continue;

        if (normaliseStemName (stem.displayName) == target || normaliseStemName (stem.getFileNameToken()) == target)
            return &stem;
    }

    return nullptr;
}

juce::String StemSchema::addAlternativeMix (const juce::String& mixName)
{
    if ((int) alternativeMixes.size() >= maxAlternativeMixes)
        return {};

    auto baseName = mixName.trim();

    if (baseName.isEmpty())
        baseName = "Submix " + juce::String ((int) alternativeMixes.size() + 1);

    juce::StringArray takenNames;

    for (const auto& mix : alternativeMixes)
        takenNames.add (mix.name.toLowerCase());

    auto candidate = baseName;

    for (int counter = 2; takenNames.contains (candidate.toLowerCase()); ++counter)
        candidate = baseName + " " + juce::String (counter);

    AlternativeMix mix;
    mix.id = newUuidString();
    mix.name = candidate;

    for (const auto& stem : stems)
        mix.stemIds.add (stem.id);

    alternativeMixes.push_back (std::move (mix));
    return alternativeMixes.back().id;
}

bool StemSchema::removeAlternativeMix (const juce::String& mixId)
{
    for (auto it = alternativeMixes.begin(); it != alternativeMixes.end(); ++it)
    {
        if (it->id == mixId)
        {
            alternativeMixes.erase (it);
            return true;
        }
    }

    return false;
}

AlternativeMix* StemSchema::findAlternativeMix (const juce::String& mixId)
{
    for (auto& mix : alternativeMixes)
        if (mix.id == mixId)
            return &mix;

    return nullptr;
}

const AlternativeMix* StemSchema::findAlternativeMix (const juce::String& mixId) const
{
    for (const auto& mix : alternativeMixes)
        if (mix.id == mixId)
            return &mix;

    return nullptr;
}

bool StemSchema::setAlternativeMixMember (const juce::String& mixId, const juce::String& stemId, bool isMember)
{
    auto* mix = findAlternativeMix (mixId);

    if (mix == nullptr || indexOfStem (stemId) < 0)
        return false;

    if (mix->stemIds.contains (stemId) == isMember)
        return false;

    if (isMember)
        mix->stemIds.add (stemId);
    else
        mix->stemIds.removeString (stemId);

    return true;
}

void StemSchema::dropUnknownMixMembers()
{
    for (auto& mix : alternativeMixes)
        for (int i = mix.stemIds.size(); --i >= 0;)
            if (indexOfStem (mix.stemIds[i]) < 0)
                mix.stemIds.remove (i);
}

juce::String StemSchema::getFingerprint() const
{
    const auto unitSeparator = juce::String::charToString (0x1f);
    const auto recordSeparator = juce::String::charToString (0x1e);
    const auto groupSeparator = juce::String::charToString (0x1d);
    const auto fileSeparator = juce::String::charToString (0x1c);

    juce::String text;
    text << (matchPlurals ? "P" : "-") << unitSeparator;

    for (const auto& stem : stems)
    {
        text << stem.id << unitSeparator
             << stem.priority << unitSeparator
             << stem.excludeKeywords.joinIntoString (recordSeparator) << unitSeparator;

        for (const auto& rule : stem.rules)
            text << rule.pattern << groupSeparator
                 << (int) rule.mode << groupSeparator
                 << rule.priority << groupSeparator
                 << rule.excludes.joinIntoString (recordSeparator) << recordSeparator;

        text << fileSeparator;
    }

    return text;
}

juce::String normaliseStemName (const juce::String& text)
{
    juce::String result;

    for (auto p = text.getCharPointer(); ! p.isEmpty(); ++p)
    {
        const auto c = (wint_t) *p;

        if (std::iswalnum (c))
            result << juce::String::charToString ((juce::juce_wchar) std::towlower (c));
    }

    return result;
}

uint32_t automaticStemColour (int stemNumber)
{
    const auto i = stemNumber < 1 ? 0.0 : (double) stemNumber;
    const auto h = std::fmod (i * 0.61803398875, 1.0) * 6.0;
    const auto sector = (int) h;
    const auto f = h - std::floor (h);

    constexpr double s = 0.45, v = 0.82, p = 0.451;
    const auto q = (1.0 - f * s) * v;
    const auto t = (1.0 - (1.0 - f) * s) * v;

    double r = v, g = p, b = q;

    switch (sector)
    {
        case 0: r = v; g = t; b = p; break;
        case 1: r = q; g = v; b = p; break;
        case 2: r = p; g = v; b = t; break;
        case 3: r = p; g = q; b = v; break;
        case 4: r = t; g = p; b = v; break;
        default: break; // sector 5: (v, p, q)
    }

    const auto channel = [] (double x) { return (uint32_t) juce::jlimit (0L, 255L, std::lround (x * 255.0)); };
    return 0xff000000u | (channel (r) << 16) | (channel (g) << 8) | channel (b);
}

} // namespace dunmoor
