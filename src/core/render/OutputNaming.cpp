#include "OutputNaming.h"

#include <cmath>
#include <set>

#include "core/model/CodecCapabilities.h"
#include "core/files/FolderListing.h"
#include "core/files/PathRules.h"

namespace dunmoor
{

namespace
{
    constexpr int maxFileNameLength = 108;
    constexpr int maxFolderNameLength = 120;
    constexpr int maxVersionTries = 999;

    bool isSeparatorCharacter (juce::juce_wchar c)
    {
        return getSeparatorCharacters().containsChar (c);
    }

    juce::String formatSampleRateToken (double rate)
    {
        if (rate <= 0.0)
            return {};

        const auto kHz = rate / 1000.0;

        if (std::abs (kHz - std::trunc (kHz)) < 0.05)
            return juce::String (std::llround (kHz)) + "k";

        return juce::String (kHz, 1) + "k";
    }

    juce::String formatBitDepthToken (const NamingContext& context)
    {
        if (isLossyCodec (context.codec))
            return juce::String (context.mp3Kbps) + "k";

        if (context.sampleFormat == SampleFormat::float32)
            return "32f";

        return juce::String (bitsPerSample (context.sampleFormat));
    }

    /** The value of a known token, or false for an unknown one. Exact and case-sensitive. */
    bool tokenValue (const juce::String& token, const NamingContext& context, juce::String& value)
    {
        if (token == "{publisher}")        value = context.publisher;
        else if (token == "{project}")     value = context.project;
        else if (token == "{pubcode}")     value = context.project;
        else if (token == "{cue}")         value = context.cue;
        else if (token == "{composer}")    value = context.composer;
        else if (token == "{version}")     value = context.version;
        else if (token == "{stemIndex}")   value = formatStemNumber (context.stemIndex, context.indexPadding);
        else if (token == "{stemName}")    value = context.stemName;
        else if (token == "{stemCode}")    value = context.stemCode;
        else if (token == "{sampleRate}")  value = formatSampleRateToken (context.sampleRate);
        else if (token == "{bitDepth}")    value = formatBitDepthToken (context);
        else if (token == "{format}")      value = codecToString (context.codec).toLowerCase();
        else return false;

        return true;
    }

    /** Runs of separator characters become one naming separator when they hold it, and
        otherwise stay as they are; leading and trailing runs go. */
    juce::String collapseSeparators (const juce::String& name, const juce::String& separator)
    {
        juce::String result, run;
        result.preallocateBytes (name.getNumBytesAsUTF8() + 1);

        // getAndAdvance stops at the end even when the last character is cut short, where
        // stepping by the lead byte would jump over the terminating zero.
        for (auto p = name.getCharPointer();;)
        {
            const auto c = p.getAndAdvance();

            if (c == 0)
                break;

            if (isSeparatorCharacter (c))
            {
                if (result.isNotEmpty())
                    run += juce::String::charToString (c);

                continue;
            }

            if (run.isNotEmpty())
            {
                result += (separator.isNotEmpty() && run.contains (separator)) ? separator : run;
                run.clear();
            }

            result += juce::String::charToString (c);
        }

        return result;
    }

    /** Whether a path is taken: something exists there, a name in its folder matches it
        ignoring case (a case-sensitive disk would otherwise let two names coexist that
        clash on the delivery's target systems), or the run has written it already. */
    class TakenNames
    {
    public:
        TakenNames (const juce::File& folder, const juce::StringArray& writtenPathsToUse)
            : writtenPaths (writtenPathsToUse)
        {
            // Names that are not valid UTF-8 are left out: every name written here is valid
            // UTF-8, so none of them can clash with one.
            for (const auto& entry : listFolder (folder).entries)
                existingNames.insert (entry.file.getFileName().toLowerCase());
        }

        bool wasWritten (const juce::File& path) const
        {
            const auto full = path.getFullPathName();

            for (const auto& written : writtenPaths)
                if (written.equalsIgnoreCase (full))
                    return true;

            return false;
        }

        bool isTaken (const juce::File& path) const
        {
            return path.exists()
                || existingNames.count (path.getFileName().toLowerCase()) > 0
                || wasWritten (path);
        }

    private:
        const juce::StringArray& writtenPaths;
        std::set<juce::String> existingNames;
    };

    bool isAsciiDigit (juce::juce_wchar c) { return c >= '0' && c <= '9'; }

    /** "009" -> "010", "9" -> "10": the value plus one, padded to the former width. */
    juce::String incrementDigits (const juce::String& digits)
    {
        juce::String result;
        auto carry = true;

        for (int i = digits.length(); --i >= 0;)
        {
            auto d = (int) (digits[i] - '0');

            if (carry)
            {
                d += 1;
                carry = d == 10;
                d %= 10;
            }

            result = juce::String::charToString ((juce::juce_wchar) ('0' + d)) + result;
        }

        return carry ? "1" + result : result;
    }

    /** Mix_v01 -> Mix_v02, Take V9 -> Take V10; false when the base has no trailing version. */
    bool nextVersionOf (const juce::String& base, juce::String& next)
    {
        auto digitsStart = base.length();

        while (digitsStart > 0 && isAsciiDigit (base[digitsStart - 1]))
            --digitsStart;

        if (digitsStart == base.length() || digitsStart == 0)
            return false;

        const auto marker = base[digitsStart - 1];

        if (marker != 'v' && marker != 'V')
            return false;

        next = base.substring (0, digitsStart) + incrementDigits (base.substring (digitsStart));
        return true;
    }

    bool isPaletteToken (const juce::String& text)
    {
        return getNamingTokenPalette().contains (text);
    }

    /** Walks a template in order, handing over the literal text between tokens and each
        "{...}" token with its braces. A "{" without a closing "}" is literal text. */
    template <typename TextCallback, typename TokenCallback>
    void scanNamingTemplate (const juce::String& nameTemplate, TextCallback&& onText, TokenCallback&& onToken)
    {
        int i = 0;

        for (;;)
        {
            const auto open = nameTemplate.indexOfChar (i, '{');

            if (open < 0)
            {
                onText (nameTemplate.substring (i));
                return;
            }

            onText (nameTemplate.substring (i, open));
            const auto close = nameTemplate.indexOfChar (open + 1, '}');

            if (close < 0)
            {
                onText (nameTemplate.substring (open));
                return;
            }

            onToken (nameTemplate.substring (open, close + 1));
            i = close + 1;
        }
    }
} // namespace

juce::String expandNamingTokens (const juce::String& nameTemplate,
                                 const NamingContext& context,
                                 juce::StringArray* unknownTokens)
{
    juce::String result;
    result.preallocateBytes ((size_t) nameTemplate.getNumBytesAsUTF8() * 2 + 64);

    scanNamingTemplate (
        nameTemplate,
        [&] (const juce::String& text) { result += text; },
        [&] (const juce::String& token)
        {
            juce::String value;

            if (tokenValue (token, context, value))
                result += value;
            else if (unknownTokens != nullptr)
                unknownTokens->addIfNotAlreadyThere (token);
        });

    return result;
}

juce::String buildOutputFileName (const juce::String& nameTemplate,
                                  const NamingContext& context,
                                  const NamingSettings& naming,
                                  juce::StringArray* unknownTokens)
{
    const auto expanded = expandNamingTokens (nameTemplate, context, unknownTokens);
    const auto collapsed = collapseSeparators (expanded, naming.separator);

    // The fallback goes through the same sanitiser: a stem called "Hi/Lo" must not turn
    // into a sub-folder when the template yields nothing.
    const auto fallback = sanitiseFileName (context.stemName.trim(), naming.replacementChar, "stem", maxFileNameLength);
    const auto name = sanitiseFileName (collapsed, naming.replacementChar, fallback, maxFileNameLength);

    return name + codecFileExtension (context.codec);
}

bool resolveNameCollision (juce::File& path,
                           CollisionPolicy policy,
                           const juce::StringArray& writtenPaths,
                           juce::String& error)
{
    const auto folder = path.getParentDirectory();
    const TakenNames taken (folder, writtenPaths);

    if (! taken.isTaken (path))
        return true;

    if (policy == CollisionPolicy::overwrite)
    {
        // Files from earlier runs are replaced as asked, but two outputs of this run that
        // come out with one name would lose the first file without a word.
        if (taken.wasWritten (path))
        {
            error = "'" + path.getFileName() + "' was already written in this run; two outputs cannot share one name.";
            return false;
        }

        return true;
    }

    if (policy == CollisionPolicy::abort)
    {
        error = "'" + path.getFileName() + "' already exists.";
        return false;
    }

    const auto base = path.getFileNameWithoutExtension();
    const auto extension = path.getFileExtension();
    auto current = base;

    for (int attempt = 0; attempt < maxVersionTries; ++attempt)
    {
        juce::String candidateBase;

        if (nextVersionOf (current, candidateBase))
            current = candidateBase;
        else
            candidateBase = base + "-" + juce::String (attempt + 2);

        const auto candidate = getChildFileNamed (folder, candidateBase + extension);

        if (! taken.isTaken (candidate))
        {
            path = candidate;
            return true;
        }
    }

    error = "Could not find a free name for '" + path.getFileName() + "'.";
    return false;
}

bool buildSubFolderPath (const juce::File& root, const juce::String& relativePath, juce::File& result)
{
    if (root == juce::File())
        return false;

    const auto relative = relativePath.trim();

    if (relative.isEmpty())
    {
        result = root;
        return true;
    }

    // Absolute on any of the systems a delivery goes to: a leading slash or backslash, or a
    // drive letter. A leading "~" is an ordinary folder name; parts are joined literally.
    if (relative.startsWithChar ('/') || relative.startsWithChar ('\\') || relative[1] == ':')
        return false;

    auto folder = root;

    for (auto part : juce::StringArray::fromTokens (relative, "/\\", {}))
    {
        part = part.trim();

        if (part.isEmpty() || part == ".")
            continue;

        if (part == "..")
            return false;

        const auto name = sanitiseFileName (part, "-", "untitled", maxFolderNameLength);

        if (name.isEmpty())
            return false;

        folder = getChildFileNamed (folder, name);
    }

    if (! isPathInsideFolder (root, folder))
        return false;

    result = folder;
    return true;
}

juce::String formatStemNumber (int number, int indexPadding)
{
    return juce::String (std::max (0, number)).paddedLeft ('0', juce::jlimit (1, 6, indexPadding));
}

std::vector<int> numberStems (const ExportSettings& settings,
                              int alternativeMixCount,
                              const std::vector<int>& presetIndices,
                              const std::vector<bool>& written)
{
    if (settings.naming.numbering == NumberingMode::schemaIndex)
        return presetIndices;

    std::vector<int> numbers;
    int counter = 1;

    if (settings.naming.numberMixesFirst && settings.fullMix.exportMix)
    {
        counter = settings.fullMix.index + 1;

        if (settings.fullMix.exportSubmixes)
            counter += alternativeMixCount;
    }

    for (size_t i = 0; i < presetIndices.size(); ++i)
        numbers.push_back (i < written.size() && written[i] ? counter++ : 0);

    return numbers;
}

juce::StringArray getNamingTokenPalette()
{
    return { "{publisher}", "{project}", "{cue}", "{composer}", "{version}", "{stemIndex}",
             "{stemName}", "{stemCode}", "{sampleRate}", "{bitDepth}", "{format}" };
}

const juce::String& getSeparatorCharacters()
{
    static const juce::String separators { "_- ." };
    return separators;
}

std::vector<TemplateSegment> splitNamingTemplate (const juce::String& nameTemplate,
                                                  juce::String* separatorOut,
                                                  const juce::String& currentSeparator)
{
    std::vector<TemplateSegment> segments;
    juce::StringArray foundSeparators;
    juce::String pending;

    const auto& separators = getSeparatorCharacters();

    auto flushPending = [&]
    {
        auto text = pending;
        pending.clear();

        if (text.isEmpty())
            return;

        if (currentSeparator.isNotEmpty())
        {
            auto removed = false;

            while (text.startsWith (currentSeparator))
            {
                text = text.substring (currentSeparator.length());
                removed = true;
            }

            while (text.endsWith (currentSeparator))
            {
                text = text.dropLastCharacters (currentSeparator.length());
                removed = true;
            }

            if (removed)
                foundSeparators.addIfNotAlreadyThere (currentSeparator);

            if (text.isEmpty())
                return;
        }

        const auto core = text.trimCharactersAtStart (separators).trimCharactersAtEnd (separators);

        if (core.isEmpty())
        {
            foundSeparators.addIfNotAlreadyThere (text);
            return;
        }

        const auto leading = text.initialSectionContainingOnly (separators);
        const auto trailing = text.substring (text.trimCharactersAtEnd (separators).length());

        if (leading.isNotEmpty())
            foundSeparators.addIfNotAlreadyThere (leading);
        else if (trailing.isNotEmpty())
            foundSeparators.addIfNotAlreadyThere (trailing);

        segments.push_back ({ false, core });
    };

    scanNamingTemplate (
        nameTemplate,
        [&] (const juce::String& text) { pending += text; },
        [&] (const juce::String& braced)
        {
            flushPending();

            if (isPaletteToken (braced))
            {
                segments.push_back ({ true, braced });
            }
            else if (braced == "{pubcode}")
            {
                // The older spelling of the project code: the editor offers it as "{project}",
                // which expands to the same value.
                segments.push_back ({ true, "{project}" });
            }
            else
            {
                const auto word = braced.removeCharacters ("{}").trim();

                if (word.isNotEmpty())
                    segments.push_back ({ false, word });
            }
        });

    flushPending();

    if (separatorOut != nullptr)
    {
        if (! foundSeparators.isEmpty())
            *separatorOut = foundSeparators[0];
        else if (segments.size() >= 2)
            separatorOut->clear();
    }

    return segments;
}

juce::String joinTemplateSegments (const std::vector<TemplateSegment>& segments, const juce::String& separator)
{
    juce::StringArray texts;

    for (const auto& segment : segments)
        if (segment.text.isNotEmpty())
            texts.add (segment.text);

    return texts.joinIntoString (separator);
}

} // namespace dunmoor
