#include "PresetJson.h"

#include "core/files/AtomicFileWriter.h"
#include "core/files/JsonText.h"
#include "PresetReader.h"

namespace dunmoor
{

namespace
{
    struct ObjectBuilder
    {
        ObjectBuilder() : object (new juce::DynamicObject()) {}

        ObjectBuilder& set (const char* key, const juce::var& value)
        {
            object->setProperty (key, value);
            return *this;
        }

        juce::var toVar() const { return juce::var (object.get()); }

        juce::DynamicObject::Ptr object;
    };

    juce::var textList (const juce::StringArray& texts)
    {
        juce::Array<juce::var> list;

        for (const auto& text : texts)
            list.add (text);

        return list;
    }

    juce::String colourToText (uint32_t argb)
    {
        return juce::String::toHexString ((juce::int64) argb).paddedLeft ('0', 8);
    }

    juce::var writeMetadata (const PresetMetadata& m)
    {
        return ObjectBuilder()
            .set ("publisher", m.publisher)
            .set ("project", m.project)
            .set ("cue", m.cue)
            .set ("composer", m.composer)
            .set ("version", m.version)
            .toVar();
    }

    juce::var writeAlternativeMix (const AlternativeMix& mix)
    {
        return ObjectBuilder()
            .set ("id", mix.id)
            .set ("name", mix.name)
            .set ("shortCode", mix.shortCode)
            .set ("stems", textList (mix.stemIds))
            .toVar();
    }

    juce::var writeSchema (const StemSchema& schema)
    {
        juce::Array<juce::var> stems;

        for (const auto& stem : schema.stems)
            stems.add (writeStem (stem));

        juce::Array<juce::var> mixes;

        for (const auto& mix : schema.alternativeMixes)
            mixes.add (writeAlternativeMix (mix));

        return ObjectBuilder()
            .set ("matchPlurals", schema.matchPlurals)
            .set ("publisher", schema.publisher)
            .set ("name", schema.name)
            .set ("description", schema.description)
            .set ("stems", stems)
            .set ("submixes", mixes)
            .toVar();
    }
} // namespace

juce::var writeKeywordRule (const KeywordRule& rule)
{
    return ObjectBuilder()
        .set ("pattern", rule.pattern)
        .set ("mode", matchModeToString (rule.mode))
        .set ("priority", rule.priority)
        .set ("note", rule.note)
        .set ("excludes", textList (rule.excludes))
        .toVar();
}

juce::var writeStem (const Stem& stem)
{
    ObjectBuilder b;
    b.set ("id", stem.id)
        .set ("index", stem.index)
        .set ("displayName", stem.displayName)
        .set ("shortCode", stem.shortCode)
        .set ("fileNameToken", stem.fileNameToken)
        .set ("colour", colourToText (stem.colour))
        .set ("required", stem.required)
        .set ("priority", stem.priority)
        .set ("namingTemplate", stem.namingTemplate);

    if (stem.hasEmptyPolicy)
        b.set ("emptyPolicy", emptyStemPolicyToString (stem.emptyPolicy));

    juce::Array<juce::var> rules;

    for (const auto& rule : stem.rules)
        rules.add (writeKeywordRule (rule));

    b.set ("rules", rules).set ("excludeKeywords", textList (stem.excludeKeywords));
    return b.toVar();
}

juce::var writeOutputFormat (const OutputFormat& format)
{
    return ObjectBuilder()
        .set ("enabled", format.enabled)
        .set ("codec", codecToString (format.codec))
        .set ("sampleFormat", sampleFormatToString (format.sampleFormat))
        .set ("sampleRate", format.sampleRate)
        .set ("mp3Bitrate", format.mp3Bitrate)
        .set ("dither", ditherKindToString (format.dither))
        .set ("subFolder", format.subFolder)
        .toVar();
}

juce::var writeExportSettings (const ExportSettings& settings)
{
    juce::Array<juce::var> formats;

    for (const auto& format : settings.formats)
        formats.add (writeOutputFormat (format));

    const auto& h = settings.headroom;
    const auto headroom = ObjectBuilder()
                              .set ("targetDb", h.targetDb)
                              .set ("peakMode", peakModeToString (h.peakMode))
                              .set ("gainMode", gainModeToString (h.gainMode))
                              .set ("truePeakOversampling", h.truePeakOversampling)
                              .set ("submixesReachTargetIndependently", h.submixesReachTargetIndependently)
                              .set ("verifyLevelAfterGain", h.verifyLevelAfterGain)
                              .toVar();

    const auto& n = settings.naming;
    const auto naming = ObjectBuilder()
                            .set ("stemTemplate", n.stemTemplate)
                            .set ("mixTemplate", n.mixTemplate)
                            .set ("indexPadding", n.indexPadding)
                            .set ("numbering", numberingModeToString (n.numbering))
                            .set ("numberMixesFirst", n.numberMixesFirst)
                            .set ("collisionPolicy", collisionPolicyToString (n.collisionPolicy))
                            .set ("replacementChar", n.replacementChar)
                            .set ("separator", n.separator)
                            .toVar();

    const auto& bt = settings.batch;
    const auto batch = ObjectBuilder()
                           .set ("folderNameTarget", folderNameTargetToString (bt.folderNameTarget))
                           .set ("gainMode", batchGainModeToString (bt.gainMode))
                           .set ("mirrorFolderStructure", bt.mirrorFolderStructure)
                           .set ("folderPerCue", bt.folderPerCue)
                           .toVar();

    const auto& m = settings.fullMix;
    const auto fullMix = ObjectBuilder()
                             .set ("export", m.exportMix)
                             .set ("exportSubmixes", m.exportSubmixes)
                             .set ("name", m.name)
                             .set ("code", m.code)
                             .set ("index", m.index)
                             .toVar();

    const auto& g = settings.silenceGate;
    const auto gate = ObjectBuilder()
                          .set ("enabled", g.enabled)
                          .set ("thresholdDb", g.thresholdDb)
                          .set ("minimumSeconds", g.minimumSeconds)
                          .set ("fadeOutSeconds", g.fadeOutSeconds)
                          .set ("fadeInSeconds", g.fadeInSeconds)
                          .set ("floorDb", g.floorDb)
                          .toVar();

    // Older readers expect this object; no setting feeds it.
    const auto reconstruction = ObjectBuilder().set ("enabled", true).set ("toleranceDb", -100.0).toVar();

    return ObjectBuilder()
        .set ("masterSampleRate", settings.masterSampleRate)
        .set ("formats", formats)
        .set ("headroom", headroom)
        .set ("naming", naming)
        .set ("batch", batch)
        .set ("emptyStemPolicy", emptyStemPolicyToString (settings.emptyStemPolicy))
        .set ("fullMix", fullMix)
        .set ("silenceGate", gate)
        .set ("stemsSubFolder", m.stemsSubFolder)
        .set ("requireDecisionOnUnassigned", settings.requireDecisionOnUnassigned)
        .set ("reconstructionCheck", reconstruction)
        .toVar();
}

juce::var writePresetDocument (const Preset& preset)
{
    const auto header = ObjectBuilder()
                            .set ("schemaVersion", currentPresetSchemaVersion)
                            .set ("application", "Brackenfold")
                            .toVar();

    const auto body = ObjectBuilder()
                          .set ("id", preset.id)
                          .set ("name", preset.name)
                          .set ("description", preset.description)
                          .set ("kind", presetKindToString (preset.kind))
                          .set ("basedOnPresetId", preset.basedOnPresetId)
                          .set ("basedOnPresetName", preset.basedOnPresetName)
                          .set ("isBuiltIn", preset.isBuiltIn)
                          .set ("modifiedUtcMs", (juce::int64) preset.modifiedUtcMs)
                          .set ("metadata", writeMetadata (preset.metadata))
                          .set ("schema", writeSchema (preset.schema))
                          .set ("export", writeExportSettings (preset.exportSettings))
                          .toVar();

    return ObjectBuilder().set ("dunmoor", header).set ("preset", body).toVar();
}

juce::String writePreset (const Preset& preset)
{
    return printJsonDocument (writePresetDocument (preset));
}

namespace
{
    /** The checks of checkPresetIsStorable on an already printed document. */
    bool checkDocument (const Preset& preset, const juce::String& text, juce::String& error)
    {
        const juce::String heading ("The preset is not valid and was not saved:\n");

        const auto validation = validatePreset (preset);

        if (! validation.errors.isEmpty())
        {
            error = heading + validation.toText();
            return false;
        }

        if ((juce::int64) text.getNumBytesAsUTF8() > maxPresetFileBytes)
        {
            error = heading + "ERROR   The preset file would be larger than the "
                  + juce::String (maxPresetFileBytes / 1024) + " kB limit.";
            return false;
        }

        // Whatever the reader would refuse must not reach the disk: such a file would drop out
        // of the library at the next scan, and projects embedding the preset would no longer open.
        const auto readBack = readPreset (text);

        if (! readBack.ok)
        {
            error = heading + readBack.messages.toText();
            return false;
        }

        return true;
    }
} // namespace

bool checkPresetIsStorable (const Preset& preset, juce::String& error)
{
    try
    {
        return checkDocument (preset, writePreset (preset), error);
    }
    catch (const std::bad_alloc&)
    {
        error = "There is not enough memory to check the preset.";
        return false;
    }
}

bool savePreset (const Preset& preset, const juce::File& file, juce::String& error)
{
    try
    {
        const auto text = writePreset (preset);

        if (! checkDocument (preset, text, error))
            return false;

        return writeTextFileAtomically (file, text, error);
    }
    catch (const std::bad_alloc&)
    {
        error = "There is not enough memory to save the preset.";
        return false;
    }
}

} // namespace dunmoor
