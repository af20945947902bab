#pragma once

#include <vector>

#include "core/model/Preset.h"

namespace dunmoor
{

/** The values of one file to be named; the defaults are where a render starts from. */
struct NamingContext
{
    juce::String publisher;
    juce::String project;
    juce::String cue;
    juce::String composer;
    juce::String version { "v1" };
    juce::String stemName;          // stem: its file-name token; mixes: their names
    juce::String stemCode;
    int stemIndex = 1;
    int indexPadding = 2;
    double sampleRate = 48000.0;    // Hz, the rate the file is written at
    Codec codec = Codec::wav;
    SampleFormat sampleFormat = SampleFormat::pcm24;
    int mp3Kbps = 320;
};

/** One piece of a template in the template editor: a palette token (braces included) or a
    literal word. A template is a sequence of segments joined by one separator text. */
struct TemplateSegment
{
    bool isToken = false;
    juce::String text;

    bool operator== (const TemplateSegment& other) const { return isToken == other.isToken && text == other.text; }
    bool operator!= (const TemplateSegment& other) const { return ! operator== (other); }
};

/** The template with every known token replaced by its value (values are not scanned again).
    Unknown tokens vanish from the result and are added once each to unknownTokens when given.
    A "{" without a closing "}" stays as text. */
juce::String expandNamingTokens (const juce::String& nameTemplate,
                                 const NamingContext& context,
                                 juce::StringArray* unknownTokens);

/** A complete, safe file name with the codec's extension: tokens expanded, runs of separator
    characters collapsed to the naming separator and trimmed from the ends, then sanitised
    with the naming replacement and cut to 108 characters (the extension not counted).
    A name that comes out empty falls back to the stem's name (itself sanitised), or "stem". */
juce::String buildOutputFileName (const juce::String& nameTemplate,
                                  const NamingContext& context,
                                  const NamingSettings& naming,
                                  juce::StringArray* unknownTokens);

/** Decides whether the path may be written, changing it under incrementVersion.

    A path is taken when something exists there (on a case-sensitive disk also when a name in
    the folder differs only in letter case) or when it is one of writtenPaths (compared
    ignoring case). overwrite accepts a taken path, except one written earlier in the same
    run, which would silently replace that file: that is an error. abort refuses a taken path;
    incrementVersion counts a trailing "v<digits>" up or appends "-2", "-3", ... (999 tries).
    On false, error says why and the path is unchanged. */
[[nodiscard]] bool resolveNameCollision (juce::File& path,
                                         CollisionPolicy policy,
                                         const juce::StringArray& writtenPaths,
                                         juce::String& error);

/** The folder for a relative sub-folder text ("/" and "\" both separate; "." parts and empty
    parts are skipped; each part is sanitised). False for an empty root, an absolute path,
    a ".." part or a result outside root. Nothing is created. */
[[nodiscard]] bool buildSubFolderPath (const juce::File& root, const juce::String& relativePath, juce::File& result);

/** A stem number as {stemIndex} writes it: at least indexPadding digits (1..6), never negative. */
juce::String formatStemNumber (int number, int indexPadding);

/** The {stemIndex} of each stem of a cue, given each one's position in the preset and whether
    the render writes a file for it: the preset position when numbering by the preset, else
    1, 2, ... over the written stems only (after the full and alternative mixes when the mixes
    are numbered first), with 0 for a stem that writes nothing. The render names its files and
    the reports print their numbers from this one count, so the two cannot disagree. */
std::vector<int> numberStems (const ExportSettings& settings,
                              int alternativeMixCount,
                              const std::vector<int>& presetIndices,
                              const std::vector<bool>& written);

/** The eleven tokens the template editor offers, in order ("{pubcode}" still expands but is not offered). */
juce::StringArray getNamingTokenPalette();

/** The separator characters "_- ." (built once, thread-safe). */
const juce::String& getSeparatorCharacters();

/** The editor's view of a template: token segments for palette tokens ("{pubcode}" becomes
    "{project}", which has the same value), literal segments for the words between them (an
    unknown token becomes the literal word inside its braces).
    The separator found between the pieces goes to separatorOut when given: the first one
    found, the empty text when none was found between two or more segments, else unchanged. */
std::vector<TemplateSegment> splitNamingTemplate (const juce::String& nameTemplate,
                                                  juce::String* separatorOut,
                                                  const juce::String& currentSeparator);

/** The non-empty segment texts joined with the separator. */
juce::String joinTemplateSegments (const std::vector<TemplateSegment>& segments, const juce::String& separator);

} // namespace dunmoor
