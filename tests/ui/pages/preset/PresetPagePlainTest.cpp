#include <gtest/gtest.h>

#include "core/model/BuiltInPresets.h"
#include "core/session/KeywordText.h"
#include "ui/pages/preset/PresetPageLayout.h"
#include "ui/pages/preset/PresetPageTexts.h"
#include "ui/pages/preset/StemFieldEdits.h"
#include "ui/pages/preset/StemListGeometry.h"

namespace dunmoor::ui
{
namespace
{
    using Rect = juce::Rectangle<int>;

    PresetPageLayout layoutOf (int width, int height)
    {
        PresetPageLayout::Inputs in;
        in.width = width;
        in.height = height;
        in.textButtonWidths = { 90, 110, 90, 75, 90 };
        in.hintWidth = 130;
        return PresetPageLayout::compute (in);
    }

    Stem stemNamed (const juce::String& name, const juce::String& token = {})
    {
        Stem stem;
        stem.displayName = name;
        stem.fileNameToken = token;
        return stem;
    }
} // namespace

TEST (PresetPageLayout, ThreePanelsAt1200By700)
{
    const auto l = layoutOf (1200, 700);

    EXPECT_EQ (l.editorX, 910);
    EXPECT_EQ (l.editorWidth, 278);
    EXPECT_EQ (l.stemPanel, Rect (352, 12, 534, 676));
    EXPECT_EQ (l.editorPanel, Rect (898, 12, 302, 688));
    EXPECT_EQ (l.auditionStrip, Rect (910, 18, 278, 26));

    // Left column: heading, four fields, numbering, keywords, then the separator.
    EXPECT_EQ (l.projectHeading, Rect (12, 18, 316, 26));
    EXPECT_EQ (l.rowLabels[0], Rect (12, 49, 80, 30));
    EXPECT_EQ (l.rowFields[0], Rect (97, 49, 231, 30));
    EXPECT_EQ (l.rowFields[3], Rect (97, 154, 90, 30)); // the version stays short
    EXPECT_EQ (l.pluralToggle, Rect (97, 224, 231, 30));
    EXPECT_EQ (l.separatorY, 271);
    EXPECT_EQ (l.statusLabel.getBottom() + 5, l.libraryButtons[0].getY());
    EXPECT_EQ (l.libraryButtons[8].getBottom(), 687); // its 5 px gap is clipped at the content's bottom
    EXPECT_EQ (l.libraryButtons[0].getWidth(), 102);
    EXPECT_EQ (l.libraryButtons[2], Rect (226, l.libraryButtons[0].getY(), 102, 30));

    // Stem panel: top row, heading, list, button row at the bottom of its content.
    EXPECT_EQ (l.cueLabel, Rect (364, 16, 34, 30));
    EXPECT_EQ (l.mixHeader, Rect (364, 58, 510, 28));
    EXPECT_EQ (l.stemButtons[0].getPosition(), juce::Point<int> (364, 700 - 24 - 65)); // two lines of buttons at this width
    EXPECT_EQ (l.listArea.getBottom(), l.stemButtons[0].getY() - 6);

    // With room to spare the hint stands 12 px after the later arrow.
    auto wide = layoutOf (1600, 700);
    EXPECT_TRUE (wide.hintVisible);
    EXPECT_EQ (wide.hint, Rect (wide.stemButtons[6].getRight() + 12, wide.stemButtons[6].getY(), 130, 30));

    // Editor: three rows, the priority, the colour and two sections filling the rest.
    EXPECT_EQ (l.editorFields[0], Rect (1045, 49, 143, 30));
    EXPECT_EQ (l.prioritySlider, Rect (1045, 154, 111, 26));
    EXPECT_EQ (l.colourButton, Rect (910, 185, 110, 30));
    ASSERT_EQ (l.sectionPanels.size(), 2u);
    EXPECT_EQ (l.sectionPanels[0].getY(), 227);
    EXPECT_EQ (l.rulesLabel, l.sectionPanels[0].reduced (12).withHeight (22));
    EXPECT_EQ (l.sectionPanels[1].getY(), l.sectionPanels[0].getBottom() + 12);
    EXPECT_LE (l.sectionPanels[1].getBottom(), 700 - 12);
}

TEST (PresetPageLayout, SmallPagesClipInsteadOfOverlapping)
{
    // Narrower than the left column: the other panels are empty and paint nothing.
    const auto narrow = layoutOf (300, 700);
    EXPECT_EQ (narrow.leftWidth, 300);
    EXPECT_TRUE (narrow.stemPanel.isEmpty());
    EXPECT_TRUE (narrow.editorPanel.isEmpty());
    EXPECT_TRUE (narrow.stemList.isEmpty());
    EXPECT_TRUE (narrow.editorFields[0].isEmpty());
    EXPECT_TRUE (narrow.sectionPanels[0].isEmpty());
    EXPECT_EQ (narrow.rowFields[0].getRight(), 300 - 12);

    // A short page: every part stays inside the page and below the one above it.
    const auto low = layoutOf (1100, 200);
    EXPECT_LE (low.libraryButtons[8].getBottom(), 200);
    EXPECT_GE (low.libraryList.getHeight(), 0);
    EXPECT_LE (low.sectionPanels[1].getBottom(), 200);

    // Nothing at all.
    const auto none = layoutOf (0, 0);
    EXPECT_TRUE (none.stemPanel.isEmpty());
    EXPECT_TRUE (none.libraryList.isEmpty());
}

TEST (PresetPageLayout, NarrowButtonRowHidesTheHintThenTakesASecondLine)
{
    const std::array<int, 5> text { 90, 110, 90, 75, 90 };
    const int sum = 90 + 110 + 90 + 75 + 90 + 30 + 30;

    const auto wide = StemButtonRow::fit (sum + 130 + 42, text, 130);
    EXPECT_TRUE (wide.hintVisible);
    EXPECT_FALSE (wide.twoLines);
    EXPECT_EQ (wide.widths[1], 110);

    // Room for the buttons and their gaps, not the hint: natural widths, no hint.
    const auto noHint = StemButtonRow::fit (sum + 35, text, 130);
    EXPECT_FALSE (noHint.hintVisible);
    EXPECT_FALSE (noHint.twoLines);
    EXPECT_EQ (noHint.widths[1], 110);

    // Less room: two lines, every caption at its width.
    const auto tight = StemButtonRow::fit (300, text, 130);
    EXPECT_FALSE (tight.hintVisible);
    EXPECT_TRUE (tight.twoLines);
    EXPECT_EQ (tight.widths[1], 110);
    EXPECT_EQ (tight.widths[6], 30);

    // A line too narrow even alone shrinks in proportion, keeping its gaps.
    const auto narrow = StemButtonRow::fit (250, text, 130);
    EXPECT_EQ (narrow.widths[1], 240 * 110 / 290);
    EXPECT_EQ (narrow.widths[4], 90) << "the second line still fits";

    // Placed on a page: 5 px between neighbours on a line, the second line under the first, and
    // the list ends above both.
    const auto page = layoutOf (1100, 720);
    EXPECT_FALSE (page.hintVisible);
    EXPECT_TRUE (page.hint.isEmpty());

    for (size_t i = 1; i < 7; ++i)
    {
        if (i == StemButtonRow::firstLineCount)
        {
            EXPECT_EQ (page.stemButtons[i].getX(), page.stemButtons[0].getX());
            EXPECT_EQ (page.stemButtons[i].getY(), page.stemButtons[0].getBottom() + 5);
        }
        else
        {
            EXPECT_EQ (page.stemButtons[i].getX(), page.stemButtons[i - 1].getRight() + 5) << i;
            EXPECT_EQ (page.stemButtons[i].getY(), page.stemButtons[i - 1].getY()) << i;
        }

        EXPECT_LE (page.stemButtons[i].getRight(), page.stemPanel.getRight() - 12) << i;
    }

    EXPECT_EQ (page.listArea.getBottom(), page.stemButtons[0].getY() - 6);
}

TEST (PresetPageLayout, TickScrollBarTakesTheBottomOfTheListArea)
{
    auto l = layoutOf (1360, 860);
    l.placeTickScrollBar (true);
    EXPECT_EQ (l.tickScrollBar, l.listArea.withTop (l.listArea.getBottom() - 10));
    EXPECT_EQ (l.stemList, l.listArea.withTrimmedBottom (13));

    l.placeTickScrollBar (false);
    EXPECT_EQ (l.stemList, l.listArea);
    EXPECT_TRUE (l.tickScrollBar.isEmpty());
}

// Each panel of the page is a component of its own, which cuts off whatever of its controls
// stands outside it.
TEST (PresetPageLayout, EveryControlLiesWithinItsPanel)
{
    const std::pair<int, int> sizes[] = { { 1360, 860 }, { 1100, 720 }, { 2560, 1440 }, { 1100, 200 }, { 300, 700 } };

    for (const auto& [width, height] : sizes)
    {
        SCOPED_TRACE (juce::String (width) + " x " + juce::String (height));

        for (const bool scrollBar : { false, true })
        {
            auto l = layoutOf (width, height);
            l.placeTickScrollBar (scrollBar);

            const auto expectWithin = [] (Rect panel, std::initializer_list<Rect> controls, const char* name)
            {
                for (const auto& control : controls)
                    EXPECT_TRUE (control.isEmpty() || panel.contains (control)) << name << ": " << control.toString() << " outside "
                                                                                 << panel.toString();
            };

            expectWithin (l.projectPanel, { l.projectHeading, l.rowLabels[0], l.rowFields[0], l.rowLabels[4], l.rowFields[4],
                                            l.keywordsLabel, l.pluralToggle }, "project fields");
            expectWithin (l.libraryPanel, { l.libraryHeading, l.libraryList, l.statusLabel, l.libraryButtons[0], l.libraryButtons[8] },
                          "library");
            expectWithin (l.mixPanel, { l.cueLabel, l.cueChoice, l.addMixButton, l.mixHeader }, "mix columns");
            expectWithin (l.listPanel, { l.stemList, l.tickScrollBar, l.stemButtons[0], l.stemButtons[6], l.hint }, "stem list");
            expectWithin (l.editorPanel, { l.auditionStrip, l.editorLabels[0], l.editorFields[2], l.prioritySlider, l.colourButton,
                                           l.sectionPanels[0], l.sectionPanels[1], l.rulesField, l.exclusionsField }, "stem editor");

            // The panels share no pixel; the audition strip stands over the editor's panel.
            const Rect panels[] = { l.projectPanel, l.libraryPanel, l.mixPanel, l.listPanel, l.editorPanel };

            for (size_t i = 0; i < std::size (panels); ++i)
                for (size_t j = i + 1; j < std::size (panels); ++j)
                    EXPECT_FALSE (panels[i].intersects (panels[j])) << i << " and " << j;
        }
    }
}

TEST (StemListGeometry, RowLayout)
{
    const Rect row (0, 0, 500, 28);

    const auto plain = StemRowLayout::compute (row, 0, 0, false, 116);
    EXPECT_EQ (plain.nameArea, row);
    EXPECT_EQ (plain.auditionCell.getWidth(), 0);
    EXPECT_EQ (plain.tickArea.getWidth(), 0);
    EXPECT_TRUE (plain.columns.empty());

    const auto withCue = StemRowLayout::compute (row, 3, 40, true, 116);
    EXPECT_EQ (withCue.auditionCell, Rect (0, 0, 22, 28));
    EXPECT_EQ (withCue.nameArea, Rect (22, 0, 230, 28));
    EXPECT_EQ (withCue.tickArea, Rect (252, 0, 248, 28));
    ASSERT_EQ (withCue.columns.size(), 3u);
    EXPECT_EQ (withCue.columns[2], Rect (252 + 232 - 40, 0, 116, 28));

    const auto parts = StemNameAreaParts::split (plain.nameArea);
    EXPECT_EQ (parts.colourBar, Rect (0, 3, 6, 22));
    EXPECT_EQ (parts.name, Rect (12, 0, 500 - 12 - 8 - 74, 28));
    EXPECT_EQ (parts.code, Rect (500 - 8 - 74, 0, 74, 28));
    EXPECT_EQ (StemNameAreaParts::renameEditorBounds (plain.nameArea, 28), Rect (12, 0, 500 - 12 - 74, 28));

    EXPECT_EQ (stemRowText (3, "Bass"), "03  Bass");
    EXPECT_EQ (stemRowText (256, "Last"), "256  Last");
}

TEST (StemListGeometry, MovesAndDropRows)
{
    const struct { int from, insertion, count, target; } moves[] = {
        { 2, 4, 6, 3 },  // below row 3: lands at index 3
        { 2, 2, 6, -1 }, // either boundary next to itself changes nothing
        { 2, 3, 6, -1 },
        { 2, 0, 6, 0 },
        { 0, 6, 6, 5 },
        { 5, 6, 6, -1 },
        { 6, 0, 6, -1 }, // no such row
        { -1, 0, 6, -1 },
    };

    for (const auto& m : moves)
        EXPECT_EQ (StemMoves::dropTarget (m.from, m.insertion, m.count), m.target) << m.from << " to " << m.insertion;

    EXPECT_EQ (StemMoves::insertionRowAt (0, 28, 0, 6), 0);
    EXPECT_EQ (StemMoves::insertionRowAt (13, 28, 0, 6), 0);
    EXPECT_EQ (StemMoves::insertionRowAt (14, 28, 0, 6), 1);
    EXPECT_EQ (StemMoves::insertionRowAt (14, 28, 56, 6), 3);
    EXPECT_EQ (StemMoves::insertionRowAt (1000, 28, 0, 6), 6);
    EXPECT_EQ (StemMoves::insertionRowAt (-50, 28, 0, 6), 0);

    EXPECT_EQ (StemMoves::dropLineY (0, 28, 0, 200), 0);
    EXPECT_EQ (StemMoves::dropLineY (3, 28, 0, 200), 84);
    EXPECT_EQ (StemMoves::dropLineY (10, 28, 0, 200), 198);
}

TEST (StemListGeometry, FocusWrapsAndSkipsMembersThatCannotTakeIt)
{
    const auto all = [] (int) { return true; };
    EXPECT_EQ (nextFocusIndex (3, 6, true, all), 4);
    EXPECT_EQ (nextFocusIndex (5, 6, true, all), 0);
    EXPECT_EQ (nextFocusIndex (0, 6, false, all), 5);

    const auto notFour = [] (int i) { return i != 4; };
    EXPECT_EQ (nextFocusIndex (3, 6, true, notFour), 5);
    EXPECT_EQ (nextFocusIndex (5, 6, false, notFour), 3);

    const auto onlyItself = [] (int i) { return i == 2; };
    EXPECT_EQ (nextFocusIndex (2, 6, true, onlyItself), 2);
    EXPECT_EQ (nextFocusIndex (2, 1, true, all), 2);
}

TEST (PresetPageTexts, LibraryButtonStates)
{
    PresetLibraryEntry builtIn;
    builtIn.isBuiltIn = true;
    PresetLibraryEntry user;

    const struct { const PresetLibraryEntry* entry; bool save, rename, remove; } cases[] = {
        { &builtIn, false, false, false },
        { &user, true, true, true },
        { nullptr, true, false, false },
    };

    for (const auto& c : cases)
    {
        const auto states = LibraryButtonStates::forEntry (c.entry);
        EXPECT_EQ (states.save, c.save);
        EXPECT_EQ (states.rename, c.rename);
        EXPECT_EQ (states.remove, c.remove);
    }
}

TEST (PresetPageTexts, NameClashesAndRenaming)
{
    StemSchema schema;
    const auto bassId = schema.addStem (stemNamed ("Bass")).id;
    const auto voxId = schema.addStem (stemNamed ("LeadVox")).id;
    const auto padId = schema.addStem (stemNamed ("Pads", "Synth Pads")).id;

    const auto same = NameClash::find (schema, " bass", padId);
    EXPECT_EQ (same.kind, NameClash::Kind::same);
    EXPECT_EQ (same.title, "That name is already taken");
    EXPECT_EQ (same.message, "Stem 01 is already called 'Bass'.\n\nBoth would be written as 'Bass', so they would produce the same "
                             "file name and the second would overwrite the first.\n\nUse the name anyway?");

    // Renaming a stem to its own name in other letter case clashes with nobody.
    EXPECT_EQ (NameClash::find (schema, "BASS", bassId).kind, NameClash::Kind::none);

    // The file-name token counts as a name.
    EXPECT_EQ (NameClash::find (schema, "synth pads", bassId).kind, NameClash::Kind::same);

    const auto similar = NameClash::find (schema, "Lead Vox", padId);
    EXPECT_EQ (similar.kind, NameClash::Kind::similar);
    EXPECT_EQ (similar.title, "Another stem is nearly called that");
    EXPECT_EQ (similar.message, "Stem 02 is called 'LeadVox', which is the same name apart from spacing.\n\nThese are two different "
                                "stems and both will be written, as 'LeadVox' and 'Lead Vox'.\n\nIs that what you want?");
    EXPECT_EQ (NameClash::find (schema, "Lead Vox", voxId).kind, NameClash::Kind::none);

    // The token follows the name only when it was written exactly as the name.
    const struct { const char* name; const char* token; const char* newToken; } renames[] = {
        { "Bass", "Bass", "Low End" },
        { "Bass", "", "" },
        { "Bass", "bass", "bass" },
        { "Bass", "BS", "BS" },
    };

    for (const auto& r : renames)
    {
        auto stem = stemNamed (r.name, r.token);
        renameStem (stem, "Low End");
        EXPECT_EQ (stem.displayName, "Low End");
        EXPECT_EQ (stem.fileNameToken, r.newToken) << r.token;
    }
}

TEST (PresetPageTexts, QuestionsAndFileNames)
{
    StemSchema schema;
    const auto a = schema.addStem (stemNamed ("Drums")).id;
    const auto b = schema.addStem (stemNamed ("Bass")).id;

    EXPECT_EQ (PresetPageTexts::deleteStemsTitle (schema, { a }), "Delete the stem 'Drums'?");
    EXPECT_EQ (PresetPageTexts::deleteStemsTitle (schema, { "gone" }), "Delete the stem ''?");
    EXPECT_EQ (PresetPageTexts::deleteStemsTitle (schema, { a, "gone", b }), "Delete 3 stems?  Drums, Bass");
    EXPECT_TRUE (PresetPageTexts::deleteAllStemsMessage (1).startsWith ("This removes all 1 stems from this preset,"));
    EXPECT_EQ (PresetPageTexts::deleteMenuItem (1), "Delete");
    EXPECT_EQ (PresetPageTexts::deleteMenuItem (3), "Delete 3 stems");

    EXPECT_EQ (PresetPageTexts::statusText (true), "Unsaved changes in this session");
    EXPECT_EQ (PresetPageTexts::statusText (false), "");

    EXPECT_EQ (PresetPageTexts::exportFileName ("My Publisher"), "My Publisher.dunmoor.json");
    EXPECT_EQ (PresetPageTexts::exportFileName ("Film/TV: Main"), "Film-TV- Main.dunmoor.json");
    EXPECT_EQ (PresetPageTexts::exportFileName ("  ..  "), "preset.dunmoor.json");
}

// Selecting a stem used to commit whatever the fields held: notes vanished, a priority of 500
// became 100, and a rule's mode could flip.
TEST (StemFieldEdits, UntouchedFieldsNeverRewriteTheStem)
{
    const auto example = makeHybridOrchestraExamplePreset();

    for (const auto& original : example.schema.stems)
    {
        auto stem = original;
        const auto shown = StemFieldTexts::of (stem);
        EXPECT_FALSE (applyStemFieldEdits (stem, shown, shown)) << stem.displayName;
        EXPECT_EQ (stem, original) << stem.displayName;
    }

    auto stem = example.schema.stems[0];
    stem.priority = 500;
    const auto shown = StemFieldTexts::of (stem);
    EXPECT_EQ (shown.priority, 100);

    auto typed = shown;
    typed.name = "Renamed  ";
    EXPECT_TRUE (applyStemFieldEdits (stem, shown, typed));
    EXPECT_EQ (stem.displayName, "Renamed");
    EXPECT_EQ (stem.priority, 500);

    // Changing the rules keeps the notes of the rules that still read the same.
    const auto it = std::find_if (example.schema.stems.begin(), example.schema.stems.end(), [] (const Stem& s)
                                  { return std::any_of (s.rules.begin(), s.rules.end(), [] (const KeywordRule& r) { return r.note.isNotEmpty(); }); });
    ASSERT_NE (it, example.schema.stems.end());
    auto noted = *it;
    const auto notedShown = StemFieldTexts::of (noted);
    auto moreRules = notedShown;
    moreRules.rules << ", waterphone";
    EXPECT_TRUE (applyStemFieldEdits (noted, notedShown, moreRules));
    ASSERT_EQ (noted.rules.size(), it->rules.size() + 1);

    for (size_t i = 0; i < it->rules.size(); ++i)
        EXPECT_EQ (noted.rules[i], it->rules[i]);

    EXPECT_EQ (noted.rules.back().pattern, "waterphone");
}

TEST (StemFieldEdits, EachFieldIsReadBackAsStored)
{
    Stem stem;
    stem.displayName = "Bass";
    stem.shortCode = "BS";
    const auto shown = StemFieldTexts::of (stem);

    const struct { const char* what; std::function<void (StemFieldTexts&)> edit; std::function<bool (const Stem&)> check; bool changed; } cases[] = {
        { "blank name keeps the old one", [] (StemFieldTexts& t) { t.name = "   "; }, [] (const Stem& s) { return s.displayName == "Bass"; }, false },
        { "same name with spaces", [] (StemFieldTexts& t) { t.name = " Bass "; }, [] (const Stem& s) { return s.displayName == "Bass"; }, false },
        { "code trimmed", [] (StemFieldTexts& t) { t.shortCode = " BSS "; }, [] (const Stem& s) { return s.shortCode == "BSS"; }, true },
        { "code cleared", [] (StemFieldTexts& t) { t.shortCode = ""; }, [] (const Stem& s) { return s.shortCode.isEmpty(); }, true },
        { "token", [] (StemFieldTexts& t) { t.token = "Low"; }, [] (const Stem& s) { return s.fileNameToken == "Low"; }, true },
        { "priority", [] (StemFieldTexts& t) { t.priority = -7; }, [] (const Stem& s) { return s.priority == -7; }, true },
        { "rules", [] (StemFieldTexts& t) { t.rules = "bass\nsub @5, bass synth !pad"; },
          [] (const Stem& s) { return s.rules.size() == 3 && s.rules[1].priority == 5 && s.rules[2].mode == MatchMode::phrase && s.rules[2].excludes == juce::StringArray ("pad"); }, true },
        { "empty exclusion entries", [] (StemFieldTexts& t) { t.exclusions = "choir,, vox ,"; }, [] (const Stem& s) { return s.excludeKeywords == juce::StringArray ("choir", "vox"); }, true },
        { "an exclusion twice", [] (StemFieldTexts& t) { t.exclusions = "vox, vox"; }, [] (const Stem& s) { return s.excludeKeywords == juce::StringArray ("vox", "vox"); }, true },
        { "line breaks", [] (StemFieldTexts& t) { t.exclusions = "a\r\nb\rc\nd"; }, [] (const Stem& s) { return s.excludeKeywords == juce::StringArray ("a", "b", "c", "d"); }, true },
        { "only separators", [] (StemFieldTexts& t) { t.exclusions = " , \n"; }, [] (const Stem& s) { return s.excludeKeywords.isEmpty(); }, false },
    };

    for (const auto& c : cases)
    {
        auto edited = stem;
        auto now = shown;
        c.edit (now);
        EXPECT_EQ (applyStemFieldEdits (edited, shown, now), c.changed) << c.what;
        EXPECT_TRUE (c.check (edited)) << c.what;
    }

    // Reader limits: 256 exclusions of at most 4096 characters.
    juce::StringArray many;

    for (int i = 0; i < 300; ++i)
        many.add ("w" + juce::String (i));

    EXPECT_EQ (parseExclusionText (many.joinIntoString (",")).size(), 256);
    EXPECT_EQ (parseExclusionText (juce::String::repeatedString ("x", 5000))[0].length(), 4096);
}

// A project field focused while another preset was loaded used to write all four of its stale
// values into the new preset when it lost the focus.
TEST (StemFieldEdits, ProjectFieldsWriteOnlyWhatWasTyped)
{
    PresetMetadata old { "Old Pub", "OLD", {}, "Old Composer", "v1" };
    const auto shown = ProjectFieldTexts::of (old);

    PresetMetadata loaded { "New Pub", "NEW", "cue", "New Composer", "v9" };
    auto typed = shown;
    typed.publisher = "  Typed Pub ";
    EXPECT_TRUE (applyProjectFieldEdits (loaded, shown, typed));
    EXPECT_EQ (loaded.publisher, "Typed Pub");
    EXPECT_EQ (loaded.project, "NEW");
    EXPECT_EQ (loaded.composer, "New Composer");
    EXPECT_EQ (loaded.version, "v9");
    EXPECT_EQ (loaded.cue, "cue");

    auto same = old;
    EXPECT_FALSE (applyProjectFieldEdits (same, shown, shown));
    auto spaced = shown;
    spaced.version = " v1 ";
    EXPECT_FALSE (applyProjectFieldEdits (same, shown, spaced));
}

} // namespace dunmoor::ui
