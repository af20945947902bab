#include <gtest/gtest.h>

#include "PresetTestSupport.h"
#include "RawBytesNames.h"
#include "core/model/BuiltInPresets.h"
#include "core/preset/PresetJson.h"
#include "core/preset/PresetLibrary.h"

using namespace dunmoor;
using dunmoor::test::TemporaryFolder;

namespace
{
    Preset makeUserPreset (const juce::String& name, PresetKind kind = PresetKind::publisher)
    {
        Preset p;
        p.id = newUuidString();
        p.name = name;
        p.kind = kind;
        p.schema.publisher = "Author of " + name;

        Stem stem;
        stem.displayName = "Drums";
        stem.rules.push_back ({ "kick", MatchMode::token, 0, {}, {} });
        p.schema.addStem (stem);
        return p;
    }

    /** A library in its own temporary root, deleting into a trash beside it. */
    struct LibraryFixture
    {
        TemporaryFolder temp;
        juce::File root = temp.folder.getChildFile ("Presets");
        juce::File trashRoot = temp.folder.getChildFile ("Trash");
        PresetLibrary library { root, DesktopTrash (trashRoot) };

        juce::File publisherFolder() const { return root.getChildFile ("Publisher Presets"); }
        juce::File projectFolder() const { return root.getChildFile ("Project Presets"); }

        juce::String save (const Preset& p)
        {
            juce::String error;
            EXPECT_TRUE (library.savePreset (p, error)) << error;
            return error;
        }

        juce::StringArray entryNames() const
        {
            juce::StringArray names;

            for (const auto& e : library.getEntries())
                names.add (e.name);

            return names;
        }
    };
} // namespace

TEST (PresetLibrary, KindFoldersFileNamesAndOrder)
{
    LibraryFixture f;
    EXPECT_TRUE (f.publisherFolder().isDirectory());
    EXPECT_TRUE (f.projectFolder().isDirectory());

    const auto drums = makeUserPreset ("Drums");
    const auto lowerDrums = makeUserPreset ("drums");
    const auto odd = makeUserPreset ("a/b:c?d");
    const auto dots = makeUserPreset ("...");
    const auto project = makeUserPreset ("Alpha", PresetKind::project);
    const auto longName = makeUserPreset (juce::String::repeatedString ("n", 100));

    for (const auto* p : { &drums, &lowerDrums, &odd, &dots, &project, &longName })
        f.save (*p);

    // Names that compare equal ignoring case get the id's first 8 hexadecimal digits.
    const auto lowerFile = f.library.findEntry (lowerDrums.id)->file;
    EXPECT_EQ (lowerFile.getFileName(), "drums-" + lowerDrums.id.substring (0, 8) + ".dunmoor.json");
    EXPECT_EQ (f.library.findEntry (drums.id)->file.getFileName(), "Drums.dunmoor.json");
    EXPECT_EQ (f.library.findEntry (odd.id)->file.getFileName(), "a-b-c-d.dunmoor.json");
    EXPECT_EQ (f.library.findEntry (dots.id)->file.getFileName(), "preset.dunmoor.json");
    EXPECT_EQ (f.library.findEntry (longName.id)->file.getFileName(), juce::String::repeatedString ("n", 80) + ".dunmoor.json");
    EXPECT_EQ (f.library.findEntry (project.id)->file.getParentDirectory(), f.projectFolder());

    // Publisher presets first, each kind by name ignoring case; the entry carries the file's fields.
    const auto names = f.entryNames();
    EXPECT_EQ (names[names.size() - 1], "Alpha");
    EXPECT_EQ (names[0], "...");
    EXPECT_EQ (names.indexOf ("a/b:c?d"), 1);

    const auto* entry = f.library.findEntry (project.id);
    EXPECT_EQ (entry->author, "Author of Alpha");
    EXPECT_EQ (entry->kind, PresetKind::project);
    EXPECT_GT (entry->modifiedUtcMs, 0);
    EXPECT_EQ (f.library.findEntry (project.id.toUpperCase()), nullptr);   // ids compare exactly
}

// A name of 80 characters that take three bytes each gave a temporary file name over the
// 255 bytes Linux allows, and the preset could not be saved at all.
TEST (PresetLibrary, LongNamesInWideScriptsStillSave)
{
    LibraryFixture f;
    const auto han = juce::String (juce::CharPointer_UTF8 ("\xe6\xbc\xa2"));
    const auto emoji = juce::String (juce::CharPointer_UTF8 ("\xf0\x9f\x8e\xbb"));

    for (const auto& name : { juce::String::repeatedString (han, 80), juce::String::repeatedString (emoji, 80) })
    {
        const auto preset = makeUserPreset (name);
        f.save (preset);

        const auto* entry = f.library.findEntry (preset.id);
        ASSERT_NE (entry, nullptr);
        const auto fileName = entry->file.getFileName();
        EXPECT_LE (fileName.getNumBytesAsUTF8(), 213u);
        EXPECT_TRUE (name.startsWith (fileName.upToFirstOccurrenceOf (".dunmoor.json", false, false))) << fileName;

        // The clash suffix still fits.
        f.save (makeUserPreset (name));
    }

    EXPECT_EQ (f.library.getEntries().size(), 4u);
}

TEST (PresetLibrary, SaveRenameDuplicateAndKindChanges)
{
    LibraryFixture f;
    auto preset = makeUserPreset ("Trailer");
    preset.id = " ";

    juce::String error;
    ASSERT_TRUE (f.library.savePreset (preset, error)) << error;
    EXPECT_EQ (preset.id, " ");   // the caller's preset is not changed
    ASSERT_EQ (f.library.getEntries().size(), 1u);
    const auto id = f.library.getEntries()[0].id;
    EXPECT_EQ (id.length(), 36);

    const auto oldFile = f.library.findEntry (id)->file;
    ASSERT_TRUE (f.library.renamePreset (id, "  Teaser ", error)) << error;
    const auto renamed = f.library.findEntry (id)->file;
    EXPECT_EQ (renamed.getFileName(), "Teaser.dunmoor.json");
    EXPECT_FALSE (oldFile.exists());
    EXPECT_EQ (f.library.loadPreset (id).preset.name, "Teaser");

    // A change of letter case only keeps the file and never deletes it.
    ASSERT_TRUE (f.library.renamePreset (id, "teaser", error)) << error;
    EXPECT_TRUE (renamed.existsAsFile());
    EXPECT_EQ (f.library.loadPreset (id).preset.name, "teaser");

    // Changing the kind moves the file to the other folder.
    auto loaded = f.library.loadPreset (id).preset;
    loaded.kind = PresetKind::project;
    ASSERT_TRUE (f.library.savePreset (loaded, error)) << error;
    EXPECT_FALSE (renamed.exists());
    EXPECT_EQ (f.library.findEntry (id)->file.getParentDirectory(), f.projectFolder());

    juce::String copyId;
    ASSERT_TRUE (f.library.duplicate (id, " ", copyId, error)) << error;
    EXPECT_NE (copyId, id);
    EXPECT_EQ (f.library.findEntry (copyId)->name, "teaser copy");
    EXPECT_EQ (f.library.findEntry (copyId)->kind, PresetKind::project);

    juce::String newId;
    ASSERT_TRUE (f.library.saveAsNewPreset (loaded, "Publisher Version", PresetKind::publisher, newId, error)) << error;
    EXPECT_EQ (f.library.findEntry (newId)->file.getParentDirectory(), f.publisherFolder());
    EXPECT_EQ (f.library.getEntries().size(), 3u);
}

// A copy taken up as the working preset must not orphan the session's assignments and locks,
// which name stems by id.
TEST (PresetLibrary, CopiesKeepStemIdsAndSaveReportsTheId)
{
    LibraryFixture f;
    auto user = makeUserPreset ("Mine");
    const auto mixId = user.schema.addAlternativeMix ("Instrumental");
    f.save (user);
    const auto stemId = user.schema.stems[0].id;

    juce::String error, copyId, newId;
    ASSERT_TRUE (f.library.duplicate (user.id, "Mine 2", copyId, error)) << error;
    ASSERT_TRUE (f.library.saveAsNewPreset (user, "Mine 3", PresetKind::project, newId, error)) << error;

    for (const auto& id : { copyId, newId })
    {
        const auto loaded = f.library.loadPreset (id);
        ASSERT_TRUE (loaded.ok) << loaded.messages.toText();
        EXPECT_NE (loaded.preset.id, user.id);
        EXPECT_EQ (loaded.preset.schema.stems[0].id, stemId);
        ASSERT_EQ (loaded.preset.schema.alternativeMixes.size(), 1u);
        EXPECT_EQ (loaded.preset.schema.alternativeMixes[0].id, mixId);
        EXPECT_EQ (loaded.preset.schema.alternativeMixes[0].stemIds, juce::StringArray (stemId));
    }

    // A preset without an id is stored under a new one, which the caller learns.
    auto anonymous = makeUserPreset ("Nameless id");
    anonymous.id = {};
    juce::String savedId;
    ASSERT_TRUE (f.library.savePreset (anonymous, savedId, error)) << error;
    EXPECT_EQ (savedId.length(), 36);
    ASSERT_NE (f.library.findEntry (savedId), nullptr);
    EXPECT_EQ (f.library.findEntry (savedId)->name, "Nameless id");

    ASSERT_TRUE (f.library.savePreset (user, savedId, error)) << error;
    EXPECT_EQ (savedId, user.id);
}

// A rescan keeps what it read of unchanged files; a file written over in place, even to the same
// size, must still be read again.
TEST (PresetLibrary, RescanSeesEveryChangeToAFile)
{
    LibraryFixture f;
    const auto mine = makeUserPreset ("Mine");
    f.save (mine);
    const auto file = f.library.findEntry (mine.id)->file;

    const auto overwriteInPlace = [&file] (const juce::String& text)
    {
        juce::FileOutputStream out (file);
        ASSERT_TRUE (out.openedOk());
        out.setPosition (0);
        out.truncate();
        out.writeText (text, false, false, nullptr);
    };

    const auto original = file.loadFileAsString();
    overwriteInPlace (original.replace ("\"Mine\"", "\"Mina\""));
    f.library.rescan();
    EXPECT_EQ (f.library.findEntry (mine.id)->name, "Mina");

    overwriteInPlace ("{ broken");
    f.library.rescan();
    EXPECT_EQ (f.library.findEntry (mine.id), nullptr);

    overwriteInPlace (original);
    f.library.rescan();
    ASSERT_NE (f.library.findEntry (mine.id), nullptr);
    EXPECT_EQ (f.library.findEntry (mine.id)->name, "Mine");

    ASSERT_TRUE (file.deleteFile());
    f.library.rescan();
    EXPECT_EQ (f.library.findEntry (mine.id), nullptr);
}

TEST (PresetLibrary, RefusalsLeaveEverythingAsItWas)
{
    LibraryFixture f;
    juce::String error;
    ASSERT_TRUE (f.library.installBuiltIns (error)) << error;

    const auto user = makeUserPreset ("Mine");
    f.save (user);
    const auto before = TemporaryFolder::listing (f.publisherFolder());

    auto invalid = f.library.loadPreset (user.id).preset;
    invalid.schema.stems[0].priority = 5000;

    auto tooLong = makeUserPreset (juce::String::repeatedString ("L", 80));
    const auto deepRoot = f.temp.folder.getChildFile (juce::String::repeatedString ("d", 150));
    PresetLibrary deepLibrary (deepRoot, DesktopTrash (f.trashRoot));

    juce::String id;
    struct Case
    {
        const char* what;
        std::function<bool (juce::String&)> run;
        juce::String message;
    };

    const Case cases[] = {
        { "save built-in", [&] (juce::String& e) { return f.library.savePreset (makeEmptyPreset(), e); }, "'Empty' is a built-in preset. Duplicate it before editing." },
        { "save invalid", [&] (juce::String& e) { return f.library.savePreset (invalid, e); }, "The preset is not valid and was not saved:\nERROR   preset.schema.stems[0].priority must be between -1000 and 1000." },
        { "save as blank", [&] (juce::String& e) { return f.library.saveAsNewPreset (user, " ", PresetKind::project, id, e); }, "A preset needs a name." },
        { "rename blank", [&] (juce::String& e) { return f.library.renamePreset (user.id, "", e); }, "A preset needs a name." },
        { "rename built-in", [&] (juce::String& e) { return f.library.renamePreset (builtInEmptyPresetId, "Mine too", e); }, "Built-in presets cannot be renamed." },
        { "rename unknown", [&] (juce::String& e) { return f.library.renamePreset ("nope", "X", e); }, "ERROR   No preset with id 'nope' is known." },
        { "delete built-in", [&] (juce::String& e) { return f.library.deletePreset (builtInExamplePresetId, e); }, "Built-in presets cannot be deleted. Use 'Restore defaults' to reset them." },
        { "delete unknown", [&] (juce::String& e) { return f.library.deletePreset ("nope", e); }, "No preset with id 'nope' is known." },
        { "duplicate unknown", [&] (juce::String& e) { return f.library.duplicate ("nope", "X", id, e); }, "ERROR   No preset with id 'nope' is known." },
        { "export nowhere", [&] (juce::String& e) { return f.library.exportPreset (user.id, juce::File(), e); }, "The export destination is not a valid path." },
        { "export too long", [&] (juce::String& e) { return f.library.exportPreset (user.id, f.temp.folder.getChildFile (juce::String::repeatedString ("e", 250)), e); }, "The export path is too long." },
        { "path too long", [&] (juce::String& e) { return deepLibrary.savePreset (tooLong, e); }, "The preset path is too long." },
    };

    for (const auto& c : cases)
    {
        error = {};
        EXPECT_FALSE (c.run (error)) << c.what;
        EXPECT_EQ (error, c.message) << c.what;
        EXPECT_EQ (TemporaryFolder::listing (f.publisherFolder()), before) << c.what;
    }

    EXPECT_TRUE (f.library.loadPreset (user.id).ok);
    EXPECT_TRUE (deepLibrary.getEntries().empty());
    EXPECT_FALSE (f.trashRoot.exists());
}

// Saving over a same-named file that the scan did not list (damaged, or from a newer version)
// replaced it, and that file was lost.
TEST (PresetLibrary, NeverWritesOverAForeignFileOfTheSameName)
{
    LibraryFixture f;
    const auto damaged = f.publisherFolder().getChildFile ("Drums.dunmoor.json");
    const auto newer = f.publisherFolder().getChildFile ("drums-" + juce::String ("12345678") + ".dunmoor.json");
    ASSERT_TRUE (damaged.replaceWithText ("{ not json"));

    auto fromTheFuture = writePreset (makeUserPreset ("Drums")).replace ("\"schemaVersion\": 3", "\"schemaVersion\": 9");
    ASSERT_TRUE (newer.replaceWithText (fromTheFuture, false, false, nullptr));
    f.library.rescan();
    EXPECT_TRUE (f.library.getEntries().empty());

    auto first = makeUserPreset ("Drums");
    first.id = "12345678-9abc-4def-8000-000000000000";
    f.save (first);

    const auto file = f.library.findEntry (first.id)->file;
    EXPECT_NE (file, damaged);
    EXPECT_NE (file.getFileName().toLowerCase(), newer.getFileName());
    EXPECT_EQ (file.getFileName(), "Drums-12345678-2.dunmoor.json");
    EXPECT_EQ (damaged.loadFileAsString(), "{ not json");
    EXPECT_EQ (newer.loadFileAsString(), fromTheFuture);

    // Saving the preset again keeps its own file.
    f.save (f.library.loadPreset (first.id).preset);
    EXPECT_EQ (f.library.findEntry (first.id)->file, file);

    // A folder in the way is foreign too.
    ASSERT_TRUE (f.publisherFolder().getChildFile ("Bass.dunmoor.json").createDirectory());
    auto bass = makeUserPreset ("Bass");
    f.save (bass);
    EXPECT_EQ (f.library.findEntry (bass.id)->file.getFileName(), "Bass-" + bass.id.substring (0, 8) + ".dunmoor.json");
}

TEST (PresetLibrary, ScanListsValidJsonFilesOnly)
{
    LibraryFixture f;
    const auto folder = f.publisherFolder();
    const auto valid = writePreset (makeUserPreset ("Plain Json"));

    ASSERT_TRUE (folder.getChildFile ("plain.json").replaceWithText (valid));
    ASSERT_TRUE (folder.getChildFile ("SHOUTING.JSON").replaceWithText (writePreset (makeUserPreset ("Shouting"))));
    ASSERT_TRUE (folder.getChildFile ("broken.dunmoor.json").replaceWithText ("{"));
    ASSERT_TRUE (folder.getChildFile ("invalid.dunmoor.json").replaceWithText (writePreset (makeUserPreset ("Bad")).replace ("\"priority\": 0", "\"priority\": 5000")));
    ASSERT_TRUE (folder.getChildFile ("notes.txt").replaceWithText (valid));
    ASSERT_TRUE (folder.getChildFile ("folder.json").createDirectory());
    ASSERT_TRUE (folder.getChildFile ("nested").createDirectory());
    ASSERT_TRUE (folder.getChildFile ("nested").getChildFile ("deep.json").replaceWithText (writePreset (makeUserPreset ("Nested"))));

    // An interrupted atomic write leaves its hidden temporary behind; it is not a second preset.
    ASSERT_TRUE (folder.getChildFile (".plain_temp3fa2b1c0.json").replaceWithText (valid));
    ASSERT_TRUE (folder.getChildFile (".hidden.json").replaceWithText (writePreset (makeUserPreset ("Hidden"))));

    f.library.rescan();
    EXPECT_EQ (f.entryNames(), juce::StringArray ("Hidden", "Plain Json", "Shouting"));

    // The files that did not read vanished without a word; the library tells them with why.
    const auto& unreadable = f.library.getUnreadableFiles();
    ASSERT_EQ (unreadable.size(), 2u);
    EXPECT_EQ (unreadable[0].file, folder.getChildFile ("broken.dunmoor.json"));
    EXPECT_TRUE (unreadable[0].reason.startsWith ("ERROR")) << unreadable[0].reason;
    EXPECT_TRUE (unreadable[0].id.isEmpty());
    EXPECT_EQ (unreadable[1].file, folder.getChildFile ("invalid.dunmoor.json"));
    EXPECT_TRUE (unreadable[1].reason.contains ("priority")) << unreadable[1].reason;

    EXPECT_TRUE (PresetLibrary::isAtomicWriteLeftover (juce::File ("/x/.Drums.dunmoor_temp1f_2.json")));
    EXPECT_FALSE (PresetLibrary::isAtomicWriteLeftover (juce::File ("/x/Drums_temp1f.json")));
}

TEST (PresetLibrary, ListHoldsAtMostItsLimit)
{
    LibraryFixture f;
    const auto text = writePreset (makeUserPreset ("Many"));

    for (int i = 0; i <= PresetLibrary::maxEntries; ++i)
        ASSERT_TRUE (f.projectFolder().getChildFile ("p" + juce::String (i) + ".json").replaceWithText (text));

    f.library.rescan();
    EXPECT_EQ ((int) f.library.getEntries().size(), PresetLibrary::maxEntries);
}

TEST (PresetLibrary, ImportAndExport)
{
    LibraryFixture f;
    juce::String error, id;
    ASSERT_TRUE (f.library.installBuiltIns (error)) << error;

    const auto outside = f.temp.folder.getChildFile ("outside");
    const auto exported = outside.getChildFile ("empty.json");
    ASSERT_TRUE (f.library.exportPreset (builtInEmptyPresetId, exported, error)) << error;

    // Written unchanged as stored: id and built-in flag included.
    auto read = loadPresetFile (exported);
    ASSERT_TRUE (read.ok);
    EXPECT_EQ (read.preset.id, builtInEmptyPresetId);
    EXPECT_TRUE (read.preset.isBuiltIn);

    ASSERT_TRUE (f.library.importPreset (exported, id, error)) << error;
    EXPECT_NE (id, builtInEmptyPresetId);
    EXPECT_EQ (f.library.findEntry (id)->name, "Empty (imported)");
    EXPECT_FALSE (f.library.findEntry (id)->isBuiltIn);

    // A preset the library does not know keeps its id; importing it again adds a copy.
    const auto stranger = makeUserPreset ("Stranger");
    const auto strangerFile = outside.getChildFile ("stranger.dunmoor.json");
    ASSERT_TRUE (savePreset (stranger, strangerFile, error)) << error;

    ASSERT_TRUE (f.library.importPreset (strangerFile, id, error)) << error;
    EXPECT_EQ (id, stranger.id);
    ASSERT_TRUE (f.library.importPreset (strangerFile, id, error)) << error;
    EXPECT_NE (id, stranger.id);
    EXPECT_EQ (f.library.findEntry (id)->name, "Stranger (imported)");
    ASSERT_TRUE (f.library.importPreset (strangerFile, id, error)) << error;
    EXPECT_EQ (f.entryNames().joinIntoString ("|"), "Empty|Empty (imported)|Hybrid Orchestra Example|Stranger|Stranger (imported)|Stranger (imported)");

    const auto broken = outside.getChildFile ("broken.json");
    ASSERT_TRUE (broken.replaceWithText ("[]"));
    EXPECT_FALSE (f.library.importPreset (broken, id, error));
    EXPECT_EQ (error, "'broken.json' could not be imported:\nERROR   The preset file must contain a JSON object.");
}

// An exported built-in imported while the built-in was missing kept the built-in's id, and the
// next start-up deleted it to put the built-in back.
TEST (PresetLibrary, ImportedBuiltInNeverKeepsTheReservedId)
{
    LibraryFixture f;
    juce::String error, id;

    auto edited = makeEmptyPreset();
    edited.description = "My own notes";
    const auto file = f.temp.folder.getChildFile ("outside").getChildFile ("empty.json");
    ASSERT_TRUE (savePreset (edited, file, error)) << error;

    ASSERT_TRUE (f.library.importPreset (file, id, error)) << error;
    EXPECT_NE (id, builtInEmptyPresetId);
    EXPECT_EQ (f.library.findEntry (id)->name, "Empty (imported)");

    ASSERT_TRUE (f.library.installBuiltIns (error)) << error;
    ASSERT_TRUE (f.library.restoreDefaults (error)) << error;
    const auto read = f.library.loadPreset (id);
    ASSERT_TRUE (read.ok) << read.messages.toText();
    EXPECT_EQ (read.preset.description, "My own notes");
}

TEST (PresetLibrary, BuiltInsAreInstalledAndRewrittenOnlyWhenTheyDiffer)
{
    LibraryFixture f;
    juce::String error;

    // A retired built-in from an earlier version is removed.
    auto retired = makeUserPreset ("Old default");
    retired.id = "builtin-dunmoor-default";
    ASSERT_TRUE (savePreset (retired, f.publisherFolder().getChildFile ("Old default.dunmoor.json"), error));
    f.library.rescan();

    ASSERT_TRUE (f.library.installBuiltIns (error)) << error;
    EXPECT_EQ (f.entryNames(), juce::StringArray ("Empty", "Hybrid Orchestra Example"));
    EXPECT_EQ (f.library.findEntry ("builtin-dunmoor-default"), nullptr);

    const auto emptyFile = f.library.findEntry (builtInEmptyPresetId)->file;
    const auto exampleFile = f.library.findEntry (builtInExamplePresetId)->file;
    EXPECT_EQ (emptyFile.getFileName(), "Empty.dunmoor.json");

    // Mark both files, then start again: unchanged built-ins are left alone, byte for byte. The
    // example preset used to be written at every start (its stems got new ids on every build),
    // so it never equalled a project's copy of it.
    const juce::Time old (2001, 0, 1, 0, 0);
    ASSERT_TRUE (emptyFile.setLastModificationTime (old));
    ASSERT_TRUE (exampleFile.setLastModificationTime (old));
    const auto exampleBytes = exampleFile.loadFileAsString();

    PresetLibrary again (f.root, DesktopTrash (f.trashRoot));
    ASSERT_TRUE (again.installBuiltIns (error)) << error;
    EXPECT_EQ (emptyFile.getLastModificationTime(), old);
    EXPECT_EQ (exampleFile.getLastModificationTime(), old);
    EXPECT_EQ (exampleFile.loadFileAsString(), exampleBytes);
    EXPECT_EQ (again.getEntries().size(), 2u);

    // An edited built-in is replaced; restoring the defaults rewrites both.
    ASSERT_TRUE (emptyFile.replaceWithText (emptyFile.loadFileAsString().replace ("\"No stems.", "\"Edited. No stems.")));
    ASSERT_TRUE (again.installBuiltIns (error)) << error;
    EXPECT_TRUE (again.loadPreset (builtInEmptyPresetId).preset == makeEmptyPreset());

    ASSERT_TRUE (emptyFile.setLastModificationTime (old));
    ASSERT_TRUE (again.restoreDefaults (error)) << error;
    EXPECT_NE (emptyFile.getLastModificationTime(), old);
    EXPECT_EQ (TemporaryFolder::listing (f.publisherFolder()), juce::StringArray ("Empty.dunmoor.json", "Hybrid Orchestra Example.dunmoor.json"));
}

// On Linux the framework only trashed a file when a trash folder already existed; otherwise the
// preset was deleted for good.
TEST (PresetLibrary, DeleteMovesTheFileIntoTheTrash)
{
    LibraryFixture f;
    ASSERT_FALSE (f.trashRoot.exists());

    const auto first = makeUserPreset ("Gone");
    f.save (first);
    const auto file = f.library.findEntry (first.id)->file;

    juce::String error;
    ASSERT_TRUE (f.library.deletePreset (first.id, error)) << error;
    EXPECT_FALSE (file.exists());
    EXPECT_EQ (f.library.findEntry (first.id), nullptr);

    const auto trashed = f.trashRoot.getChildFile ("files/Gone.dunmoor.json");
    ASSERT_TRUE (trashed.existsAsFile());
    EXPECT_EQ (loadPresetFile (trashed).preset.id, first.id);

    const auto info = f.trashRoot.getChildFile ("info/Gone.dunmoor.json.trashinfo").loadFileAsString();
    EXPECT_TRUE (info.startsWith ("[Trash Info]\nPath=")) << info;
    EXPECT_TRUE (info.contains ("/Presets/Publisher%20Presets/Gone.dunmoor.json\n")) << info;

    // A second preset of the same name does not replace the first one in the trash.
    const auto second = makeUserPreset ("Gone");
    f.save (second);
    ASSERT_TRUE (f.library.deletePreset (second.id, error)) << error;
    EXPECT_EQ (loadPresetFile (trashed).preset.id, first.id);
    EXPECT_EQ (loadPresetFile (f.trashRoot.getChildFile ("files/Gone.dunmoor.2.json")).preset.id, second.id);
    EXPECT_TRUE (f.trashRoot.getChildFile ("info/Gone.dunmoor.2.json.trashinfo").existsAsFile());
}

// A name starting with "~" was read as a home folder: the preset could not be saved, and a
// file of such a name was moved out of the trash into the working directory.
TEST (PresetLibrary, NamesStartingWithATildeStayInTheirFolders)
{
    LibraryFixture f;
    const auto preset = makeUserPreset ("~Strings");
    f.save (preset);

    const auto file = f.library.findEntry (preset.id)->file;
    EXPECT_EQ (file.getParentDirectory(), f.publisherFolder());
    EXPECT_EQ (file.getFileName(), "~Strings.dunmoor.json");

    juce::String error;
    ASSERT_TRUE (f.library.deletePreset (preset.id, error)) << error;
    EXPECT_FALSE (file.exists());
    EXPECT_TRUE (juce::File (f.trashRoot.getFullPathName() + "/files/~Strings.dunmoor.json").existsAsFile());
    EXPECT_TRUE (juce::File (f.trashRoot.getFullPathName() + "/info/~Strings.dunmoor.json.trashinfo").existsAsFile());
}

// The framework's listing of a preset folder wrote past its buffer on a name that is not valid
// UTF-8 (a Latin-1 "Voil\xe0" from an old archive).
TEST (PresetLibrary, NamesThatAreNotUtf8ArePassedOver)
{
    LibraryFixture f;
    const auto text = writePreset (makeUserPreset ("Latin-1"));
    const juce::MemoryBlock bytes (text.toRawUTF8(), text.getNumBytesAsUTF8());

    dunmoor::testing::RawNamedEntries raw;
    raw.makeFile (f.publisherFolder(), "Voil\xe0 Strings.dunmoor.json", bytes);
    raw.makeFile (f.projectFolder(), "Canci\xf3n Peque\xf1" "a.json", bytes);
    raw.makeFolder (f.publisherFolder(), "Reel \xe0.dunmoor.json");
    ASSERT_TRUE (f.publisherFolder().getChildFile ("Plain.dunmoor.json").replaceWithText (writePreset (makeUserPreset ("Plain"))));

    f.library.rescan();
    EXPECT_EQ (f.entryNames(), juce::StringArray ("Plain"));

    // A preset named in UTF-8 like one of them is saved beside it, and loads.
    const auto voila = makeUserPreset (juce::String::fromUTF8 ("Voil\xc3\xa0 Strings"));
    f.save (voila);
    ASSERT_NE (f.library.findEntry (voila.id), nullptr);
    EXPECT_EQ (f.library.findEntry (voila.id)->file.getFileName(), juce::String::fromUTF8 ("Voil\xc3\xa0 Strings.dunmoor.json"));
    EXPECT_TRUE (f.library.loadPreset (voila.id).ok);
    EXPECT_EQ (f.entryNames(), juce::StringArray ("Plain", voila.name));
    EXPECT_TRUE (raw.allExist());
}
