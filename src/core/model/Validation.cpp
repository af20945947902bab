#include "Validation.h"

#include <cmath>

#include "CodecCapabilities.h"

namespace dunmoor
{

namespace
{
    // A folder name may hold none of these, nor "..".
    bool isUnsafeFolderName (const juce::String& name)
    {
        return name.containsAnyOf ("\\/:*?\"<>|") || name.contains ("..");
    }

    // A format's sub-folder may go several levels down ("Masters/WAV", either slash), each
    // part a safe folder name; it may never start at a root or climb out of the export folder.
    bool isUnsafeSubFolderPath (const juce::String& path)
    {
        const auto trimmed = path.trim();

        if (trimmed.startsWithChar ('/') || trimmed.startsWithChar ('\\'))
            return true;

        for (const auto& part : juce::StringArray::fromTokens (trimmed, "/\\", {}))
            if (isUnsafeFolderName (part))
                return true;

        return false;
    }
} // namespace

void ValidationResult::merge (const ValidationResult& other, const juce::String& section)
{
    const auto prefix = section.isEmpty() ? juce::String() : section + ": ";

    for (const auto& e : other.errors)
        errors.add (prefix + e);

    for (const auto& w : other.warnings)
        warnings.add (prefix + w);
}

juce::String ValidationResult::toText() const
{
    juce::StringArray lines;

    for (const auto& e : errors)
        lines.add ("ERROR   " + e);

    for (const auto& w : warnings)
        lines.add ("WARNING " + w);

    return lines.joinIntoString ("\r\n");
}

ValidationResult validatePreset (const Preset& preset)
{
    ValidationResult result;

    if (preset.id.trim().isEmpty())
        result.errors.add ("The preset has no id.");

    if (preset.name.trim().isEmpty())
        result.errors.add ("The preset has no name.");

    result.merge (validateSchema (preset.schema), "Stem schema");
    result.merge (validateExportSettings (preset.exportSettings), "Export settings");

    const auto& fullMix = preset.exportSettings.fullMix;

    if (fullMix.exportMix)
    {
        const auto mixName = fullMix.name.trim();
        const auto mixCode = fullMix.code.trim();

        for (const auto& stem : preset.schema.stems)
        {
            if (stem.getFileNameToken().equalsIgnoreCase (mixName))
                result.errors.add ("Stem '" + stem.displayName + "' has the same file name token as the full mix.");

            if (stem.shortCode.isNotEmpty() && stem.shortCode.equalsIgnoreCase (mixCode))
                result.errors.add ("Stem '" + stem.displayName + "' has the same short code as the full mix.");
        }
    }

    return result;
}

ValidationResult validateSchema (const StemSchema& schema)
{
    ValidationResult result;
    auto& errors = result.errors;
    auto& warnings = result.warnings;

    if (schema.stems.empty())
        warnings.add ("The schema contains no stems yet.");

    juce::StringArray ids, names, normalisedNames, shortCodes, tokens;

    for (const auto& stem : schema.stems)
    {
        const auto label = stem.displayName.isNotEmpty() ? stem.displayName
                                                         : "stem #" + juce::String (stem.index);

        if (stem.id.trim().isEmpty())
            errors.add (label + ": missing id.");
        else if (ids.contains (stem.id))
            errors.add (label + ": duplicate id '" + stem.id + "'.");
        else
            ids.add (stem.id);

        const auto name = stem.displayName.trim().toLowerCase();

        if (name.isEmpty())
        {
            errors.add (label + ": display name is empty.");
        }
        else if (names.contains (name))
        {
            warnings.add (label + ": another stem uses the same display name.");
        }
        else
        {
            const auto normalised = normaliseStemName (stem.displayName);

            if (normalisedNames.contains (normalised))
                warnings.add (label + ": another stem has the same name apart from spacing or punctuation. Both will be written, as two files.");

            names.add (name);
            normalisedNames.add (normalised);
        }

        const auto code = stem.shortCode.trim().toLowerCase();

        if (code.isNotEmpty())
        {
            if (shortCodes.contains (code))
                errors.add (label + ": duplicate short code '" + stem.shortCode + "'.");
            else
                shortCodes.add (code);
        }

        const auto token = stem.getFileNameToken();

        if (token.isEmpty())
            errors.add (label + ": nothing to expand {stemName} to.");
        else if (tokens.contains (token.toLowerCase()))
            errors.add (label + ": another stem produces the same file name token '" + token + "'.");
        else
            tokens.add (token.toLowerCase());

        for (const auto& rule : stem.rules)
            if (rule.pattern.trim().isEmpty())
                errors.add (label + ": a keyword rule has an empty pattern.");
    }

    if ((int) schema.alternativeMixes.size() > maxAlternativeMixes)
        errors.add ("A schema may define at most " + juce::String (maxAlternativeMixes) + " alternative mixes.");

    juce::StringArray mixNames;

    for (const auto& mix : schema.alternativeMixes)
    {
        const auto label = "Submix '" + mix.name + "'";
        const auto mixName = mix.name.trim().toLowerCase();

        if (mixName.isEmpty())
            errors.add ("An alternative mix has no name.");
        else if (mixNames.contains (mixName))
            errors.add (label + ": another alternative mix has the same name.");
        else
            mixNames.add (mixName);

        if (mixName.isNotEmpty() && tokens.contains (mixName))
            errors.add (label + ": a stem already produces this file name.");

        if (mix.stemIds.isEmpty())
            warnings.add (label + ": no stems selected, it would be silent and is skipped.");

        for (const auto& memberId : mix.stemIds)
            if (schema.indexOfStem (memberId) < 0)
                errors.add (label + ": refers to a stem that is not in the schema.");
    }

    return result;
}

ValidationResult validateExportSettings (const ExportSettings& settings)
{
    ValidationResult result;
    auto& errors = result.errors;
    auto& warnings = result.warnings;
    const auto& formats = settings.formats;

    bool isLosslessRate = false;

    for (auto rate : getLosslessSampleRates())
        if (std::abs (rate - settings.masterSampleRate) < 0.5)
            isLosslessRate = true;

    if (! isLosslessRate)
        errors.add ("Unsupported project sample rate: " + juce::String (settings.masterSampleRate));

    if (formats.empty())
        errors.add ("No output format is configured.");

    // Only the first two formats are ever written, so a later enabled one doesn't count.
    constexpr size_t writtenFormats = 2;
    bool anyWrittenFormatEnabled = false;

    for (size_t i = 0; i < formats.size() && i < writtenFormats; ++i)
        anyWrittenFormatEnabled = anyWrittenFormatEnabled || formats[i].enabled;

    if (! anyWrittenFormatEnabled)
        errors.add ("Every output format is disabled, nothing would be written.");

    if (formats.size() > writtenFormats)
        warnings.add ("This preset lists " + juce::String ((int) formats.size()) + " output formats; only the first "
                      + juce::String ((int) writtenFormats) + " will be written.");

    bool anyLosslessEnabled = false;

    for (const auto& format : formats)
    {
        if (! format.enabled)
            continue;

        const auto label = format.describe();

        if (! isCodecAvailable (format.codec))
            errors.add (label + ": " + describeCodecAvailability (format.codec));

        if (isLosslessCodec (format.codec))
        {
            anyLosslessEnabled = true;

            if (! supportsSampleFormat (format.codec, format.sampleFormat))
                errors.add (label + ": " + codecToString (format.codec).toUpperCase() + " cannot store "
                            + sampleFormatToString (format.sampleFormat) + ".");
        }

        const auto rate = format.sampleRate > 0.0 ? format.sampleRate : settings.masterSampleRate;

        if (! supportsSampleRate (format.codec, rate))
            warnings.add (label + ": " + formatKilohertzWithOneDecimal (rate) + " is not valid for this codec, it will be resampled to "
                          + formatKilohertzWithOneDecimal (bestOutputSampleRate (format.codec, rate)) + ".");

        if (isLossyCodec (format.codec))
        {
            const auto nearest = nearestMp3Bitrate (format.mp3Bitrate);

            if (nearest != format.mp3Bitrate)
                warnings.add (label + ": bitrate will be clamped to " + juce::String (nearest) + " kbps.");
        }

        if (format.sampleFormat == SampleFormat::float32 && format.dither != DitherKind::none)
            warnings.add (label + ": dither is meaningless for a floating point output and will be skipped.");

        if (isUnsafeSubFolderPath (format.subFolder))
            errors.add (label + ": the sub-folder name contains characters that are not allowed.");
    }

    if (! anyLosslessEnabled)
        warnings.add ("The reconstruction check needs at least one lossless format and will be skipped.");

    const auto& fullMix = settings.fullMix;

    if (! fullMix.exportMix)
        warnings.add ("The reconstruction check needs the full mix and will be skipped.");

    if (isUnsafeFolderName (fullMix.stemsSubFolder))
        errors.add ("The stems folder name contains characters that are not allowed.");

    const auto& headroom = settings.headroom;

    if (headroom.targetDb > 0.0)
        errors.add ("The headroom target must be 0 dB or lower.");

    if (headroom.targetDb < -60.0)
        warnings.add ("A headroom target below -60 dB is unusual.");

    if (headroom.truePeakOversampling < 2 || headroom.truePeakOversampling > 8)
        errors.add ("True peak oversampling must be 2, 4 or 8.");

    const auto& naming = settings.naming;

    if (naming.stemTemplate.trim().isEmpty())
        errors.add ("The stem naming template is empty.");

    if (! naming.stemTemplate.contains ("{stemName}") && ! naming.stemTemplate.contains ("{stemCode}"))
        errors.add ("The stem naming template must contain {stemName} or {stemCode}, otherwise every stem would produce the same file name.");

    if (fullMix.exportMix && naming.mixTemplate.trim().isEmpty())
        errors.add ("The full mix naming template is empty.");

    if (naming.indexPadding < 1 || naming.indexPadding > 6)
        errors.add ("Index padding must be between 1 and 6 digits.");

    return result;
}

} // namespace dunmoor
