#include "PresetMigrations.h"

#include <cmath>
#include <limits>

#include "core/files/JsonText.h"
#include "core/files/JsonValueReaders.h"
#include "core/model/StemSchema.h"
#include "core/model/Types.h"

namespace dunmoor
{

namespace
{
    using detail::findJsonKey;

    /** A document number as an int: NaN gives 0, values beyond int saturate. */
    int saturatingInt (const juce::var& v)
    {
        if (v.isInt())
            return (int) v;

        const auto d = (double) v;

        if (std::isnan (d))
            return 0;

        if (d >= (double) std::numeric_limits<int>::max())
            return std::numeric_limits<int>::max();

        if (d <= (double) std::numeric_limits<int>::min())
            return std::numeric_limits<int>::min();

        return (int) d;
    }

    /** Moves `from` of `source` into `target` as `to` when present; true when it moved. */
    bool moveKey (juce::DynamicObject& source, const char* from, juce::DynamicObject& target, const char* to)
    {
        if (! source.hasProperty (from))
            return false;

        target.setProperty (to, source.getProperty (from));
        source.removeProperty (from);
        return true;
    }
} // namespace

//==============================================================================
int readSchemaVersion (const juce::var& document)
{
    const auto header = document.getProperty ("dunmoor", {});

    if (isJsonObject (header))
        if (const auto* v = findJsonKey (header, "schemaVersion"); v != nullptr && isJsonNumber (*v))
            return saturatingInt (*v);

    if (const auto* v = findJsonKey (document, "schemaVersion"); v != nullptr && isJsonNumber (*v))
        return saturatingInt (*v);

    return 0;
}

bool migratePresetV1ToV2 (juce::var& document, juce::StringArray& errors)
{
    auto* root = document.getDynamicObject();

    if (root == nullptr)
    {
        errors.add ("Migration 1->2: the 'preset' object is missing.");
        return false;
    }

    juce::DynamicObject::Ptr header (new juce::DynamicObject());
    header->setProperty ("schemaVersion", 2);
    header->setProperty ("application", "Brackenfold");
    root->setProperty ("dunmoor", juce::var (header.get()));
    root->removeProperty ("schemaVersion");

    auto* preset = root->getProperty ("preset").getDynamicObject();

    if (preset == nullptr)
    {
        errors.add ("Migration 1->2: the 'preset' object is missing.");
        return false;
    }

    if (auto* schema = preset->getProperty ("schema").getDynamicObject())
    {
        if (auto* stems = schema->getProperty ("stems").getArray())
        {
            for (auto& entry : *stems)
            {
                auto* stem = entry.getDynamicObject();

                if (stem == nullptr)
                {
                    errors.add ("Migration 1->2: a stem entry is not an object.");
                    return false;
                }

                if (stem->hasProperty ("keywords"))
                {
                    const auto* keywords = stem->getProperty ("keywords").getArray();

                    if (keywords == nullptr)
                    {
                        errors.add ("Migration 1->2: 'keywords' must be an array of strings.");
                        return false;
                    }

                    juce::Array<juce::var> rules;

                    for (const auto& keyword : *keywords)
                    {
                        if (! keyword.isString())
                        {
                            errors.add ("Migration 1->2: 'keywords' must contain only strings.");
                            return false;
                        }

                        juce::DynamicObject::Ptr rule (new juce::DynamicObject());
                        rule->setProperty ("pattern", keyword);
                        rule->setProperty ("mode", matchModeToString (defaultMatchModeFor (keyword.toString())));
                        rule->setProperty ("priority", 0);
                        rules.add (juce::var (rule.get()));
                    }

                    stem->setProperty ("rules", rules);
                    stem->removeProperty ("keywords");
                }

                if (stem->hasProperty ("exclude"))
                {
                    stem->setProperty ("excludeKeywords", stem->getProperty ("exclude"));
                    stem->removeProperty ("exclude");
                }
            }
        }
    }

    if (auto* exportObject = preset->getProperty ("export").getDynamicObject())
    {
        juce::DynamicObject::Ptr headroom (new juce::DynamicObject());
        bool moved = moveKey (*exportObject, "headroomDb", *headroom, "targetDb");
        moved = moveKey (*exportObject, "peakMode", *headroom, "peakMode") || moved;
        moved = moveKey (*exportObject, "gainMode", *headroom, "gainMode") || moved;

        if (moved)
            exportObject->setProperty ("headroom", juce::var (headroom.get()));

        juce::DynamicObject::Ptr fullMix (new juce::DynamicObject());
        moved = moveKey (*exportObject, "exportFullMix", *fullMix, "export");
        moved = moveKey (*exportObject, "fullMixName", *fullMix, "name") || moved;
        moved = moveKey (*exportObject, "fullMixCode", *fullMix, "code") || moved;

        if (moved)
            exportObject->setProperty ("fullMix", juce::var (fullMix.get()));
    }

    return true;
}

bool migratePreset (juce::var& document, int fromVersion, int toVersion, juce::StringArray& errors)
{
    for (int v = fromVersion; v < toVersion; ++v)
    {
        if (v == 1)
        {
            if (! migratePresetV1ToV2 (document, errors))
                return false;
        }
        else if (v == 2)
        {
            // Versions 2 and 3 differ only in the number.
            if (auto* header = document.getProperty ("dunmoor", {}).getDynamicObject())
                header->setProperty ("schemaVersion", 3);
        }
    }

    return true;
}

} // namespace dunmoor
