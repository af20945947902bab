#pragma once

#include "../model/StemTemplate.h"

#include <vector>

namespace dunmoor
{

/** The user's own stem templates, kept in "StemTemplates.json" and rewritten whole on every
    change. At most maxTemplates, sorted by name ignoring case; names are unique ignoring case.
    Message thread only. */
class TemplateStore
{
public:
    static constexpr int maxTemplates = 500;
    static constexpr int maxListEntries = 2000;   // keywords, and exclusions, per template

    /** "StemTemplates.json" in the "Brackenfold" folder of the user's application-data folder. */
    static juce::File getDefaultFile();

    /** Keeps the file and loads it. */
    explicit TemplateStore (const juce::File& file);

    /** Replaces the list with the file's templates. A missing file gives an empty list; a file
        that holds no readable template list gives an empty list with hasLoadFailed() set. */
    void load();

    /** Stores the template under the "User" group, replacing one of the same name (ignoring
        case), then saves. Refuses a blank name, a template without a non-blank keyword and a
        new template beyond maxTemplates. A refusal changes nothing; when only the save fails,
        the list keeps the change.

        A file that could not be read is never written over: every change (and save) first
        reads it again and is refused, naming the file, while it still cannot be read. */
    [[nodiscard]] bool addOrReplace (StemTemplate newTemplate, juce::String& error);

    /** Removes every template of that name (ignoring case) and saves; true without saving when
        none matched. */
    [[nodiscard]] bool remove (const juce::String& displayName, juce::String& error);

    /** Writes the whole list atomically. */
    [[nodiscard]] bool save (juce::String& error);

    const juce::File& getFile() const noexcept { return file; }
    const std::vector<StemTemplate>& getTemplates() const noexcept { return templates; }
    bool hasLoadFailed() const noexcept { return loadFailed; }

private:
    /** True, with the user's message, while the file exists but cannot be read. */
    bool refuseUnreadableFile (juce::String& error);

    juce::File file;
    std::vector<StemTemplate> templates;
    bool loadFailed = false;
};

} // namespace dunmoor
