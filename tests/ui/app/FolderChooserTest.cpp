#include <gtest/gtest.h>

#include "TestFolder.h"
#include "ui/FakeSeams.h"
#include "ui/UiTestSupport.h"
#include "ui/app/FolderChooser.h"

namespace dunmoor::testing
{
namespace
{
    TEST (FolderChooser, WhatOpenChoosesFromTheFieldAndTheList)
    {
        TemporaryFolder temp;
        const auto a = temp.file ("A");
        const auto b = temp.file ("B");
        ASSERT_TRUE (a.createDirectory() && b.createDirectory());
        const auto file = temp.make ("notes.txt", "x");

        struct Case
        {
            const char* what;
            juce::String typed;
            juce::Array<juce::File> selected;
            bool multiple;
            juce::Array<juce::File> folders;
            juce::File toCreate;
            bool usable;
        };

        const Case cases[] = {
            { "nothing typed or selected: the shown folder", "", {}, false, { temp.folder }, {}, true },
            { "an existing folder by name", "A", {}, false, { a }, {}, true },
            { "an existing folder by its path", b.getFullPathName(), {}, false, { b }, {}, true },
            { "a folder that is not there yet", " Deliveries ", {}, false, { temp.file ("Deliveries") }, temp.file ("Deliveries"), true },
            { "a file is no folder", "notes.txt", {}, false, {}, {}, false },
            { "two selected, several allowed", "A, B", { a, b }, true, { a, b }, {}, true },
            { "two selected, one allowed", "A, B", { a, b }, false, { a }, {}, true },
            { "a name typed over the selection wins", "New", { a }, true, { temp.file ("New") }, temp.file ("New"), true },
        };

        for (const auto& c : cases)
        {
            SCOPED_TRACE (c.what);
            const auto choice = ui::decideFolderChoice (temp.folder, c.typed, c.selected, c.multiple);
            EXPECT_EQ (choice.folders, c.folders);
            EXPECT_EQ (choice.toCreate, c.toCreate);
            EXPECT_EQ (choice.usable, c.usable);
        }

        EXPECT_TRUE (file.existsAsFile());
    }

    // The framework's own folder chooser greyed out Open for a folder typed that did not exist,
    // so a new delivery folder could not be made from the app.
    TEST (FolderChooser, ATypedFolderIsCreatedAfterTheQuestion)
    {
        TemporaryFolder temp;
        FakeSeams seams;
        juce::Array<juce::File> chosen;
        int calls = 0;

        ui::FolderChooserDialog dialog (seams, temp.folder, false, [&] (const juce::Array<juce::File>& folders) {
            chosen = folders;
            ++calls;
        });

        auto* field = dialog.getNameField();
        ASSERT_NE (field, nullptr);
        field->setText ("Deliveries", true);
        ASSERT_TRUE (pumpUntil ([&] { return dialog.getOpenButton().isEnabled(); }));

        const auto target = temp.file ("Deliveries");
        dialog.open();
        ASSERT_NE (seams.lastBox(), nullptr);
        EXPECT_EQ (seams.lastBox()->request.title, "Create the folder?");
        EXPECT_TRUE (seams.lastBox()->request.message.contains ("'Deliveries'")) << seams.lastBox()->request.message;

        seams.closeBox (false);
        EXPECT_FALSE (target.exists());
        EXPECT_EQ (calls, 0) << "the chooser stays open";

        dialog.open();
        seams.closeBox (true);
        EXPECT_TRUE (target.isDirectory());
        EXPECT_EQ (calls, 1);
        EXPECT_EQ (chosen, juce::Array<juce::File> { target });

        // A file where the folder would go: refused at once, nothing asked.
        const auto boxes = seams.boxes.size();
        temp.make ("Taken", "x");
        field->setText ("Taken", true);
        ASSERT_TRUE (pumpUntil ([&] { return ! dialog.getOpenButton().isEnabled(); }));
        dialog.open();
        EXPECT_EQ (seams.boxes.size(), boxes);
    }
} // namespace
} // namespace dunmoor::testing
