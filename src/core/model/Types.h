#pragma once

#include <juce_core/juce_core.h>

namespace dunmoor
{

// Every closed set of choices is a small enumeration with fixed values. The camelCase names
// returned by the xxxToString functions are the stored form in preset and project files;
// the numbers never leave memory.

enum class Codec : int { wav = 0, aiff, flac, mp3 };
enum class SampleFormat : int { pcm16 = 0, pcm24, float32 };
enum class PeakMode : int { samplePeak = 0, truePeak };
enum class GainMode : int { alwaysReachTarget = 0, attenuateOnly };
enum class DitherKind : int { none = 0, tpdf, tpdfShaped, tpdfContinuous, tpdfShapedContinuous };
enum class EmptyStemPolicy : int { skip = 0, exportSilence, failExport };
enum class MatchMode : int { token = 0, exact, phrase, fuzzy };
enum class CollisionPolicy : int { overwrite = 0, incrementVersion, abort };
enum class NumberingMode : int { schemaIndex = 0, consecutiveExported };
enum class FolderNameTarget : int { none = 0, cue, project };
enum class BatchGainMode : int { perTrack = 0, sharedAcrossBatch };
enum class Confidence : int { confident = 0, review, ambiguous, unassigned };
enum class AssignmentSource : int { none = 0, automatic, manual, locked };
enum class PresetKind : int { publisher = 0, project };

// Value to stored name. A value outside the enumeration gives an empty text
// (presetKindToString gives "publisher" for anything but project).
juce::String codecToString (Codec);
juce::String sampleFormatToString (SampleFormat);
juce::String peakModeToString (PeakMode);
juce::String gainModeToString (GainMode);
juce::String ditherKindToString (DitherKind);
juce::String emptyStemPolicyToString (EmptyStemPolicy);
juce::String matchModeToString (MatchMode);
juce::String collisionPolicyToString (CollisionPolicy);
juce::String numberingModeToString (NumberingMode);
juce::String folderNameTargetToString (FolderNameTarget);
juce::String batchGainModeToString (BatchGainMode);
juce::String confidenceToString (Confidence);
juce::String assignmentSourceToString (AssignmentSource);
juce::String presetKindToString (PresetKind);

// Stored name to value: trimmed, case-insensitive. On no match, returns false and leaves
// the output untouched. presetKindFromString does not trim.
bool codecFromString (const juce::String&, Codec&);
bool sampleFormatFromString (const juce::String&, SampleFormat&);
bool peakModeFromString (const juce::String&, PeakMode&);
bool gainModeFromString (const juce::String&, GainMode&);
bool ditherKindFromString (const juce::String&, DitherKind&);
bool emptyStemPolicyFromString (const juce::String&, EmptyStemPolicy&);
bool matchModeFromString (const juce::String&, MatchMode&);
bool collisionPolicyFromString (const juce::String&, CollisionPolicy&);
bool numberingModeFromString (const juce::String&, NumberingMode&);
bool folderNameTargetFromString (const juce::String&, FolderNameTarget&);
bool batchGainModeFromString (const juce::String&, BatchGainMode&);
bool assignmentSourceFromString (const juce::String&, AssignmentSource&);
bool presetKindFromString (const juce::String&, PresetKind&);

// Display texts shared by pages and reports.

/** "Confident", "Needs review", "Ambiguous", "Unassigned"; empty for anything else. */
juce::String confidenceDisplayName (Confidence);

/** "1 stem", otherwise "<n> stems": a count that says what it counts (a bare number beside a
    cue reads like its track count). */
juce::String describeStemCount (int count);

/** The badge of a track's assignment: "Manual" or "Locked" for a decision the user made,
    else confidenceDisplayName of the automatic match. */
juce::String assignmentBadgeText (AssignmentSource, Confidence);

/** 16 for pcm16, 24 for pcm24, 0 for float32 (and anything else). */
int bitsPerSample (SampleFormat);

/** "24 bit", "32 bit float"; "-" when bits <= 0. */
juce::String describeBitDepth (int bits, bool isFloatingPoint);

/** "-", "mono", "stereo", "5.1", "7.1" or "<n> ch". */
juce::String describeChannelLayout (int numChannels);

/** m:ss.s with one decimal ("2:05.5"); "-" for a negative value. */
juce::String formatDuration (double seconds);

/** "48 kHz", "44.1 kHz"; "-" for a rate of 0 or below. */
juce::String formatKilohertz (double sampleRateHz);

/** "48.0 kHz", "44.1 kHz", "88.2 kHz": always one decimal, for messages and reports that
    line rates up. */
juce::String formatKilohertzWithOneDecimal (double sampleRateHz);

/** ".wav", ".aif", ".flac", ".mp3"; empty for anything else. */
juce::String codecFileExtension (Codec);

} // namespace dunmoor
