#pragma once

// A Review page on an application state with fake desktop seams and a fake sound card, over
// cues of generated tones, for the page's tests.

#include "TestFolder.h"
#include "audio/AudioTestFiles.h"
#include "ui/FakeSeams.h"
#include "ui/FreshLocations.h"
#include "ui/FindByTitle.h"
#include "ui/UiTestSupport.h"
#include "ui/app/AppState.h"
#include "ui/pages/review/ReviewPage.h"
#include "ui/pages/review/ReviewTestSupport.h"

namespace dunmoor::testing
{

inline std::shared_ptr<FakeAudioOutput> makeFakeOutput (const juce::String& openError = {}, double sampleRate = 48000.0)
{
    FakeAudioOutput::Settings settings;
    settings.openError = openError;
    settings.sampleRate = sampleRate;
    return std::make_shared<FakeAudioOutput> (settings);
}

/** The application state of a page test: fake seams (kept for answering) and a fake output. */
struct ReviewAppFixture
{
    explicit ReviewAppFixture (std::shared_ptr<FakeAudioOutput> output = makeFakeOutput())
        : seams (new FakeSeams (std::move (output))),
          app (std::unique_ptr<ui::Seams> (seams), freshLocations())
    {
    }

    juce::String id (const juce::String& fileName) const { return trackIdNamed (app.session, fileName); }
    juce::String stem (const juce::String& name) const { return stemIdNamed (app.session, name); }
    juce::String cueKey (int position) const { return app.session.getCuesWithTracks()[(size_t) position].key; }

    TemporaryFolder folder;
    FakeSeams* seams; // owned by app
    ui::AppState app;
};

/** importReviewCues on an application state, and a Review page of the main window's 1360 x 712 over it. */
struct ReviewPageFixture : ReviewAppFixture
{
    explicit ReviewPageFixture (std::shared_ptr<FakeAudioOutput> output = makeFakeOutput())
        : ReviewAppFixture (std::move (output))
    {
        importReviewCues (app.session, folder);
        page = std::make_unique<ui::ReviewPage> (app);
        page->setSize (1360, 712);
        page->tick();
        pumpMessages (20);
    }

    ~ReviewPageFixture()
    {
        page.reset();
        app.previewEngine.stop();
    }

    std::unique_ptr<ui::ReviewPage> page;
};

/** The page's tree rows, found by what they stand for. */
struct TreeRows
{
    explicit TreeRows (ui::ReviewPage& p) : page (p) {}

    juce::TreeView& tree() { return page.getTree(); }

    /** The heading of a stem ("stem:" + id), or of "Unassigned" for an empty id. */
    juce::TreeViewItem* heading (const juce::String& stemId)
    {
        const auto name = "stem:" + (stemId.isEmpty() ? juce::String ("unassigned") : stemId);
        auto* root = tree().getRootItem();

        for (int i = 0; i < root->getNumSubItems(); ++i)
            if (root->getSubItem (i)->getUniqueName() == name)
                return root->getSubItem (i);

        return nullptr;
    }

    juce::TreeViewItem* track (const juce::String& trackId)
    {
        auto* root = tree().getRootItem();

        for (int i = 0; i < root->getNumSubItems(); ++i)
            for (int j = 0; j < root->getSubItem (i)->getNumSubItems(); ++j)
                if (auto* row = root->getSubItem (i)->getSubItem (j); row->getUniqueName() == "track:" + trackId)
                    return row;

        return nullptr;
    }

    /** The heading a track row sits under, as its stem id ("?" when the row is missing). */
    juce::String stemOf (const juce::String& trackId)
    {
        auto* row = track (trackId);
        return row == nullptr ? juce::String ("?") : row->getParentItem()->getUniqueName().fromFirstOccurrenceOf ("stem:", false, false).replace ("unassigned", "");
    }

    /** The component that receives the tree's mouse events. */
    juce::Component& content() { return *tree().getViewport()->getViewedComponent(); }

    /** A point in the tree's own coordinates on the row: x pixels from its indented left edge
        (negative: left of it), at a fraction of its height. */
    juce::Point<int> pointOn (juce::TreeViewItem& item, int x, float heightFraction = 0.5f)
    {
        const auto area = item.getItemPosition (true);
        return { area.getX() + x, area.getY() + juce::roundToInt ((float) item.getItemHeight() * heightFraction) };
    }

    /** A click 40 pixels into the row, as the tree's content receives it. */
    void click (juce::TreeViewItem& item, juce::ModifierKeys mods = juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier))
    {
        const auto event = mouseEventAt (content(), onContent (item), mods);
        content().mouseDown (event);
        content().mouseUp (event);
    }

    void doubleClick (juce::TreeViewItem& item)
    {
        content().mouseDoubleClick (mouseEventAt (content(), onContent (item), juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier), 2));
    }

    juce::Point<float> onContent (juce::TreeViewItem& item)
    {
        const auto area = item.getItemPosition (false);
        return { (float) area.getX() + 40.0f, (float) area.getY() + (float) item.getItemHeight() * 0.5f };
    }

    /** Drops a drag description on the tree at a point in its own coordinates, as the
        framework's drag and drop would. */
    void drop (const juce::var& description, juce::Point<int> where)
    {
        tree().itemDropped (juce::DragAndDropTarget::SourceDetails (description, &tree(), where));
    }

    ui::ReviewPage& page;
};

/** Runs the page's tick and lets the tree lay out its rows. */
inline void tickAndSettle (ui::ReviewPage& page)
{
    page.tick();
    pumpMessages (20);
}

} // namespace dunmoor::testing
