#include "PresetReader.h"

#include "PresetJson.h"
#include "core/files/JsonText.h"

#include <cmath>
#include <limits>

namespace dunmoor
{

namespace
{
    using detail::findJsonKey;

    juce::String indexed (const juce::String& path, const char* list, int i)
    {
        return path + "." + list + "[" + juce::String (i) + "]";
    }

    juce::String newIdIfBlank (const juce::String& id)
    {
        return id.trim().isEmpty() ? newUuidString() : id;
    }

    void readHeadroom (HeadroomSettings& h, const juce::var& v, juce::StringArray& errors, const juce::String& path)
    {
        h.targetDb = readJsonNumber (errors, v, "targetDb", path, -3.0, -120.0, 0.0);
        h.peakMode = readJsonEnum (errors, v, "peakMode", path, PeakMode::truePeak, peakModeFromString);
        h.gainMode = readJsonEnum (errors, v, "gainMode", path, GainMode::alwaysReachTarget, gainModeFromString);
        h.truePeakOversampling = readJsonInt (errors, v, "truePeakOversampling", path, 4, 1, 16);
        h.submixesReachTargetIndependently = readJsonBool (errors, v, "submixesReachTargetIndependently", path, false);
        h.verifyLevelAfterGain = readJsonBool (errors, v, "verifyLevelAfterGain", path, false);
    }

    void readNaming (NamingSettings& n, const juce::var& v, juce::StringArray& errors, const juce::String& path)
    {
        n.stemTemplate = readJsonString (errors, v, "stemTemplate", path, "{project}_{cue}_{stemIndex}_{stemName}");
        n.mixTemplate = readJsonString (errors, v, "mixTemplate", path, "{project}_{cue}_{stemName}");
        n.indexPadding = readJsonInt (errors, v, "indexPadding", path, 2, 1, 6);
        n.numbering = readJsonEnum (errors, v, "numbering", path, NumberingMode::schemaIndex, numberingModeFromString);
        n.numberMixesFirst = readJsonBool (errors, v, "numberMixesFirst", path, false);
        n.collisionPolicy = readJsonEnum (errors, v, "collisionPolicy", path, CollisionPolicy::incrementVersion, collisionPolicyFromString);
        n.replacementChar = readJsonString (errors, v, "replacementChar", path, "-");
        n.separator = readJsonString (errors, v, "separator", path, "_");
    }

    void readBatch (BatchSettings& b, const juce::var& v, juce::StringArray& errors, const juce::String& path)
    {
        b.folderNameTarget = readJsonEnum (errors, v, "folderNameTarget", path, FolderNameTarget::cue, folderNameTargetFromString);
        b.gainMode = readJsonEnum (errors, v, "gainMode", path, BatchGainMode::perTrack, batchGainModeFromString);
        b.mirrorFolderStructure = readJsonBool (errors, v, "mirrorFolderStructure", path, true);
        b.folderPerCue = readJsonBool (errors, v, "folderPerCue", path, true);
    }

    void readSilenceGate (SilenceGateSettings& g, const juce::var& v, juce::StringArray& errors, const juce::String& path)
    {
        g.enabled = readJsonBool (errors, v, "enabled", path, false);
        g.thresholdDb = readJsonNumber (errors, v, "thresholdDb", path, -90.0, -140.0, 0.0);
        g.minimumSeconds = readJsonNumber (errors, v, "minimumSeconds", path, 1.0, 0.0, 600.0);

        // Older files hold one fade for both directions; it is the default of each.
        const auto fade = readJsonNumber (errors, v, "fadeSeconds", path, 0.15, 0.0, 10.0);
        g.fadeOutSeconds = readJsonNumber (errors, v, "fadeOutSeconds", path, fade, 0.0, 10.0);
        g.fadeInSeconds = readJsonNumber (errors, v, "fadeInSeconds", path, fade, 0.0, 10.0);
        g.floorDb = readJsonNumber (errors, v, "floorDb", path, -400.0, -400.0, 0.0);
    }

    void readFullMix (FullMixSettings& m, const juce::var& v, juce::StringArray& errors, const juce::String& path)
    {
        m.exportMix = readJsonBool (errors, v, "export", path, true);
        m.exportSubmixes = readJsonBool (errors, v, "exportSubmixes", path, true);
        m.name = readJsonString (errors, v, "name", path, "Full Mix");
        m.code = readJsonString (errors, v, "code", path, "MIX");
        m.index = juce::jmax (1, readJsonInt (errors, v, "index", path, 1, 0, 256));
    }

    AlternativeMix readAlternativeMix (const juce::var& v, juce::StringArray& errors, const juce::String& path)
    {
        AlternativeMix mix;

        if (! isJsonObject (v))
        {
            mix.id = newUuidString();
            return mix;
        }

        mix.id = readJsonString (errors, v, "id", path, {});
        mix.name = readJsonString (errors, v, "name", path, "Submix");
        mix.shortCode = readJsonString (errors, v, "shortCode", path, {});

        if (mix.id.isEmpty())
            mix.id = newUuidString();

        for (const auto& entry : readJsonArray (errors, v, "stems", path, maxStems))
        {
            const auto id = entry.toString();

            if (id.isNotEmpty() && ! mix.stemIds.contains (id))
                mix.stemIds.add (id);
        }

        return mix;
    }

    void readSchemaObject (StemSchema& schema, const juce::var& v, juce::StringArray& errors)
    {
        const juce::String path ("preset.schema");

        schema.matchPlurals = readJsonBool (errors, v, "matchPlurals", path, false);
        schema.publisher = readJsonString (errors, v, "publisher", path, {});
        schema.name = readJsonString (errors, v, "name", path, {});
        schema.description = readJsonString (errors, v, "description", path, {});

        const auto stems = readJsonArray (errors, v, "stems", path, maxStems);

        for (int i = 0; i < stems.size(); ++i)
            schema.stems.push_back (readStem (stems.getReference (i), errors, indexed (path, "stems", i)));

        schema.renumberStems();

        const auto mixes = readJsonArray (errors, v, "submixes", path, maxAlternativeMixes);

        for (int i = 0; i < mixes.size(); ++i)
            schema.alternativeMixes.push_back (readAlternativeMix (mixes.getReference (i), errors, indexed (path, "submixes", i)));

        schema.dropUnknownMixMembers();
    }

    PresetReadResult readPresetDocument (const juce::String& text)
    {
        PresetReadResult result;
        juce::StringArray errors;

        const auto finish = [&result, &errors]() -> PresetReadResult
        {
            result.messages.errors.addArray (errors);
            return result;
        };

        juce::var root;
        const auto parsed = parseJsonDocument (text, root);

        if (parsed.failed())
        {
            errors.add ("This is not valid JSON: " + parsed.getErrorMessage());
            return finish();
        }

        if (! isJsonObject (root))
        {
            errors.add ("The preset file must contain a JSON object.");
            return finish();
        }

        const auto version = readSchemaVersion (root);
        result.sourceSchemaVersion = version;

        if (version <= 0)
        {
            errors.add ("The preset file does not declare a schema version.");
            return finish();
        }

        if (version > currentPresetSchemaVersion)
        {
            errors.add ("This preset was written by a newer version of Brackenfold (schema version " + juce::String (version)
                        + ", this build understands up to " + juce::String (currentPresetSchemaVersion) + ").");
            return finish();
        }

        if (version < currentPresetSchemaVersion)
        {
            if (! migratePreset (root, version, currentPresetSchemaVersion, errors))
                return finish();

            result.migrated = true;
        }

        const auto body = root.getProperty ("preset", {});

        if (! isJsonObject (body))
        {
            errors.add ("The 'preset' object is missing.");
            return finish();
        }

        Preset preset;
        const juce::String path ("preset");

        preset.id = readJsonString (errors, body, "id", path, {});
        preset.name = readRequiredJsonString (errors, body, "name", path);
        preset.description = readJsonString (errors, body, "description", path, {});
        preset.kind = readJsonEnum (errors, body, "kind", path, PresetKind::publisher, presetKindFromString);
        preset.basedOnPresetId = readJsonString (errors, body, "basedOnPresetId", path, {});
        preset.basedOnPresetName = readJsonString (errors, body, "basedOnPresetName", path, {});
        preset.isBuiltIn = readJsonBool (errors, body, "isBuiltIn", path, false);
        preset.modifiedUtcMs = readJsonTime (errors, body, "modifiedUtcMs", path, 0);
        preset.id = newIdIfBlank (preset.id);

        if (const auto* metadata = findJsonKey (body, "metadata"))
        {
            const juce::String metaPath ("preset.metadata");
            auto& m = preset.metadata;
            m.publisher = readJsonString (errors, *metadata, "publisher", metaPath, {});
            m.project = readJsonString (errors, *metadata, "project", metaPath, {});
            m.cue = readJsonString (errors, *metadata, "cue", metaPath, {});
            m.composer = readJsonString (errors, *metadata, "composer", metaPath, {});
            m.version = readJsonString (errors, *metadata, "version", metaPath, "v1");
        }

        const auto schema = body.getProperty ("schema", {});

        if (! isJsonObject (schema))
        {
            errors.add ("The 'preset.schema' object is missing.");
            return finish();
        }

        readSchemaObject (preset.schema, schema, errors);
        preset.exportSettings = readExportSettings (body.getProperty ("export", {}), errors, "preset.export");

        if (! errors.isEmpty())
            return finish();

        result.messages.merge (validatePreset (preset), {});
        result.ok = result.messages.errors.isEmpty();
        result.onlyValidationFailed = ! result.ok;
        result.preset = std::move (preset);
        return result;
    }

    /** The value under key when it is a number; nullptr when it is absent, or when it is
        something else, which is then an error. */
} // namespace

//==============================================================================
KeywordRule readKeywordRule (const juce::var& value, juce::StringArray& errors, const juce::String& path)
{
    KeywordRule rule;

    if (value.isString())
    {
        // The same limit as the object form: the rule is written back as an object, and an
        // over-long pattern would then make the stored preset unreadable.
        const auto pattern = value.toString();

        if (pattern.length() > maxJsonTextLength)
        {
            errors.add (path + " is longer than the " + juce::String (maxJsonTextLength) + " character limit.");
            return rule;
        }

        rule.pattern = pattern;
        rule.mode = defaultMatchModeFor (rule.pattern);
        return rule;
    }

    if (! isJsonObject (value))
    {
        errors.add (path + " must be a string or an object.");
        return rule;
    }

    rule.pattern = readRequiredJsonString (errors, value, "pattern", path);
    rule.mode = readJsonEnum (errors, value, "mode", path, defaultMatchModeFor (rule.pattern), matchModeFromString);
    rule.priority = readJsonInt (errors, value, "priority", path, 0, -1000, 1000);
    rule.note = readJsonString (errors, value, "note", path, {});
    rule.excludes = readJsonStringArray (errors, value, "excludes", path, 256);
    return rule;
}

Stem readStem (const juce::var& value, juce::StringArray& errors, const juce::String& path)
{
    Stem stem;

    if (! isJsonObject (value))
    {
        errors.add (path + " must be an object.");
        return stem;
    }

    stem.id = readJsonString (errors, value, "id", path, {});
    stem.index = readJsonInt (errors, value, "index", path, 1, 0, maxStems);
    stem.displayName = readRequiredJsonString (errors, value, "displayName", path);
    stem.shortCode = readJsonString (errors, value, "shortCode", path, {});
    stem.fileNameToken = readJsonString (errors, value, "fileNameToken", path, {});
    stem.required = readJsonBool (errors, value, "required", path, false);
    stem.priority = readJsonInt (errors, value, "priority", path, 0, -1000, 1000);
    stem.namingTemplate = readJsonString (errors, value, "namingTemplate", path, {});

    const auto colourText = readJsonString (errors, value, "colour", path, "ff8a8a8a");
    stem.colour = readJsonColour (errors, colourText, path, 0xff8a8a8a);

    if (const auto* policy = findJsonKey (value, "emptyPolicy"); policy != nullptr && ! policy->isVoid())
    {
        stem.emptyPolicy = readJsonEnum (errors, value, "emptyPolicy", path, EmptyStemPolicy::skip, emptyStemPolicyFromString);
        stem.hasEmptyPolicy = true;
    }

    stem.excludeKeywords = readJsonStringArray (errors, value, "excludeKeywords", path, 256);

    const auto rules = readJsonArray (errors, value, "rules", path, 2000);

    for (int j = 0; j < rules.size(); ++j)
        stem.rules.push_back (readKeywordRule (rules.getReference (j), errors, indexed (path, "rules", j)));

    stem.id = newIdIfBlank (stem.id);
    return stem;
}

OutputFormat readOutputFormat (const juce::var& value, juce::StringArray& errors, const juce::String& path)
{
    OutputFormat format;

    if (! isJsonObject (value))
    {
        errors.add (path + " must be an object.");
        return format;
    }

    format.enabled = readJsonBool (errors, value, "enabled", path, true);
    format.codec = readJsonEnum (errors, value, "codec", path, Codec::wav, codecFromString);
    format.sampleFormat = readJsonEnum (errors, value, "sampleFormat", path, SampleFormat::pcm24, sampleFormatFromString);
    format.sampleRate = readJsonNumber (errors, value, "sampleRate", path, 0.0, 0.0, 768000.0);
    format.mp3Bitrate = readJsonInt (errors, value, "mp3Bitrate", path, 320, 8, 640);
    format.dither = readJsonEnum (errors, value, "dither", path, DitherKind::tpdf, ditherKindFromString);
    format.subFolder = readJsonString (errors, value, "subFolder", path, {});
    return format;
}

ExportSettings readExportSettings (const juce::var& value, juce::StringArray& errors, const juce::String& path)
{
    ExportSettings settings;

    if (! isJsonObject (value))
    {
        errors.add (path + " must be an object.");
        return settings;
    }

    settings.masterSampleRate = readJsonNumber (errors, value, "masterSampleRate", path, 48000.0, 8000.0, 768000.0);

    settings.formats.clear();
    const auto formats = readJsonArray (errors, value, "formats", path, 32);

    for (int i = 0; i < formats.size(); ++i)
        settings.formats.push_back (readOutputFormat (formats.getReference (i), errors, indexed (path, "formats", i)));

    if (settings.formats.empty())
        settings.formats.emplace_back();

    if (const auto* v = findJsonKey (value, "headroom"))
        readHeadroom (settings.headroom, *v, errors, path + ".headroom");

    if (const auto* v = findJsonKey (value, "naming"))
        readNaming (settings.naming, *v, errors, path + ".naming");

    if (const auto* v = findJsonKey (value, "batch"))
        readBatch (settings.batch, *v, errors, path + ".batch");

    settings.emptyStemPolicy = readJsonEnum (errors, value, "emptyStemPolicy", path, EmptyStemPolicy::skip, emptyStemPolicyFromString);

    if (const auto* v = findJsonKey (value, "silenceGate"))
        readSilenceGate (settings.silenceGate, *v, errors, path + ".silenceGate");

    if (const auto* v = findJsonKey (value, "fullMix"))
        readFullMix (settings.fullMix, *v, errors, path + ".fullMix");

    settings.fullMix.stemsSubFolder = readJsonString (errors, value, "stemsSubFolder", path, {});
    settings.requireDecisionOnUnassigned = readJsonBool (errors, value, "requireDecisionOnUnassigned", path, true);

    // Kept for older files: checked so a broken value is reported, then discarded.
    if (const auto* v = findJsonKey (value, "reconstructionCheck"))
    {
        const auto checkPath = path + ".reconstructionCheck";
        juce::ignoreUnused (readJsonBool (errors, *v, "enabled", checkPath, true),
                            readJsonNumber (errors, *v, "toleranceDb", checkPath, -100.0, -300.0, 0.0));
    }

    return settings;
}

PresetReadResult readPreset (const juce::String& documentText)
{
    try
    {
        return readPresetDocument (documentText);
    }
    catch (const std::bad_alloc&)
    {
        PresetReadResult result;
        result.messages.errors.add ("There is not enough memory to read the preset.");
        return result;
    }
}

PresetReadResult loadPresetFile (const juce::File& file)
{
    PresetReadResult result;

    if (! file.existsAsFile())
    {
        result.messages.errors.add ("The preset file does not exist: " + file.getFullPathName());
        return result;
    }

    const auto size = file.getSize();

    if (size <= 0)
    {
        result.messages.errors.add ("The preset file is empty.");
        return result;
    }

    if (size > maxPresetFileBytes)
    {
        result.messages.errors.add ("The preset file is larger than the " + juce::String (maxPresetFileBytes / 1024) + " kB limit.");
        return result;
    }

    try
    {
        return readPreset (file.loadFileAsString());
    }
    catch (const std::bad_alloc&)
    {
        result.messages.errors.add ("There is not enough memory to read the preset.");
        return result;
    }
}

} // namespace dunmoor
