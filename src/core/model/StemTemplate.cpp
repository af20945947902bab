#include "StemTemplate.h"

#include "BuiltInPresets.h"

namespace dunmoor
{

Stem StemTemplate::createStem() const
{
    std::vector<KeywordRule> rules;

    for (const auto& keyword : keywords)
        rules.push_back (makeKeywordRule (keyword, 0));

    return makeStem (displayName, shortCode, colourARGB, false, 0, std::move (rules), excludeKeywords);
}

juce::String StemTemplate::describeKeywords() const
{
    juce::String text;
    text << keywords.size() << " keyword" << (keywords.size() == 1 ? "" : "s");

    if (! excludeKeywords.isEmpty())
        text << ", " << excludeKeywords.size() << " exclusion" << (excludeKeywords.size() == 1 ? "" : "s");

    return text;
}

StemTemplate makeTemplate (const juce::String& group,
                           const juce::String& displayName,
                           const juce::String& shortCode,
                           uint32_t colourARGB,
                           const juce::StringArray& keywords,
                           const juce::StringArray& excludeKeywords)
{
    StemTemplate t;
    t.group = group;
    t.displayName = displayName;
    t.shortCode = shortCode;
    t.colourARGB = colourARGB;
    t.keywords = keywords;
    t.excludeKeywords = excludeKeywords;
    return t;
}

std::vector<StemTemplate> buildTemplateCatalogue()
{
    std::vector<StemTemplate> catalogue;

    for (const auto& stem : makeDefaultSchema().stems)
    {
        juce::StringArray keywords;

        for (const auto& rule : stem.rules)
            keywords.addIfNotAlreadyThere (rule.pattern);

        catalogue.push_back (makeTemplate ("Default schema", stem.displayName, stem.shortCode, stem.colour,
                                           keywords, stem.excludeKeywords));
    }

    const juce::String combined ("Combined"), specialised ("Specialised");

    const auto add = [&catalogue] (const juce::String& group, const char* name, const char* code, uint32_t colour,
                                   std::initializer_list<const char*> keywords,
                                   std::initializer_list<const char*> exclusions)
    {
        juce::StringArray k, x;

        for (auto* word : keywords)
            k.add (word);

        for (auto* word : exclusions)
            x.add (word);

        catalogue.push_back (makeTemplate (group, name, code, colour, k, x));
    };

    add (combined, "Percussion", "PRC", 0xffe0a24a,
         { "perc", "percussion", "shaker", "tambourine", "triangle", "woodblock", "claves", "cabasa", "guiro", "bongo",
           "conga", "djembe", "tabla", "taiko", "timpani", "surdo", "frame drum", "bells", "bass drum" },
         {});
    add (combined, "Keys and Synths", "KEY", 0xff8e7dd6,
         { "piano", "keys", "keyboard", "rhodes", "wurlitzer", "wurli", "organ", "celesta", "harpsichord", "synth",
           "synths", "pad", "arp", "lead", "moog", "juno", "prophet", "wavetable" },
         { "synth bass", "bass synth" });
    add (combined, "Orchestra", "ORC", 0xff8fbf6b,
         { "orchestra", "orch", "strings", "violin", "viola", "cello", "brass", "horn", "trumpet", "trombone", "tuba",
           "woodwinds", "flute", "clarinet", "oboe", "bassoon", "timpani", "harp" },
         {});
    add (combined, "Brass and Winds", "BRW", 0xffd9b23c,
         { "brass", "horn", "horns", "trumpet", "trombone", "tuba", "flugelhorn", "woodwinds", "flute", "piccolo",
           "clarinet", "oboe", "bassoon", "sax" },
         {});
    add (combined, "Rhythm Section", "RHY", 0xffd4623f,
         { "drums", "kick", "snare", "hihat", "bass", "bassline", "rhythm", "groove" },
         {});
    add (specialised, "Lead Vocal", "LVX", 0xffe0607a,
         { "lead vocal", "lead vox", "main vocal", "solo voice", "singer" },
         { "backing", "bvs", "choir" });
    add (specialised, "Backing Vocals", "BVX", 0xffd46a9f,
         { "backing vocal", "backing vox", "bvs", "harmonies", "doubles", "adlib", "ad lib" },
         {});
    add (specialised, "Ambience", "AMB", 0xff6f7f8c,
         { "ambience", "ambient", "atmos", "atmosphere", "room", "air", "bed", "soundscape", "texture" },
         {});
    add (specialised, "Foley", "FOL", 0xff7fa3b5,
         { "foley", "footsteps", "cloth", "props", "handling", "movement" },
         {});
    add (specialised, "Risers and Transitions", "TRN", 0xff5fb59a,
         { "riser", "downer", "whoosh", "sweep", "transition", "uplifter", "reverse", "swell" },
         {});
    add (specialised, "Impacts and Hits", "IMP", 0xffc77b33,
         { "impact", "hit", "boom", "slam", "braam", "stinger", "sub drop" },
         {});
    add (specialised, "Ethnic and World", "ETH", 0xffa8c64f,
         { "duduk", "oud", "sitar", "shakuhachi", "erhu", "kalimba", "hang", "bouzouki", "ney", "dhol", "tabla", "koto" },
         {});
    add (specialised, "Solo Instrument", "SOL", 0xff5aa9c7,
         { "solo", "soloist", "feature", "lead instrument" },
         {});
    add (specialised, "Click and Reference", "REF", 0xff62686d,
         { "click", "metronome", "reference", "guide", "tempo" },
         {});

    catalogue.push_back (makeTemplate ("Blank", "New stem", "NEW", 0xff8a8f94, {}, {}));
    return catalogue;
}

const std::vector<StemTemplate>& getBuiltInTemplates()
{
    static const std::vector<StemTemplate> catalogue = buildTemplateCatalogue();
    return catalogue;
}

juce::StringArray getBuiltInTemplateGroups()
{
    juce::StringArray groups;

    for (const auto& t : getBuiltInTemplates())
        groups.addIfNotAlreadyThere (t.group);

    return groups;
}

} // namespace dunmoor
