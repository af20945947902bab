#include <gtest/gtest.h>

#include "PresetTestSupport.h"
#include "core/preset/TemplateStore.h"

using namespace dunmoor;
using dunmoor::test::TemporaryFolder;

namespace
{
    StemTemplate userTemplate (const juce::String& name, juce::StringArray keywords = { "word" })
    {
        return makeTemplate ("Anything", name, "C", 0xff112233, keywords, {});
    }

    juce::StringArray namesOf (const TemplateStore& store)
    {
        juce::StringArray names;

        for (const auto& t : store.getTemplates())
            names.add (t.displayName);

        return names;
    }
} // namespace

TEST (TemplateStore, FileRoundTrip)
{
    TemporaryFolder temp;
    const auto file = temp.folder.getChildFile ("app/StemTemplates.json");   // the folder is made on save

    TemplateStore store (file);
    EXPECT_TRUE (store.getTemplates().empty());
    EXPECT_FALSE (store.hasLoadFailed());

    auto t = makeTemplate ("Combined", juce::String (juce::CharPointer_UTF8 ("\xf0\x9f\x8e\xb8 Gitarren")), " GTR ", 0x00fe0000,
                           { "guitar", " nylon ", "  ", "steel string" }, { "bass guitar" });

    juce::String error;
    ASSERT_TRUE (store.addOrReplace (t, error)) << error;
    ASSERT_TRUE (store.addOrReplace (userTemplate ("alpha"), error)) << error;

    const auto text = file.loadFileAsString();
    EXPECT_TRUE (text.contains ("\"format\": \"brackenfold.stemtemplates\"")) << text;
    EXPECT_TRUE (text.contains ("\"colourARGB\": 16646144,")) << "colours are written as integers";
    EXPECT_TRUE (text.contains ("\"colourARGB\": 4279312947,")) << text;
    EXPECT_FALSE (text.contains ("group"));

    TemplateStore reloaded (file);
    EXPECT_FALSE (reloaded.hasLoadFailed());
    ASSERT_EQ (reloaded.getTemplates().size(), 2u);

    for (size_t i = 0; i < 2; ++i)
    {
        const auto& a = reloaded.getTemplates()[i];
        const auto& b = store.getTemplates()[i];
        EXPECT_EQ (a.group, "User");
        EXPECT_EQ (a.displayName, b.displayName);
        EXPECT_EQ (a.shortCode, b.shortCode);
        EXPECT_EQ (a.colourARGB, b.colourARGB);
        EXPECT_EQ (a.keywords, b.keywords);
        EXPECT_EQ (a.excludeKeywords, b.excludeKeywords);
    }

    EXPECT_EQ (namesOf (reloaded), juce::StringArray ("alpha", t.displayName));
    EXPECT_EQ (reloaded.getTemplates()[1].keywords, juce::StringArray ("guitar", "nylon", "steel string"));
    EXPECT_EQ (reloaded.getTemplates()[1].shortCode, "GTR");
}

TEST (TemplateStore, ReplaceRemoveAndRefusals)
{
    TemporaryFolder temp;
    const auto file = temp.folder.getChildFile ("StemTemplates.json");
    TemplateStore store (file);
    juce::String error;

    for (auto name : { "Strings", "brass", "Choir" })
        ASSERT_TRUE (store.addOrReplace (userTemplate (name), error)) << error;

    ASSERT_TRUE (store.addOrReplace (userTemplate ("  strings  ", { "violin" }), error)) << error;
    EXPECT_EQ (namesOf (store), juce::StringArray ("brass", "Choir", "strings"));
    EXPECT_EQ (store.getTemplates()[2].keywords, juce::StringArray ("violin"));

    struct Case
    {
        StemTemplate t;
        juce::String message;
    };

    const Case cases[] = {
        { userTemplate (" "), "A template needs a name." },
        { userTemplate ("Empty", {}), "A template needs at least one keyword, or it would match nothing." },
        // Blank keywords alone were saved and then dropped at the next load.
        { userTemplate ("Blank", { " ", "" }), "A template needs at least one keyword, or it would match nothing." },
    };

    const auto before = file.loadFileAsString();

    for (const auto& c : cases)
    {
        error = {};
        EXPECT_FALSE (store.addOrReplace (c.t, error));
        EXPECT_EQ (error, c.message);
        EXPECT_EQ (store.getTemplates().size(), 3u);
        EXPECT_EQ (file.loadFileAsString(), before);
    }

    // Removing a name that is not stored does not rewrite the file.
    ASSERT_TRUE (file.setLastModificationTime (juce::Time (2001, 0, 1, 0, 0)));
    EXPECT_TRUE (store.remove ("Organ", error));
    EXPECT_EQ (file.getLastModificationTime(), juce::Time (2001, 0, 1, 0, 0));

    EXPECT_TRUE (store.remove ("CHOIR", error));
    EXPECT_EQ (namesOf (TemplateStore (file)), juce::StringArray ("brass", "strings"));
}

TEST (TemplateStore, HoldsAtMostItsLimit)
{
    TemporaryFolder temp;
    const auto file = temp.folder.getChildFile ("StemTemplates.json");

    // A file with one more than the store keeps: only the first ones load.
    juce::StringArray entries;

    for (int i = 0; i <= TemplateStore::maxTemplates; ++i)
        entries.add ("{ \"displayName\": \"T" + juce::String (i).paddedLeft ('0', 3) + "\", \"keywords\": [\"w\"] }");

    ASSERT_TRUE (file.replaceWithText ("{ \"templates\": [" + entries.joinIntoString (",") + "] }"));

    TemplateStore store (file);
    ASSERT_EQ ((int) store.getTemplates().size(), TemplateStore::maxTemplates);
    EXPECT_EQ (store.getTemplates().back().displayName, "T499");

    juce::String error;
    EXPECT_FALSE (store.addOrReplace (userTemplate ("One too many"), error));
    EXPECT_EQ (error, "That is as many templates as you can keep.");
    EXPECT_TRUE (store.addOrReplace (userTemplate ("t123", { "changed" }), error)) << error;
    EXPECT_EQ ((int) store.getTemplates().size(), TemplateStore::maxTemplates);
    EXPECT_EQ (TemplateStore (file).getTemplates()[123].keywords, juce::StringArray ("changed"));
}

TEST (TemplateStore, DamagedAndForeignFiles)
{
    TemporaryFolder temp;
    const auto file = temp.folder.getChildFile ("StemTemplates.json");

    struct Case
    {
        juce::String text;
        bool loadFailed;
        juce::StringArray names;
    };

    const Case cases[] = {
        { "{ not json", true, {} },
        { "[1, 2]", true, {} },
        { "{ \"templates\": 5 }", true, {} },
        { juce::String::repeatedString ("[", 50000), true, {} },
        { "{ \"templates\": [ { \"displayName\": \"No keywords\" }, 7, { \"displayName\": \" \", \"keywords\": [\"x\"] } ] }", false, {} },
        { "{ \"templates\": [ { \"displayName\": \" Kept \", \"keywords\": [\" a \", \"\", 3], \"colourARGB\": 0 } ] }", false, { "Kept" } },
    };

    for (const auto& c : cases)
    {
        ASSERT_TRUE (file.replaceWithText (c.text));
        TemplateStore store (file);
        EXPECT_EQ (store.hasLoadFailed(), c.loadFailed) << c.text.substring (0, 40);
        EXPECT_EQ (namesOf (store), c.names) << c.text.substring (0, 40);
    }

    TemplateStore store (file);
    EXPECT_EQ (store.getTemplates()[0].keywords, juce::StringArray ("a", "3"));
    EXPECT_EQ (store.getTemplates()[0].colourARGB, 0xff8a8f94u);   // a stored 0 reads as the default

    for (auto colour : { "1e300", "-5", "\"red\"", "4294967296" })
    {
        ASSERT_TRUE (file.replaceWithText ("{ \"templates\": [ { \"displayName\": \"C\", \"keywords\": [\"a\"], \"colourARGB\": " + juce::String (colour) + " } ] }"));
        TemplateStore coloured (file);
        ASSERT_EQ (coloured.getTemplates().size(), 1u) << colour;
        EXPECT_EQ (coloured.getTemplates()[0].colourARGB, juce::String (colour) == "-5" ? 0xfffffffbu : 0xff8a8f94u) << colour;
    }

    // A damaged file used to be replaced by the next add, losing every template it held: it is
    // left alone, and the message names it, until it reads again or is gone.
    ASSERT_TRUE (file.replaceWithText ("{ not json"));
    TemplateStore damaged (file);
    juce::String error;
    EXPECT_FALSE (damaged.addOrReplace (userTemplate ("Fresh"), error));
    EXPECT_TRUE (error.contains (file.getFullPathName())) << error;
    EXPECT_FALSE (damaged.remove ("Fresh", error));
    EXPECT_FALSE (damaged.save (error));
    EXPECT_EQ (file.loadFileAsString(), "{ not json");
    EXPECT_TRUE (damaged.getTemplates().empty());

    ASSERT_TRUE (file.replaceWithText ("{ \"templates\": [ { \"displayName\": \"Mended\", \"keywords\": [\"m\"] } ] }"));
    ASSERT_TRUE (damaged.addOrReplace (userTemplate ("Fresh"), error)) << error;
    EXPECT_EQ (namesOf (damaged), juce::StringArray ("Fresh", "Mended"));

    ASSERT_TRUE (file.replaceWithText ("{ not json"));
    TemplateStore removed (file);
    ASSERT_TRUE (file.deleteFile());
    ASSERT_TRUE (removed.addOrReplace (userTemplate ("Fresh"), error)) << error;
    TemplateStore again (file);
    EXPECT_FALSE (again.hasLoadFailed());
    EXPECT_EQ (namesOf (again), juce::StringArray ("Fresh"));

    // A folder where the file should be is a failed load too: refused before anything changes.
    const auto folderInTheWay = temp.folder.getChildFile ("Dir.json");
    ASSERT_TRUE (folderInTheWay.createDirectory());
    ASSERT_TRUE (folderInTheWay.getChildFile ("content").replaceWithText ("x"));
    TemplateStore blocked (folderInTheWay);
    EXPECT_TRUE (blocked.hasLoadFailed());
    EXPECT_FALSE (blocked.addOrReplace (userTemplate ("X"), error));
    EXPECT_TRUE (error.contains (folderInTheWay.getFullPathName())) << error;
    EXPECT_TRUE (blocked.getTemplates().empty());

    // A write that fails after a good load keeps the change in the list.
    TemplateStore writable (temp.folder.getChildFile ("Later.json"));
    ASSERT_TRUE (temp.folder.getChildFile ("Later.json").createDirectory());
    EXPECT_FALSE (writable.hasLoadFailed());
    EXPECT_FALSE (writable.addOrReplace (userTemplate ("Y"), error));
    EXPECT_FALSE (error.isEmpty());
    EXPECT_EQ (writable.getTemplates().size(), 1u);
}
