#include "Types.h"

#include <cmath>

namespace dunmoor
{

namespace
{
    template <typename Enum>
    struct NameRow
    {
        Enum value;
        const char* name;
    };

    template <typename Enum, size_t N>
    juce::String nameOf (const NameRow<Enum> (&rows)[N], Enum value)
    {
        for (const auto& row : rows)
            if (row.value == value)
                return row.name;

        jassertfalse; // a value outside the enumeration: callers only store parsed or default values
        return {};
    }

    template <typename Enum, size_t N>
    bool valueOf (const NameRow<Enum> (&rows)[N], const juce::String& text, Enum& out)
    {
        const auto trimmed = text.trim();

        for (const auto& row : rows)
        {
            if (trimmed.equalsIgnoreCase (row.name))
            {
                out = row.value;
                return true;
            }
        }

        return false;
    }

    const NameRow<Codec> codecRows[] = {
        { Codec::wav, "wav" }, { Codec::aiff, "aiff" }, { Codec::flac, "flac" }, { Codec::mp3, "mp3" }
    };
    const NameRow<SampleFormat> sampleFormatRows[] = {
        { SampleFormat::pcm16, "pcm16" }, { SampleFormat::pcm24, "pcm24" }, { SampleFormat::float32, "float32" }
    };
    const NameRow<PeakMode> peakModeRows[] = {
        { PeakMode::samplePeak, "samplePeak" }, { PeakMode::truePeak, "truePeak" }
    };
    const NameRow<GainMode> gainModeRows[] = {
        { GainMode::alwaysReachTarget, "alwaysReachTarget" }, { GainMode::attenuateOnly, "attenuateOnly" }
    };
    const NameRow<DitherKind> ditherKindRows[] = {
        { DitherKind::none, "none" },
        { DitherKind::tpdf, "tpdf" },
        { DitherKind::tpdfShaped, "tpdfShaped" },
        { DitherKind::tpdfContinuous, "tpdfContinuous" },
        { DitherKind::tpdfShapedContinuous, "tpdfShapedContinuous" }
    };
    const NameRow<EmptyStemPolicy> emptyStemPolicyRows[] = {
        { EmptyStemPolicy::skip, "skip" }, { EmptyStemPolicy::exportSilence, "exportSilence" }, { EmptyStemPolicy::failExport, "failExport" }
    };
    const NameRow<MatchMode> matchModeRows[] = {
        { MatchMode::token, "token" }, { MatchMode::exact, "exact" }, { MatchMode::phrase, "phrase" }, { MatchMode::fuzzy, "fuzzy" }
    };
    const NameRow<CollisionPolicy> collisionPolicyRows[] = {
        { CollisionPolicy::overwrite, "overwrite" }, { CollisionPolicy::incrementVersion, "incrementVersion" }, { CollisionPolicy::abort, "abort" }
    };
    const NameRow<NumberingMode> numberingModeRows[] = {
        { NumberingMode::schemaIndex, "schemaIndex" }, { NumberingMode::consecutiveExported, "consecutiveExported" }
    };
    const NameRow<FolderNameTarget> folderNameTargetRows[] = {
        { FolderNameTarget::none, "none" }, { FolderNameTarget::cue, "cue" }, { FolderNameTarget::project, "project" }
    };
    const NameRow<BatchGainMode> batchGainModeRows[] = {
        { BatchGainMode::perTrack, "perTrack" }, { BatchGainMode::sharedAcrossBatch, "sharedAcrossBatch" }
    };
    const NameRow<Confidence> confidenceRows[] = {
        { Confidence::confident, "confident" }, { Confidence::review, "review" }, { Confidence::ambiguous, "ambiguous" }, { Confidence::unassigned, "unassigned" }
    };
    const NameRow<AssignmentSource> assignmentSourceRows[] = {
        { AssignmentSource::none, "none" }, { AssignmentSource::automatic, "automatic" }, { AssignmentSource::manual, "manual" }, { AssignmentSource::locked, "locked" }
    };
} // namespace

juce::String codecToString (Codec v) { return nameOf (codecRows, v); }
juce::String sampleFormatToString (SampleFormat v) { return nameOf (sampleFormatRows, v); }
juce::String peakModeToString (PeakMode v) { return nameOf (peakModeRows, v); }
juce::String gainModeToString (GainMode v) { return nameOf (gainModeRows, v); }
juce::String ditherKindToString (DitherKind v) { return nameOf (ditherKindRows, v); }
juce::String emptyStemPolicyToString (EmptyStemPolicy v) { return nameOf (emptyStemPolicyRows, v); }
juce::String matchModeToString (MatchMode v) { return nameOf (matchModeRows, v); }
juce::String collisionPolicyToString (CollisionPolicy v) { return nameOf (collisionPolicyRows, v); }
juce::String numberingModeToString (NumberingMode v) { return nameOf (numberingModeRows, v); }
juce::String folderNameTargetToString (FolderNameTarget v) { return nameOf (folderNameTargetRows, v); }
juce::String batchGainModeToString (BatchGainMode v) { return nameOf (batchGainModeRows, v); }
juce::String confidenceToString (Confidence v) { return nameOf (confidenceRows, v); }
juce::String assignmentSourceToString (AssignmentSource v) { return nameOf (assignmentSourceRows, v); }

juce::String presetKindToString (PresetKind v)
{
    return v == PresetKind::project ? "project" : "publisher";
}

bool codecFromString (const juce::String& s, Codec& out) { return valueOf (codecRows, s, out); }
bool sampleFormatFromString (const juce::String& s, SampleFormat& out) { return valueOf (sampleFormatRows, s, out); }
bool peakModeFromString (const juce::String& s, PeakMode& out) { return valueOf (peakModeRows, s, out); }
bool gainModeFromString (const juce::String& s, GainMode& out) { return valueOf (gainModeRows, s, out); }
bool ditherKindFromString (const juce::String& s, DitherKind& out) { return valueOf (ditherKindRows, s, out); }
bool emptyStemPolicyFromString (const juce::String& s, EmptyStemPolicy& out) { return valueOf (emptyStemPolicyRows, s, out); }
bool matchModeFromString (const juce::String& s, MatchMode& out) { return valueOf (matchModeRows, s, out); }
bool collisionPolicyFromString (const juce::String& s, CollisionPolicy& out) { return valueOf (collisionPolicyRows, s, out); }
bool numberingModeFromString (const juce::String& s, NumberingMode& out) { return valueOf (numberingModeRows, s, out); }
bool folderNameTargetFromString (const juce::String& s, FolderNameTarget& out) { return valueOf (folderNameTargetRows, s, out); }
bool batchGainModeFromString (const juce::String& s, BatchGainMode& out) { return valueOf (batchGainModeRows, s, out); }
bool assignmentSourceFromString (const juce::String& s, AssignmentSource& out) { return valueOf (assignmentSourceRows, s, out); }

bool presetKindFromString (const juce::String& s, PresetKind& out)
{
    // The kind is compared untrimmed: " project" is not a kind.
    if (s.equalsIgnoreCase ("publisher"))
    {
        out = PresetKind::publisher;
        return true;
    }

    if (s.equalsIgnoreCase ("project"))
    {
        out = PresetKind::project;
        return true;
    }

    return false;
}

juce::String describeStemCount (int count)
{
    return juce::String (count) + (count == 1 ? " stem" : " stems");
}

juce::String assignmentBadgeText (AssignmentSource source, Confidence c)
{
    if (source == AssignmentSource::manual)
        return "Manual";

    if (source == AssignmentSource::locked)
        return "Locked";

    return confidenceDisplayName (c);
}

juce::String confidenceDisplayName (Confidence c)
{
    switch (c)
    {
        case Confidence::confident:  return "Confident";
        case Confidence::review:     return "Needs review";
        case Confidence::ambiguous:  return "Ambiguous";
        case Confidence::unassigned: return "Unassigned";
    }

    return {};
}

int bitsPerSample (SampleFormat f)
{
    switch (f)
    {
        case SampleFormat::pcm16:   return 16;
        case SampleFormat::pcm24:   return 24;
        case SampleFormat::float32: return 0;
    }

    return 0;
}

juce::String describeBitDepth (int bits, bool isFloatingPoint)
{
    if (bits <= 0)
        return "-";

    return juce::String (bits) + " bit" + (isFloatingPoint ? " float" : "");
}

juce::String describeChannelLayout (int numChannels)
{
    switch (numChannels)
    {
        case 0: return "-";
        case 1: return "mono";
        case 2: return "stereo";
        case 6: return "5.1";
        case 8: return "7.1";
        default: return juce::String (numChannels) + " ch";
    }
}

juce::String formatDuration (double seconds)
{
    if (! std::isfinite (seconds) || seconds < 0.0)
        return "-";

    // Round to tenths before splitting, so 59.97 s reads 1:00.0 rather than 0:60.0.
    const auto tenths = (long long) std::llround (seconds * 10.0);
    const auto minutes = tenths / 600;
    const auto restTenths = tenths - minutes * 600;

    juce::String text;
    text << juce::String (minutes) << ":";

    if (restTenths < 100)
        text << "0";

    text << juce::String (restTenths / 10) << "." << juce::String (restTenths % 10);
    return text;
}

juce::String formatKilohertz (double rate)
{
    if (! (rate > 0.0))
        return "-";

    const auto k = rate / 1000.0;
    const auto t = juce::roundToInt (k * 10.0);

    if (t % 10 == 0)
        return juce::String (t / 10) + " kHz";

    return juce::String (k, 1) + " kHz";
}

juce::String formatKilohertzWithOneDecimal (double rate)
{
    return juce::String (rate / 1000.0, 1) + " kHz";
}

juce::String codecFileExtension (Codec c)
{
    switch (c)
    {
        case Codec::wav:  return ".wav";
        case Codec::aiff: return ".aif";
        case Codec::flac: return ".flac";
        case Codec::mp3:  return ".mp3";
    }

    return {};
}

} // namespace dunmoor
