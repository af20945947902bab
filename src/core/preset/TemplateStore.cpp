#include "TemplateStore.h"

#include "core/files/AtomicFileWriter.h"
#include "core/files/JsonText.h"

#include <algorithm>
#include <cmath>

namespace dunmoor
{

namespace
{
    constexpr int maxTextLength = 4096;
    constexpr uint32_t defaultColour = 0xff8a8f94;

    juce::StringArray readWordList (const juce::var& value)
    {
        juce::StringArray words;

        if (const auto* array = value.getArray())
        {
            for (const auto& element : *array)
            {
                if (words.size() >= TemplateStore::maxListEntries)
                    break;

                const auto word = element.toString().trim();

                if (word.isNotEmpty())
                    words.add (word.substring (0, maxTextLength));
            }
        }

        return words;
    }

    /** The stored number's low 32 bits; anything that is not a number that fits 64 bits counts as missing. */
    uint32_t readColour (const juce::var& value)
    {
        juce::int64 number = 0;

        if (value.isInt() || value.isInt64())
        {
            number = (juce::int64) value;
        }
        else if (value.isDouble())
        {
            const auto d = (double) value;

            if (std::isfinite (d) && d < 9223372036854775808.0 && d >= -9223372036854775808.0)
                number = (juce::int64) d;
        }

        const auto colour = (uint32_t) (number & 0xffffffff);
        return colour != 0 ? colour : defaultColour;
    }

    /** Trims the entries and drops blank ones; false when an entry or the count is over the limit. */
    bool tidyWordList (juce::StringArray& words)
    {
        juce::StringArray kept;

        for (const auto& word : words)
        {
            const auto trimmed = word.trim();

            if (trimmed.length() > maxTextLength)
                return false;

            if (trimmed.isNotEmpty())
                kept.add (trimmed);
        }

        if (kept.size() > TemplateStore::maxListEntries)
            return false;

        words = kept;
        return true;
    }

    juce::var textList (const juce::StringArray& texts)
    {
        juce::Array<juce::var> list;

        for (const auto& text : texts)
            list.add (text);

        return list;
    }
} // namespace

juce::File TemplateStore::getDefaultFile()
{
    return juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory)
        .getChildFile ("Brackenfold")
        .getChildFile ("StemTemplates.json");
}

TemplateStore::TemplateStore (const juce::File& storeFile)
    : file (storeFile)
{
    load();
}

void TemplateStore::load()
{
    templates.clear();
    loadFailed = false;

    if (! file.exists())
        return;

    juce::var root;

    if (! file.existsAsFile() || parseJsonDocument (file.loadFileAsString(), root).failed())
    {
        loadFailed = true;
        return;
    }

    const auto* entries = root.getProperty ("templates", {}).getArray();

    if (! isJsonObject (root) || entries == nullptr)
    {
        loadFailed = true;
        return;
    }

    for (const auto& entry : *entries)
    {
        if ((int) templates.size() >= maxTemplates)
            break;

        StemTemplate t;
        t.group = "User";
        t.displayName = entry.getProperty ("displayName", {}).toString().substring (0, maxTextLength).trim();
        t.shortCode = entry.getProperty ("shortCode", {}).toString().substring (0, maxTextLength).trim();
        t.keywords = readWordList (entry.getProperty ("keywords", {}));
        t.excludeKeywords = readWordList (entry.getProperty ("excludeKeywords", {}));
        t.colourARGB = readColour (entry.getProperty ("colourARGB", {}));

        if (t.displayName.isNotEmpty() && ! t.keywords.isEmpty())
            templates.push_back (std::move (t));
    }
}

bool TemplateStore::refuseUnreadableFile (juce::String& error)
{
    if (! loadFailed)
        return false;

    // The file may have been mended or removed since; while it still cannot be read, writing
    // the (empty) list would throw away every template it holds.
    load();

    if (! loadFailed)
        return false;

    error = "The template file '" + file.getFullPathName() + "' could not be read, so it is left as it is. "
            "Fix that file or remove it, then try again.";
    return true;
}

bool TemplateStore::addOrReplace (StemTemplate newTemplate, juce::String& error)
{
    if (refuseUnreadableFile (error))
        return false;

    newTemplate.group = "User";
    newTemplate.displayName = newTemplate.displayName.trim();
    newTemplate.shortCode = newTemplate.shortCode.trim();

    if (newTemplate.displayName.isEmpty())
    {
        error = "A template needs a name.";
        return false;
    }

    // Checked on the same terms as loading, so that nothing is stored that would not come back:
    // blank keywords alone are no keywords at all.
    if (newTemplate.displayName.length() > maxTextLength || newTemplate.shortCode.length() > maxTextLength)
    {
        error = "A template's name and short code can be at most " + juce::String (maxTextLength) + " characters long.";
        return false;
    }

    if (! tidyWordList (newTemplate.keywords) || ! tidyWordList (newTemplate.excludeKeywords))
    {
        error = "A template can hold at most " + juce::String (maxListEntries) + " keywords and "
              + juce::String (maxListEntries) + " exclusions of at most " + juce::String (maxTextLength) + " characters each.";
        return false;
    }

    if (newTemplate.keywords.isEmpty())
    {
        error = "A template needs at least one keyword, or it would match nothing.";
        return false;
    }

    if (newTemplate.colourARGB == 0)
        newTemplate.colourARGB = defaultColour;   // a stored 0 reads back as the default

    auto existing = std::find_if (templates.begin(), templates.end(), [&newTemplate] (const StemTemplate& t)
                                  { return t.displayName.equalsIgnoreCase (newTemplate.displayName); });

    if (existing != templates.end())
    {
        *existing = std::move (newTemplate);
    }
    else
    {
        if ((int) templates.size() >= maxTemplates)
        {
            error = "That is as many templates as you can keep.";
            return false;
        }

        templates.push_back (std::move (newTemplate));
    }

    std::stable_sort (templates.begin(), templates.end(), [] (const StemTemplate& a, const StemTemplate& b)
                      { return a.displayName.compareIgnoreCase (b.displayName) < 0; });

    return save (error);
}

bool TemplateStore::remove (const juce::String& displayName, juce::String& error)
{
    if (refuseUnreadableFile (error))
        return false;

    const auto before = templates.size();

    templates.erase (std::remove_if (templates.begin(), templates.end(), [&displayName] (const StemTemplate& t)
                                     { return t.displayName.equalsIgnoreCase (displayName); }),
                     templates.end());

    if (templates.size() == before)
        return true;

    return save (error);
}

bool TemplateStore::save (juce::String& error)
{
    if (refuseUnreadableFile (error))
        return false;

    try
    {
        juce::Array<juce::var> list;

        for (const auto& t : templates)
        {
            juce::DynamicObject::Ptr entry (new juce::DynamicObject());
            entry->setProperty ("displayName", t.displayName);
            entry->setProperty ("shortCode", t.shortCode);
            entry->setProperty ("colourARGB", (juce::int64) t.colourARGB);
            entry->setProperty ("keywords", textList (t.keywords));
            entry->setProperty ("excludeKeywords", textList (t.excludeKeywords));
            list.add (juce::var (entry.get()));
        }

        juce::DynamicObject::Ptr root (new juce::DynamicObject());
        root->setProperty ("format", "brackenfold.stemtemplates");
        root->setProperty ("schemaVersion", 1);
        root->setProperty ("templates", list);

        juce::ignoreUnused (file.getParentDirectory().createDirectory());
        return writeTextFileAtomically (file, printJsonDocument (juce::var (root.get())), error);
    }
    catch (const std::bad_alloc&)
    {
        error = "There is not enough memory to save the templates.";
        return false;
    }
}

} // namespace dunmoor
