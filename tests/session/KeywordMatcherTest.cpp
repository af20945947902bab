#include <gtest/gtest.h>

#include <algorithm>

#include "ReferenceMatching.h"
#include "core/session/KeywordMatcher.h"

namespace dunmoor
{
namespace
{
    juce::String utf8 (const char* text) { return juce::String::fromUTF8 (text); }

    KeywordRule rule (const char* pattern, MatchMode mode = MatchMode::token, int priority = 0, juce::StringArray excludes = {})
    {
        KeywordRule r;
        r.pattern = utf8 (pattern);
        r.mode = mode;
        r.priority = priority;
        r.excludes = std::move (excludes);
        return r;
    }

    Stem stem (const char* name, int priority, std::vector<KeywordRule> rules, juce::StringArray excludes = {})
    {
        Stem s;
        s.id = juce::String ("id-") + name;
        s.displayName = name;
        s.priority = priority;
        s.rules = std::move (rules);
        s.excludeKeywords = std::move (excludes);
        return s;
    }

    StemSchema schemaOf (std::vector<Stem> stems, bool plurals = true)
    {
        StemSchema schema;
        schema.matchPlurals = plurals;
        schema.stems = std::move (stems);
        for (size_t i = 0; i < schema.stems.size(); ++i)
            schema.stems[i].index = (int) i + 1;
        return schema;
    }

    MatchResult match (const StemSchema& schema, const char* fileName, MatchOptions options = {})
    {
        return matchFileName (options, schema, utf8 (fileName));
    }

    juce::StringArray names (const MatchResult& result)
    {
        juce::StringArray list;
        for (const auto& candidate : result.candidates)
            list.add (candidate.stemName);
        return list;
    }

    //==============================================================================
    TEST (KeywordMatcher, BaseNameNormalisationAndTokens)
    {
        struct Case
        {
            const char* fileName;
            const char* baseName;
            const char* normalised;
        };
        const Case cases[] = {
            { "LeadVox_take2.wav", "LeadVox_take2", "lead vox take 2" },
            { "BGV-Stack03.aif", "BGV-Stack03", "bgv stack 03" },
            { "FXBus.wav", "FXBus", "fxbus" },
            { "aBC.wav", "aBC", "abc" },
            { "aBc.wav", "aBc", "a bc" },
            { "ViolinsA.wav", "ViolinsA", "violins a" },
            { "Piano2L.flac", "Piano2L", "piano 2 l" },
            { "Strings (Hi).wav", "Strings (Hi)", "strings hi" },
            { "Perc.final.take", "Perc.final", "perc final" },
            { "Mix.backup1", "Mix.backup1", "mix backup 1" },
            { ".hidden", ".hidden", "hidden" },
            { "name.", "name.", "name" },
            { "name.w-v", "name.w-v", "name w v" },
            { "__Kick__  --  In__.WAV", "__Kick__  --  In__", "kick in" },
            { "XMLParser.wav", "XMLParser", "xmlparser" },
            { "ParserXML.wav", "ParserXML", "parserxml" },
            { "snareTOP.wav", "snareTOP", "snaretop" },
            { "Kick\tIn[1].wav", "Kick\tIn[1]", "kick in 1" },
            { "12strGtr.wav", "12strGtr", "12 str gtr" },
            { "!!!.wav", "!!!", "" },
            // Non-ASCII letters are word characters, lower-cased by the locale, never split from digits.
            { "ÉCLAT_Größe.wav", "ÉCLAT_Größe", "éclat größe" },
            { "Ω3_Tür2.wav", "Ω3_Tür2", "ω3 tür 2" },
            { "ÜberKick.wav", "ÜberKick", "über kick" },
            { "Chœur.wav", "Chœur", "chœur" },
            { "Ré.wav", "Ré", "ré" },
        };

        for (const auto& c : cases)
        {
            const auto analysis = analyseFileName (utf8 (c.fileName));
            EXPECT_EQ (analysis.fileName, utf8 (c.fileName));
            EXPECT_EQ (analysis.baseName, utf8 (c.baseName)) << c.fileName;
            EXPECT_EQ (analysis.normalised, utf8 (c.normalised)) << c.fileName;
            EXPECT_EQ (analysis.tokens.joinIntoString ("|"), utf8 (c.normalised).replaceCharacter (' ', '|')) << c.fileName;
        }

        EXPECT_TRUE (analyseFileName ("!!!.wav").tokens.isEmpty());
        EXPECT_EQ (tokenizeKeyword ("  Lead-Vox  ").joinIntoString ("|"), "lead|vox");
        EXPECT_TRUE (tokenizeKeyword (" _-. ").isEmpty());
    }

    TEST (KeywordMatcher, PluralVariants)
    {
        struct Case
        {
            const char* word;
            const char* forms;
        };
        const Case cases[] = {
            { "fx", "fx" },
            { "bass", "bass|basses" },
            { "keys", "keys|keyses|key" },
            { "body", "body|bodys|bodyes|bodies" },
            { "boy", "boy|boys|boyes" },
            { "strings", "strings|stringses|string" },
            { "bodies", "bodies|bodieses|body|bodi|bodie" },
            { "  Horn ", "horn|horns|hornes" },
            { "   ", "" },
        };

        for (const auto& c : cases)
            EXPECT_EQ (pluralVariants (c.word).joinIntoString ("|"), c.forms) << c.word;
    }

    TEST (KeywordMatcher, BoundedEditDistance)
    {
        struct Case
        {
            const char* a;
            const char* b;
            int bound;
            int distance;
        };
        const Case cases[] = {
            { "violin", "violin", 1, 0 },
            { "violin", "violni", 1, 2 }, // a swap costs two edits: over the bound
            { "violin", "violni", 2, 2 },
            { "violin", "violins", 1, 1 },
            { "violin", "viola", 1, 2 },
            { "abc", "abcdef", 2, 3 }, // lengths differ by more than the bound
            { "", "abc", 5, 3 },
            { "abc", "", 5, 3 },
            { "kitten", "sitting", 5, 3 },
            { "größe", "grösse", 2, 2 }, // code points, not bytes
        };

        for (const auto& c : cases)
            EXPECT_EQ (boundedEditDistance (utf8 (c.a), utf8 (c.b), c.bound), c.distance) << c.a << " / " << c.b;
    }

    TEST (KeywordMatcher, TokenRulesAndPlurals)
    {
        const auto withPlurals = schemaOf ({ stem ("Strings", 0, { rule ("string") }) });
        const auto withoutPlurals = schemaOf ({ stem ("Strings", 0, { rule ("string") }) }, false);

        EXPECT_EQ (match (withPlurals, "Strings.wav").stemName, "Strings");
        EXPECT_EQ (match (withoutPlurals, "Strings.wav").confidence, Confidence::unassigned);
        EXPECT_EQ (match (withoutPlurals, "String_01.wav").stemName, "Strings");

        const auto plural = schemaOf ({ stem ("Strings", 0, { rule ("strings") }) });
        EXPECT_EQ (match (plural, "String_01.wav").stemName, "Strings");
        EXPECT_EQ (match (plural, "Stringy.wav").confidence, Confidence::unassigned); // tokens only, never substrings

        const auto fx = schemaOf ({ stem ("FX", 0, { rule ("fx") }) });
        EXPECT_EQ (match (fx, "FX_Rise.wav").stemName, "FX");
        EXPECT_EQ (match (fx, "FXs_Rise.wav").confidence, Confidence::unassigned);
        EXPECT_EQ (match (fx, "FXes.wav").confidence, Confidence::unassigned);

        // Plurals of the last word of a phrase only.
        const auto phrase = schemaOf ({ stem ("Vocals", 0, { rule ("backing vocal", MatchMode::phrase) }) });
        EXPECT_EQ (match (phrase, "Backing_Vocals.wav").stemName, "Vocals");
        EXPECT_EQ (match (phrase, "Backings_Vocal.wav").confidence, Confidence::unassigned);
    }

    TEST (KeywordMatcher, PhraseAndWholeNameRules)
    {
        const auto phrase = schemaOf ({ stem ("Lead", 0, { rule ("lead vox", MatchMode::phrase) }) });
        const auto exact = schemaOf ({ stem ("Lead", 0, { rule ("Lead-Vox", MatchMode::exact) }) });

        EXPECT_EQ (match (phrase, "LeadVox.wav").stemName, "Lead");
        EXPECT_EQ (match (phrase, "LeadVox2.wav").stemName, "Lead");
        EXPECT_EQ (match (phrase, "Vox_Lead.wav").confidence, Confidence::unassigned);     // order matters
        EXPECT_EQ (match (phrase, "Lead_Dry_Vox.wav").confidence, Confidence::unassigned); // and adjacency

        const auto whole = match (exact, "LeadVox.wav");
        EXPECT_EQ (whole.stemName, "Lead");
        EXPECT_TRUE (whole.candidates[0].hasWholeName);
        EXPECT_EQ (whole.candidates[0].hits[0].hitKind, MatchMode::exact);
        EXPECT_EQ (match (exact, "LeadVox2.wav").confidence, Confidence::unassigned);
        EXPECT_EQ (match (exact, "LeadVoxes.wav").confidence, Confidence::unassigned); // no plurals for whole names

        // A one-word phrase hits like a token but counts as a phrase: it beats two token hits.
        const auto schema = schemaOf ({ stem ("Kit", 0, { rule ("kick"), rule ("in") }),
                                        stem ("Kick", 0, { rule ("kick", MatchMode::phrase) }) });
        const auto result = match (schema, "Kick In.wav");
        EXPECT_EQ (result.stemName, "Kick");
        EXPECT_EQ (result.confidence, Confidence::confident);
        EXPECT_EQ (result.explanation, "Matched Kick on 'kick' (phrase); ahead of Kit (kick, in).");

        // A token rule of two words is tested as a phrase and counts as one.
        const auto tokenPhrase = schemaOf ({ stem ("Lead Vocal", 0, { rule ("lead vox") }),
                                             stem ("Backing Vocals", 0, { rule ("vox") }) });
        const auto voxResult = match (tokenPhrase, "LeadVox.wav");
        EXPECT_EQ (voxResult.confidence, Confidence::confident);
        EXPECT_TRUE (voxResult.candidates[0].hasPhrase);
        EXPECT_EQ (voxResult.candidates[0].hits[0].hitKind, MatchMode::phrase);
    }

    TEST (KeywordMatcher, FuzzyRules)
    {
        const auto schema = schemaOf ({ stem ("Strings", 0, { rule ("violin", MatchMode::fuzzy) }) });

        MatchOptions off;
        EXPECT_EQ (match (schema, "Violin.wav", off).confidence, Confidence::unassigned);

        MatchOptions one;
        one.fuzzyEnabled = true;
        MatchOptions two = one;
        two.maxDistance = 2;

        EXPECT_EQ (match (schema, "Violni.wav", one).confidence, Confidence::unassigned);
        const auto result = match (schema, "Violni.wav", two);
        EXPECT_EQ (result.stemName, "Strings");
        EXPECT_EQ (result.explanation, "Matched Strings on 'violin' (approximate).");
        EXPECT_EQ (result.candidates[0].hits[0].hitKind, MatchMode::fuzzy);

        // Name tokens and keywords shorter than the minimum length take no part.
        const auto shortKeyword = schemaOf ({ stem ("Viola", 0, { rule ("vla", MatchMode::fuzzy) }) });
        EXPECT_EQ (match (shortKeyword, "vla.wav", two).confidence, Confidence::unassigned);
        auto longMinimum = two;
        longMinimum.minLength = 7;
        EXPECT_EQ (match (schema, "Violni.wav", longMinimum).confidence, Confidence::unassigned);
        // Two-word fuzzy patterns never hit.
        const auto twoWords = schemaOf ({ stem ("Strings", 0, { rule ("violin solo", MatchMode::fuzzy) }) });
        EXPECT_EQ (match (twoWords, "Violin Solo.wav", two).confidence, Confidence::unassigned);
    }

    TEST (KeywordMatcher, Exclusions)
    {
        const auto schema = schemaOf ({
            stem ("Drums", 10, { rule ("drum"), rule ("kick") }, { "", "bass drums", "taiko" }),
            stem ("Bass", 10, { rule ("bass", MatchMode::token, 0, { "  ", "drum" }) }),
            stem ("Percussion", 10, { rule ("bass drum") }),
        });

        // The stem-wide exclusion removes the stem although its rules hit, and names the first entry that hit
        // (as written, and through its plural forms).
        const auto result = match (schema, "Bass_Drum_Kick.wav");
        EXPECT_EQ (names (result).joinIntoString ("|"), "Percussion");
        EXPECT_EQ (result.exclusionNotes, juce::StringArray ("Drums (excluded by 'bass drums')"));
        EXPECT_EQ (result.confidence, Confidence::confident);

        // A rule's own exclusion silences only that rule, without a note.
        const auto silenced = match (schema, "Bass Drum.wav");
        EXPECT_EQ (names (silenced).joinIntoString ("|"), "Percussion");
        EXPECT_EQ (silenced.exclusionNotes.size(), 1);

        const auto taiko = match (schema, "Taiko_Kick_Bass.wav");
        EXPECT_EQ (taiko.exclusionNotes, juce::StringArray ("Drums (excluded by 'taiko')"));
        EXPECT_EQ (names (taiko).joinIntoString ("|"), "Bass");

        // An exclusion that hits while no rule of the stem hits still leaves its note.
        const auto noteOnly = match (schema, "Taiko.wav");
        EXPECT_EQ (noteOnly.confidence, Confidence::unassigned);
        EXPECT_EQ (noteOnly.exclusionNotes, juce::StringArray ("Drums (excluded by 'taiko')"));

        // A phrase exclusion reaches the plural of its last word only when plurals count.
        for (const bool plurals : { true, false })
        {
            const auto synths = schemaOf ({ stem ("Synths", 0, { rule ("synth") }, { "pad", "synth bass" }) }, plurals);
            const auto basses = match (synths, "Synth-Basses.wav");
            EXPECT_EQ (basses.exclusionNotes, plurals ? juce::StringArray ("Synths (excluded by 'synth bass')") : juce::StringArray())
                << "plurals " << (int) plurals;
            EXPECT_EQ (basses.stemName, plurals ? "" : "Synths");
        }
    }

    TEST (KeywordMatcher, RankingOrder)
    {
        auto candidate = [] (const char* name, bool whole, bool phrase, int hits, int rulePriority, int stemPriority)
        {
            MatchCandidate c;
            c.stemName = name;
            c.hasWholeName = whole;
            c.hasPhrase = phrase;
            c.hitCount = hits;
            c.bestRulePriority = rulePriority;
            c.stemPriority = stemPriority;
            return c;
        };

        // Each entry ranks before the next; the last three differ only by name.
        const std::vector<MatchCandidate> ranked = {
            candidate ("z", true, false, 1, 0, 0),
            candidate ("z", false, true, 9, 9, 9),
            candidate ("z", false, true, 1, 0, 0),
            candidate ("z", false, false, 3, 0, 0),
            candidate ("z", false, false, 2, 5, 0),
            candidate ("z", false, false, 2, 4, 100),
            candidate ("b", false, false, 2, 4, 1),
            candidate ("C", false, false, 2, 4, 1),
            candidate ("d", false, false, 2, 4, 1),
        };

        for (size_t i = 0; i + 1 < ranked.size(); ++i)
        {
            EXPECT_TRUE (compareCandidates (ranked[i], ranked[i + 1])) << i;
            EXPECT_FALSE (compareCandidates (ranked[i + 1], ranked[i])) << i;
            EXPECT_EQ (isEquallyStrong (ranked[i], ranked[i + 1]), i >= 6) << i;
        }

        // Negative rule priorities rank like 0; a hit rule priority outranks a higher stem priority.
        const auto schema = schemaOf ({ stem ("Low", 0, { rule ("tone", MatchMode::token, -5) }),
                                        stem ("Zero", 0, { rule ("tone") }),
                                        stem ("High", 50, { rule ("hit") }),
                                        stem ("Ruled", 0, { rule ("hit", MatchMode::token, 3) }) });
        const auto tie = match (schema, "Tone.wav");
        EXPECT_EQ (tie.confidence, Confidence::ambiguous);
        EXPECT_EQ (tie.candidates[0].bestRulePriority, 0);
        EXPECT_EQ (tie.candidates[0].hits[0].priority, -5);

        const auto ruled = match (schema, "Hit.wav");
        EXPECT_EQ (ruled.stemName, "Ruled");
        EXPECT_EQ (ruled.confidence, Confidence::review);
    }

    TEST (KeywordMatcher, DecisionsAndExplanations)
    {
        const auto empty = match (StemSchema(), "Kick.wav");
        EXPECT_EQ (empty.confidence, Confidence::unassigned);
        EXPECT_TRUE (empty.stemId.isEmpty());
        EXPECT_TRUE (empty.stemName.isEmpty());
        EXPECT_TRUE (empty.candidates.empty());
        EXPECT_TRUE (empty.matchedKeywords.isEmpty());
        EXPECT_EQ (empty.explanation, "No keyword from the schema appears in this file name.");

        // Blank patterns and unknown modes contribute nothing.
        const auto blank = schemaOf ({ stem ("Odd", 0, { rule ("  "), rule ("-_-"), rule ("kick", (MatchMode) 17) }) });
        EXPECT_EQ (match (blank, "Kick.wav").explanation, "No keyword from the schema appears in this file name.");

        const auto strings = schemaOf ({ stem ("Strings", 0, { rule ("violin") }) });
        const auto only = match (strings, "Violin_01.wav");
        EXPECT_EQ (only.stemId, "id-Strings");
        EXPECT_EQ (only.confidence, Confidence::confident);
        EXPECT_EQ (only.explanation, "Matched Strings on 'violin'.");

        const auto vocals = schemaOf ({ stem ("Backing Vocals", 0, { rule ("vox") }),
                                        stem ("Lead Vocal", 0, { rule ("lead vox", MatchMode::phrase) }) });
        EXPECT_EQ (match (vocals, "LeadVox.wav").explanation,
                   "Matched Lead Vocal on 'lead vox' (phrase); ahead of Backing Vocals (vox).");

        const auto keys = schemaOf ({ stem ("Piano", 10, { rule ("piano") }), stem ("Keys", 0, { rule ("keys") }) });
        const auto review = match (keys, "Piano_Keys.wav");
        EXPECT_EQ (review.stemName, "Piano");
        EXPECT_EQ (review.confidence, Confidence::review);
        EXPECT_EQ (review.explanation, "Matched Piano on 'piano'; ahead of Keys (keys). Only one keyword matched "
                                       "while another stem also matched, so this is worth a check.");

        const auto equal = schemaOf ({ stem ("Piano", 0, { rule ("piano") }), stem ("Keys", 0, { rule ("keys") }), stem ("Organ", 0, { rule ("keys", MatchMode::token, 0, { "piano" }) }) });
        const auto ambiguous = match (equal, "Piano_Keys.wav");
        EXPECT_EQ (ambiguous.confidence, Confidence::ambiguous);
        EXPECT_TRUE (ambiguous.stemId.isEmpty());
        EXPECT_TRUE (ambiguous.stemName.isEmpty());
        EXPECT_EQ (ambiguous.matchedKeywords, juce::StringArray ("keys"));
        EXPECT_EQ (ambiguous.explanation, "Equally strong match for Keys on keys, Piano on piano. Brackenfold will not choose for you.");

        // Three equally strong stems are all named; a weaker fourth is not.
        const auto three = schemaOf ({ stem ("c", 0, { rule ("hit") }), stem ("A", 0, { rule ("hit") }), stem ("b", 0, { rule ("hit") }), stem ("D", -1, { rule ("hit") }) });
        EXPECT_EQ (match (three, "hit.wav").explanation, "Equally strong match for A on hit, b on hit, c on hit. Brackenfold will not choose for you.");

        // One word credits a stem once, however many of its rules it hits: a singular and a
        // plural rule once counted twice and outweighed another stem's single word. Every hit is
        // still listed, and a tie names each stem's keywords.
        struct Credit
        {
            const char* fileName;
            const char* stemName; // the stem whose hit count is checked
            int hitCount;
            const char* explanation;
        };

        const auto twice = schemaOf ({ stem ("Synths", 0, { rule ("synth"), rule ("synths"), rule ("synth") }),
                                       stem ("Pulses", 0, { rule ("ostinato") }),
                                       stem ("Leads", 0, { rule ("lead"), rule ("lead synth", MatchMode::phrase) }) });
        const Credit credits[] = {
            { "Ostinato Synth.wav", "Synths", 1,
              "Equally strong match for Pulses on ostinato, Synths on synth and synths. Brackenfold will not choose for you." },
            // Two words, each crediting the stem once, outweigh one.
            { "Ostinato Synth_Synths.wav", "Synths", 2, "Matched Synths on 'synth', 'synths', 'synth'; ahead of Pulses (ostinato)." },
            // A phrase and a word inside it are two hits on two words.
            { "Lead Synth.wav", "Leads", 2, "Matched Leads on 'lead', 'lead synth' (phrase); ahead of Synths (synth, synths)." },
        };

        for (const auto& c : credits)
        {
            const auto result = match (twice, c.fileName);
            EXPECT_EQ (result.explanation, c.explanation) << c.fileName;

            const auto checked = std::find_if (result.candidates.begin(), result.candidates.end(), [&] (const MatchCandidate& m)
                                               { return m.stemName == c.stemName; });
            ASSERT_NE (checked, result.candidates.end()) << c.fileName;
            EXPECT_EQ (checked->hitCount, c.hitCount) << c.fileName;
        }

        // Keywords are reported as written, the whole-name form included.
        const auto written = schemaOf ({ stem ("Lead", 0, { rule ("Lead-Vox", MatchMode::exact), rule ("VOX") }) });
        const auto writtenResult = match (written, "lead vox.wav");
        EXPECT_EQ (writtenResult.explanation, "Matched Lead on 'Lead-Vox' (whole name), 'VOX'.");
        EXPECT_EQ (writtenResult.matchedKeywords, juce::StringArray ("Lead-Vox", "VOX"));
    }

    //==============================================================================
    // A literal, unprepared scorer built from the plain tests, to hold the prepared matcher to it.
    using namespace dunmoor::testing;

    bool phraseAt (const FileNameAnalysis& analysis, const juce::StringArray& phrase, int start)
    {
        for (int i = 0; i < phrase.size(); ++i)
            if (start + i >= analysis.tokens.size() || analysis.tokens[start + i] != phrase[i])
                return false;
        return true;
    }

    // The positions of the name's words that a hit lies on, found word by word.
    std::vector<int> wordsOfHit (const MatchOptions& options, const FileNameAnalysis& analysis, const juce::StringArray& tokens, MatchMode mode, bool plurals)
    {
        std::vector<int> words;

        if (mode == MatchMode::exact)
        {
            for (int i = 0; i < analysis.tokens.size(); ++i)
                words.push_back (i);
        }
        else if (mode == MatchMode::fuzzy)
        {
            for (int i = 0; i < analysis.tokens.size(); ++i)
                if (analysis.tokens[i].length() >= options.minLength && boundedEditDistance (analysis.tokens[i], tokens[0], options.maxDistance) <= options.maxDistance)
                    words.push_back (i);
        }
        else
        {
            auto phrase = tokens;
            const auto lastForms = plurals ? pluralVariants (tokens[tokens.size() - 1]) : juce::StringArray (tokens[tokens.size() - 1]);

            for (const auto& form : lastForms)
            {
                phrase.set (phrase.size() - 1, form);
                for (int start = 0; start < analysis.tokens.size(); ++start)
                    if (phraseAt (analysis, phrase, start))
                        for (int i = 0; i < phrase.size(); ++i)
                            words.push_back (start + i);
            }
        }

        return words;
    }

    // The most hits that can each be given a word of their own, by trying every assignment.
    int mostCreditedHits (const std::vector<std::vector<int>>& wordsOfHits, size_t hit, std::vector<int>& taken)
    {
        if (hit == wordsOfHits.size())
            return 0;

        int best = mostCreditedHits (wordsOfHits, hit + 1, taken);

        for (auto word : wordsOfHits[hit])
        {
            if (std::find (taken.begin(), taken.end(), word) != taken.end())
                continue;

            taken.push_back (word);
            best = std::max (best, 1 + mostCreditedHits (wordsOfHits, hit + 1, taken));
            taken.pop_back();
        }

        return best;
    }

    std::vector<MatchCandidate> referenceCandidates (const MatchOptions& options, const StemSchema& schema, const FileNameAnalysis& analysis, juce::StringArray& notes)
    {
        std::vector<MatchCandidate> candidates;

        for (const auto& s : schema.stems)
        {
            juce::String entry;
            if (matchesAnyExclusion (analysis, s.excludeKeywords, schema.matchPlurals, entry))
            {
                notes.add (s.displayName + " (excluded by '" + entry + "')");
                continue;
            }

            MatchCandidate c;
            c.stemId = s.id;
            c.stemName = s.displayName;
            c.stemPriority = s.priority;
            std::vector<std::vector<int>> wordsOfHits;

            for (const auto& r : s.rules)
            {
                const auto tokens = tokenizeKeyword (r.pattern);
                if (r.pattern.trim().isEmpty() || tokens.isEmpty())
                    continue;
                if (matchesAnyExclusion (analysis, r.excludes, schema.matchPlurals, entry))
                    continue;

                auto kind = r.mode;
                bool hit = false;
                switch (r.mode)
                {
                    case MatchMode::token:
                        if (tokens.size() == 1)
                            hit = matchTokenWithPlurals (analysis, tokens[0], schema.matchPlurals);
                        else
                        {
                            hit = matchPhraseWithPlurals (analysis, tokens, schema.matchPlurals);
                            kind = MatchMode::phrase;
                        }
                        break;
                    case MatchMode::exact:
                        hit = analysis.normalised == tokens.joinIntoString (" ");
                        break;
                    case MatchMode::phrase:
                        hit = matchPhraseWithPlurals (analysis, tokens, schema.matchPlurals);
                        break;
                    case MatchMode::fuzzy:
                        if (options.fuzzyEnabled && tokens.size() == 1 && tokens[0].length() >= options.minLength)
                            for (const auto& t : analysis.tokens)
                                hit = hit || (t.length() >= options.minLength && boundedEditDistance (t, tokens[0], options.maxDistance) <= options.maxDistance);
                        break;
                }

                if (! hit)
                    continue;
                wordsOfHits.push_back (wordsOfHit (options, analysis, tokens, r.mode, schema.matchPlurals));
                c.bestRulePriority = std::max (c.bestRulePriority, r.priority);
                c.hasWholeName = c.hasWholeName || kind == MatchMode::exact;
                c.hasPhrase = c.hasPhrase || kind == MatchMode::phrase;
                c.hits.push_back ({ r.pattern, kind, r.priority });
            }

            std::vector<int> taken;
            c.hitCount = mostCreditedHits (wordsOfHits, 0, taken);

            if (! c.hits.empty())
                candidates.push_back (c);
        }

        std::sort (candidates.begin(), candidates.end(), compareCandidates);
        return candidates;
    }

    std::string describe (const std::vector<MatchCandidate>& candidates)
    {
        juce::String text;
        for (const auto& c : candidates)
        {
            text << c.stemId << "[" << (int) c.hasWholeName << (int) c.hasPhrase << " " << c.hitCount << " "
                 << c.bestRulePriority << " " << c.stemPriority << ":";
            for (const auto& h : c.hits)
                text << " " << h.keyword << "/" << (int) h.hitKind << "/" << h.priority;
            text << "] ";
        }
        return text.toStdString();
    }

    TEST (KeywordMatcher, PreparedSchemaGivesTheSameResultsAsPlainTests)
    {
        const char* words[] = { "bass", "basses", "drum", "drums", "body", "bodies", "key", "keys", "lead", "vox", "string", "strings", "violin", "violni", "ss", "fx", "gtr", "glass", "größe", "x" };
        const char* separators[] = { "_", " ", "-", "", ".", "  " };
        const int numWords = (int) std::size (words);

        juce::Random random (20240611);
        auto pick = [&] (int n)
        { return random.nextInt (n); };
        auto phrase = [&] (int maxWords)
        {
            juce::String text;
            const auto count = 1 + pick (maxWords);
            for (int i = 0; i < count; ++i)
            {
                auto word = utf8 (words[pick (numWords)]);
                if (pick (3) == 0)
                    word = word.substring (0, 1).toUpperCase() + word.substring (1);
                text << (i > 0 ? separators[pick ((int) std::size (separators))] : "") << word;
            }
            return text;
        };

        for (int round = 0; round < 40; ++round)
        {
            StemSchema schema;
            schema.matchPlurals = pick (4) != 0;

            for (int s = 0; s < 8; ++s)
            {
                Stem st;
                st.id = "stem-" + juce::String (s);
                st.displayName = "Stem " + juce::String (pick (4));
                st.priority = pick (3);
                for (int e = pick (4) == 0 ? 1 + pick (2) : 0; e > 0; --e)
                    st.excludeKeywords.add (phrase (2));

                for (int r = 1 + pick (6); r > 0; --r)
                {
                    KeywordRule kr;
                    kr.pattern = pick (10) == 0 ? juce::String ("  ") : phrase (2);
                    kr.mode = (MatchMode) pick (4);
                    kr.priority = pick (5) - 1;
                    if (pick (4) == 0)
                        kr.excludes.add (phrase (1));
                    st.rules.push_back (kr);
                }
                schema.stems.push_back (st);
            }

            const KeywordMatcher matcher (schema);
            MatchOptions options;
            options.fuzzyEnabled = pick (2) == 0;
            options.maxDistance = 1 + pick (2);
            options.minLength = 3 + pick (3);

            for (int n = 0; n < 50; ++n)
            {
                const auto fileName = phrase (4) + (pick (2) == 0 ? ".wav" : "");
                const auto analysis = analyseFileName (fileName);

                juce::StringArray notes;
                const auto expected = referenceCandidates (options, schema, analysis, notes);
                const auto actual = matcher.match (options, fileName);

                ASSERT_EQ (describe (actual.candidates), describe (expected)) << fileName;
                ASSERT_EQ (actual.exclusionNotes, notes) << fileName;
                ASSERT_EQ (matchFileName (options, schema, fileName).explanation, actual.explanation) << fileName;
            }
        }
    }

} // namespace
} // namespace dunmoor
