#include "ReviewPage.h"

#include <unordered_set>

#include "ui/pages/AssignMenu.h"
#include "ui/pages/review/ReviewAudition.h"
#include "ui/pages/review/TrackDragDescription.h"
#include "ui/look/Theme.h"

namespace dunmoor::ui
{

namespace
{
    using IdSet = std::unordered_set<juce::String>;

    /** Each channel moved toward white: 255 - (255 - c) / (1 + amount). */
    juce::Colour brightenedBy (juce::Colour colour, float amount)
    {
        const auto lift = [amount] (juce::uint8 c)
        { return (juce::uint8) juce::roundToInt (255.0f - (255.0f - (float) c) / (1.0f + amount)); };

        return juce::Colour (lift (colour.getRed()), lift (colour.getGreen()), lift (colour.getBlue()), colour.getAlpha());
    }
} // namespace

//==============================================================================
class ReviewPage::RootNode : public juce::TreeViewItem
{
public:
    explicit RootNode (ReviewPage& p) : page (p) {}

    bool mightContainSubItems() override { return true; }
    juce::String getUniqueName() const override { return "root"; }
    int getItemHeight() const override { return 20; }

    // The tree hands a drop over an open heading with tracks, or below the last track of a
    // heading left of its indent, to the root: the row under the pointer says which stem.
    bool isInterestedInDragSource (const juce::DragAndDropTarget::SourceDetails& details) override
    {
        return ! getDraggedTrackIds (details.description).isEmpty();
    }

    void itemDropped (const juce::DragAndDropTarget::SourceDetails& details, int) override
    {
        page.dropTracksOnRowAt (details.description, details.localPosition.y);
    }

private:
    ReviewPage& page;
};

//==============================================================================
class ReviewPage::StemNode : public juce::TreeViewItem
{
public:
    StemNode (ReviewPage& p, const ReviewHeading& heading)
        : stemId (heading.stemId), page (p), title (heading.title), uniqueName (heading.getUniqueName()), colour (juce::Colour (heading.colour))
    {
        setOpen (true);
    }

    const juce::String stemId;

    bool mightContainSubItems() override { return getNumSubItems() > 0; }
    juce::String getUniqueName() const override { return uniqueName; }
    int getItemHeight() const override { return 34; }

    void paintItem (juce::Graphics& g, int width, int height) override
    {
        const auto& palette = currentPalette();
        const auto w = (float) width;
        const auto h = (float) height;
        const auto level = page.auditionStrip.getMeterLevel (stemId);
        const auto peak = page.auditionStrip.getMeterPeak (stemId);

        const auto band = isSelected() ? selectionTint (palette.raisedBackground, false) : palette.raisedBackground;
        g.setColour (band);
        g.fillRect (0.0f, 2.0f, w, h - 4.0f);

        if (level > 0.001f)
        {
            const auto length = (float) juce::roundToInt (w * level);
            g.setGradientFill (juce::ColourGradient (colour.withAlpha (0.06f), 0.0f, 0.0f, colour.withAlpha (0.34f), length, 0.0f, false));
            g.fillRect (0.0f, 2.0f, length, h - 4.0f);
            g.setColour (colour.withAlpha (0.85f));
            g.fillRect (length - 2.0f, 2.0f, 2.0f, h - 4.0f);
        }

        if (peak > level + 0.004f)
        {
            g.setColour (brightenedBy (colour, 0.6f));
            g.fillRect (w * peak - 2.0f, 4.0f, 2.0f, h - 8.0f);
        }

        const auto chipWidth = juce::jmin (5.0f, w);
        const juce::Rectangle<float> chip (0.0f, 3.0f, chipWidth, juce::jmax (0.0f, h - 6.0f));

        if (level > 0.001f)
        {
            for (int n = 3; n >= 1; --n)
            {
                g.setColour (colour.withAlpha (level * 0.16f / (float) n));
                g.fillRoundedRectangle (chip.expanded (1.6f * (float) n), 3.0f);
            }
        }

        g.setColour (brightenedBy (colour, level * 0.9f));
        g.fillRoundedRectangle (chip, 2.0f);

        auto text = juce::Rectangle<int> (0, 0, width, height).withTrimmedLeft ((int) chipWidth + 6);
        const auto countArea = text.removeFromRight (juce::jmin (150, text.getWidth()));

        g.setFont (fontBold16());
        g.setColour (palette.textPrimary);
        g.drawText (title, text, juce::Justification::centredLeft, true);

        g.setFont (fontPlain13());
        g.setColour (palette.textSecondary);
        g.drawText (describeTrackCount (getNumSubItems()), countArea.withTrimmedRight (6), juce::Justification::centredRight, true);
    }

    void itemClicked (const juce::MouseEvent& e) override
    {
        if (! e.mods.isPopupMenu())
            return;

        if (! isSelected())
            setSelected (true, true);

        page.showStemMenu();
    }

    // The framework's double-click opens or closes the heading; here it plays the stem.
    void itemDoubleClicked (const juce::MouseEvent&) override
    {
        setSelected (true, true);
        page.auditionSelection();
    }

    void itemSelectionChanged (bool) override { page.handleSelectionChanged(); }

    juce::String getTooltip() override
    {
        if (stemId.isEmpty())
            return "Tracks the engine could not place. Drag them onto a stem.";

        return "Click to select the whole stem, then press Track to hear its tracks summed. Double-click does the same.\n"
               "Right-click for the stem order and for expanding everything at once.";
    }

    bool isInterestedInDragSource (const juce::DragAndDropTarget::SourceDetails& details) override
    {
        return ! getDraggedTrackIds (details.description).isEmpty();
    }

    void itemDropped (const juce::DragAndDropTarget::SourceDetails& details, int) override
    {
        page.dropTracks (details.description, stemId);
    }

private:
    ReviewPage& page;
    const juce::String title;
    const juce::String uniqueName;
    const juce::Colour colour;
};

//==============================================================================
class ReviewPage::TrackNode : public juce::TreeViewItem
{
public:
    TrackNode (ReviewPage& p, const juce::String& id) : trackId (id), page (p) {}

    const juce::String trackId;

    bool mightContainSubItems() override { return false; }
    juce::String getUniqueName() const override { return "track:" + trackId; }
    int getItemHeight() const override { return 28; }

    void paintItem (juce::Graphics& g, int width, int height) override
    {
        const auto* track = page.session.findTrack (trackId);

        if (track == nullptr)
            return;

        const auto& palette = currentPalette();

        if (isSelected())
        {
            g.setColour (palette.accent.withAlpha (0.25f));
            g.fillAll();
        }

        const auto confidenceColour = colourForConfidence (track->confidence);
        const juce::Rectangle<int> badge (6, 4, juce::jmax (0, juce::jmin (width - 12, 78)), juce::jmax (0, height - 8));
        g.setColour (confidenceColour.withAlpha (0.22f));
        g.fillRoundedRectangle (badge.toFloat(), 3.0f);
        g.setColour (confidenceColour);
        g.setFont (fontPlain12());
        g.drawText (assignmentBadgeText (track->source, track->confidence), badge, juce::Justification::centred, true);

        auto rest = juce::Rectangle<int> (0, 0, width, height).withTrimmedLeft (badge.getRight() + 6);

        if (track->source == AssignmentSource::locked)
        {
            const auto lockBox = rest.removeFromLeft (juce::jmin (18, rest.getWidth()));
            g.setColour (palette.accent);
            g.setFont (fontPlain13());
            g.drawText ("L", lockBox, juce::Justification::centred, false);
        }

        const auto noteArea = rest.removeFromRight (juce::jmin (rest.getWidth() / 2, 280));
        const auto readable = track->isReadable();

        g.setFont (fontPlain14_5());
        g.setColour (readable ? palette.textPrimary : palette.bad);
        const auto severalCuesShown = page.cueChoice.isVisible() && page.cueChoice.getChosenKey().isEmpty();
        g.drawText (buildTrackRowName (page.session, *track, severalCuesShown), rest, juce::Justification::centredLeft, true);

        g.setFont (fontPlain13());
        g.setColour (palette.textSecondary);
        g.drawText (readable ? track->matchedKeywords.joinIntoString (", ") : track->error,
                    noteArea.withTrimmedRight (6), juce::Justification::centredRight, true);
    }

    void itemClicked (const juce::MouseEvent& e) override
    {
        if (! e.mods.isPopupMenu())
            return;

        if (! isSelected())
            setSelected (true, true);

        page.buildAssignMenu (true);
    }

    void itemDoubleClicked (const juce::MouseEvent&) override { page.auditionStrip.auditionTrack (trackId); }

    void itemSelectionChanged (bool) override { page.handleSelectionChanged(); }

    juce::String getTooltip() override
    {
        if (const auto* track = page.session.findTrack (trackId))
            return track->file.getFullPathName() + "\n" + track->reason;

        return {};
    }

    juce::var getDragSourceDescription() override
    {
        return makeTrackDragDescription (trackIdsToDrag (trackId, page.getSelectedTrackIds()));
    }

private:
    ReviewPage& page;
};

//==============================================================================
ReviewPage::ReviewPage (AppState& appState)
    : app (appState),
      session (appState.session),
      auditionStrip (appState, cueChoice, { [this] { return getSelectedTrackIds(); }, [this] { return getTrackPreviewKey(); } })
{
    setTitle ("Review");

    rerunButton.setTooltip ("Run the keyword engine again over every cue. Locked assignments are left alone; tracks you assigned by hand are replaced only after a question.");
    assignButton.setTooltip ("Move every selected track to one stem.");
    lockButton.setTooltip ("Pin the selected assignments so automatic passes cannot change them.");
    ruleButton.setTooltip ("Turn a correction into a keyword rule in this session's preset. The preset library is only changed when you save it.");
    cueBox.setTooltip ("Which cue this page is about. Each one is a separate delivery, so what you hear here is what that cue alone will contain.");

    for (auto* button : { &rerunButton, &undoButton, &redoButton, &assignButton, &lockButton, &unlockButton, &ruleButton, &expandButton, &collapseButton })
        button->setTitle (button->getButtonText());

    filterBox.setTitle ("Show");
    cueBox.setTitle ("Cue");
    statusLabel.setTitle ("Status");
    tree.setTitle ("Stems and tracks");
    filterLabel.setTitle ("Show");
    cueLabel.setTitle ("Cue");

    for (auto* label : { &filterLabel, &cueLabel })
        label->setJustificationType (juce::Justification::centredRight);

    for (auto* label : { &filterLabel, &cueLabel, &statusLabel })
        setLabelTone (*label, LabelTone::secondary);

    filterBox.addItem ("Everything", 1);
    filterBox.addItem ("Needs attention", 2);
    filterBox.addItem ("Unassigned only", 3);
    filterBox.addItem ("Ambiguous only", 4);
    filterBox.setSelectedId (1, juce::dontSendNotification);

    rerunButton.onClick = [this] { rerunAutoAssign(); };
    undoButton.onClick = [this] { session.undo(); };
    redoButton.onClick = [this] { session.redo(); };
    assignButton.onClick = [this] { buildAssignMenu (false); };
    lockButton.onClick = [this] { session.setTracksLocked (getSelectedTrackIds(), true); };
    unlockButton.onClick = [this] { session.setTracksLocked (getSelectedTrackIds(), false); };
    ruleButton.onClick = [this] { showRuleMenu(); };
    expandButton.onClick = [this] { setAllHeadingsOpen (true); };
    collapseButton.onClick = [this] { setAllHeadingsOpen (false); };

    filterBox.onChange = [this]
    {
        filter = reviewFilterFromBoxId (filterBox.getSelectedId());
        rebuildTree();
    };

    cueBox.onChange = [this]
    {
        cueChoice.choose (cueBox.getSelectedId());
        app.previewEngine.stop();
        rebuildTree();
        updateStatusLine();
        auditionStrip.refreshWaveform();
    };

    auditionStrip.onMixChosen = [this] { updateStatusLine(); };
    auditionStrip.onMetersMoved = [this] { tree.repaint(); };
    auditionStrip.onWarning = [this] (const juce::String& title, const juce::String& message) { app.seams->showWarning (title, message, this); };

    tree.setDefaultOpenness (true);
    tree.setMultiSelectEnabled (true);
    tree.setRootItemVisible (false);
    tree.setIndentSize (18);
    applyTreeColours();
    root = std::make_unique<RootNode> (*this);
    tree.setRootItem (root.get());

    addAllAndMakeVisible (*this, { &tree, &rerunButton, &undoButton, &redoButton, &assignButton, &lockButton, &unlockButton, &ruleButton, &expandButton, &collapseButton, &filterBox, &filterLabel, &cueBox, &cueLabel, &auditionStrip, &statusLabel });

    session.addListener (this);
    rebuildTree();
    startTimerHz (10);
}

ReviewPage::~ReviewPage()
{
    stopTimer();
    session.removeListener (this);
    tree.setRootItem (nullptr);
}

//==============================================================================
void ReviewPage::applyTreeColours()
{
    // Rows draw their own selection; the open/close arrows must stand out from the rows.
    tree.setColour (juce::TreeView::selectedItemBackgroundColourId, juce::Colours::transparentBlack);
    tree.setColour (juce::TreeView::linesColourId, currentPalette().textSecondary);
}

void ReviewPage::lookAndFeelChanged()
{
    applyTreeColours();
}

void ReviewPage::paint (juce::Graphics& g)
{
    g.fillAll (currentPalette().windowBackground);
}

void ReviewPage::resized()
{
    auto area = getLocalBounds().reduced (12);

    auto toolbar = area.removeFromTop (30);

    // Each control takes its width from one end of a row (cut to what is left), at its own top
    // and height within the row (the row's whole height when none is given), then a gap.
    const auto take = [] (juce::Component& c, juce::Rectangle<int>& row, bool fromLeft, int width, int gap, int top = 0, int height = -1)
    {
        auto slot = fromLeft ? row.removeFromLeft (juce::jmin (width, row.getWidth()))
                             : row.removeFromRight (juce::jmin (width, row.getWidth()));
        c.setBounds (height < 0 ? slot : slot.withTrimmedTop (top).withHeight (height));

        if (fromLeft)
            row.removeFromLeft (juce::jmin (gap, row.getWidth()));
        else
            row.removeFromRight (juce::jmin (gap, row.getWidth()));
    };

    // The left group keeps its widths; on a narrow page the cue choice gives way.
    constexpr int leftGroupWidth = 150 + 5 + 64 + 5 + 64 + 12 + 110 + 5 + 64 + 5 + 74 + 5 + 130;

    take (filterBox, toolbar, false, 160, 0);
    take (filterLabel, toolbar, false, 46, 0);

    if (cueBox.isVisible())
    {
        toolbar.removeFromRight (juce::jmin (12, toolbar.getWidth()));
        take (cueBox, toolbar, false, juce::jlimit (0, 200, toolbar.getWidth() - leftGroupWidth - 12 - 40), 0);
        take (cueLabel, toolbar, false, 40, 0);
    }

    take (rerunButton, toolbar, true, 150, 5);
    take (undoButton, toolbar, true, 64, 5);
    take (redoButton, toolbar, true, 64, 12);
    take (assignButton, toolbar, true, 110, 5);
    take (lockButton, toolbar, true, 64, 5);
    take (unlockButton, toolbar, true, 74, 5);
    take (ruleButton, toolbar, true, 130, 0);

    area.removeFromTop (6);
    const auto audition = area.removeFromTop (38);

    // The strip's buttons take the left of the row first, the tree's two buttons its right end,
    // and the strip's waveform what lies between.
    auto right = audition.withTrimmedLeft (juce::jmin (ReviewAuditionStrip::buttonsWidth, audition.getWidth()));
    take (collapseButton, right, false, 110, 5, 4, 30);
    take (expandButton, right, false, 100, 12, 4, 30);
    auditionStrip.setBounds (audition.withRight (right.getRight()));

    area.removeFromTop (6);
    statusLabel.setBounds (area.removeFromBottom (juce::jmin (22, area.getHeight())));
    area.removeFromBottom (juce::jmin (6, area.getHeight()));
    tree.setBounds (area);
}

//==============================================================================
void ReviewPage::timerCallback()
{
    if (sessionChanged)
    {
        sessionChanged = false;
        rebuildTree();
    }
    else
    {
        updateStatusLine();
    }

    auditionStrip.tick();
}

//==============================================================================
void ReviewPage::rebuildTree()
{
    const juce::ScopedValueSetter<bool> guard (rebuilding, true);
    ++rebuildCount;

    refreshCueChoices();
    auditionStrip.refreshMixChoices();

    // What the user sees stays: closed headings, the selection (tracks by id, so a track that
    // moved to another stem stays selected; headings by stem) and the scroll position.
    IdSet closedHeadings, selectedHeadings, selectedTracks;

    for (int i = 0; i < root->getNumSubItems(); ++i)
    {
        auto* heading = static_cast<StemNode*> (root->getSubItem (i));

        if (! heading->isOpen())
            closedHeadings.insert (heading->getUniqueName());

        if (heading->isSelected())
            selectedHeadings.insert (heading->getUniqueName());

        for (int j = 0; j < heading->getNumSubItems(); ++j)
            if (auto* row = heading->getSubItem (j); row->isSelected())
                selectedTracks.insert (static_cast<TrackNode*> (row)->trackId);
    }

    const auto scrollY = tree.getViewport()->getViewPositionY();

    selectionCache.reset();
    root->clearSubItems();

    const auto headings = buildReviewHeadings (session, app.isStemsAlphabetical(), filter, cueChoice.getChosenKey(), currentPalette().bad.getARGB());

    for (const auto& heading : headings)
    {
        // Rows go under the heading before it joins the tree, so no row asks for a relayout.
        auto node = std::make_unique<StemNode> (*this, heading);

        for (const auto& id : heading.trackIds)
        {
            auto row = std::make_unique<TrackNode> (*this, id);

            if (selectedTracks.count (id) > 0)
                row->setSelected (true, false, juce::dontSendNotification);

            node->addSubItem (row.release());
        }

        if (closedHeadings.count (node->getUniqueName()) > 0)
            node->setOpen (false);

        if (selectedHeadings.count (node->getUniqueName()) > 0)
            node->setSelected (true, false, juce::dontSendNotification);

        root->addSubItem (node.release());
    }

    juce::XmlElement scroll ("OPEN");
    scroll.setAttribute ("id", "root");
    scroll.setAttribute ("scrollPos", scrollY);
    for (const auto& name : closedHeadings)
        scroll.createNewChildElement ("CLOSED")->setAttribute ("id", name);
    tree.restoreOpennessState (scroll, false);

    updateStatusLine();
    handleSelectionChanged();
}

void ReviewPage::refreshCueChoices()
{
    const auto change = cueChoice.refresh (session);

    if (change.refilled || cueBox.getNumItems() != (cueChoice.isVisible() ? (int) cueChoice.getEntries().size() + 1 : 0))
    {
        cueBox.clear (juce::dontSendNotification);

        if (cueChoice.isVisible())
        {
            cueBox.addItem ("All cues", 1);
            int id = 2;
            for (const auto& entry : cueChoice.getEntries())
                cueBox.addItem (entry.text, id++);
        }
    }

    if (cueChoice.isVisible())
        cueBox.setSelectedId (cueChoice.getSelectedBoxId(), juce::dontSendNotification);

    if (change.visibilityChanged || cueBox.isVisible() != cueChoice.isVisible())
    {
        cueBox.setVisible (cueChoice.isVisible());
        cueLabel.setVisible (cueChoice.isVisible());
        resized();
    }
}

void ReviewPage::updateStatusLine()
{
    const auto selected = getSelectedTrackIds();
    auto& engine = app.previewEngine;
    const auto e = computeReviewEnablement (session.getUndoIndex(), session.getNumUndoStates(), selected.size(), engine.isAudioAvailable(), ! auditionStrip.getMixFiles().isEmpty());

    undoButton.setEnabled (e.undo);
    redoButton.setEnabled (e.redo);
    for (auto* b : { &assignButton, &lockButton, &unlockButton, &ruleButton })
        b->setEnabled (e.selectionActions);
    auditionStrip.setButtonsEnabled (e.track, e.mix);

    const auto text = buildReviewStatusText (session, cueChoice.getChosenKey());
    if (statusLabel.getText() != text)
        statusLabel.setText (text, juce::dontSendNotification);
}

juce::StringArray ReviewPage::getSelectedTrackIds() const
{
    // Every selection change comes through handleSelectionChanged and every new set of rows
    // through rebuildTree, which both drop this copy; a tick with 2048 rows selected then costs
    // no walk of the tree.
    if (selectionCache.has_value())
        return selectionCache->ids;

    juce::StringArray ids;
    IdSet seen;

    for (int i = 0; i < root->getNumSubItems(); ++i)
    {
        const auto* heading = root->getSubItem (i);
        const auto whole = heading->isSelected();

        for (int j = 0; j < heading->getNumSubItems(); ++j)
            if (auto* row = heading->getSubItem (j); whole || row->isSelected())
                if (const auto& id = static_cast<TrackNode*> (row)->trackId; seen.insert (id).second)
                    ids.add (id);
    }

    selectionCache = SelectionCache { ids, makeTrackPreviewKey (ids) };
    return ids;
}

void ReviewPage::handleSelectionChanged()
{
    selectionCache.reset();

    // A track audition that no longer matches the selection stops; a mix plays on. While the
    // tree is rebuilt the selection is only being restored, so nothing stops then.
    auto& engine = app.previewEngine;

    if (! rebuilding)
    {
        if (engine.getRequestedSourceId().startsWith ("track:") && ! engine.isActiveFor (getTrackPreviewKey()))
            engine.stop();

        // The buttons follow the selection at once rather than at the next tick.
        updateStatusLine();
    }

    auditionStrip.refreshWaveform();
}

void ReviewPage::setAllHeadingsOpen (bool open)
{
    for (int i = 0; i < root->getNumSubItems(); ++i)
        root->getSubItem (i)->setOpen (open);
}

void ReviewPage::toggleAlphabeticalStems (bool alphabetical)
{
    if (alphabetical != app.isStemsAlphabetical())
    {
        app.setStemsAlphabetical (alphabetical);
        rebuildTree();
    }
}

void ReviewPage::dropTracksOnRowAt (const juce::var& description, int y)
{
    auto* item = tree.getItemAt (y);

    if (auto* row = dynamic_cast<TrackNode*> (item))
        item = row->getParentItem();

    if (auto* heading = dynamic_cast<StemNode*> (item))
        dropTracks (description, heading->stemId);
}

void ReviewPage::dropTracks (const juce::var& description, const juce::String& stemId)
{
    const auto ids = getDraggedTrackIds (description);

    if (! ids.isEmpty())
        session.assignTracks (ids, stemId, false);
}

//==============================================================================
juce::String ReviewPage::getTrackPreviewKey() const
{
    getSelectedTrackIds();
    return selectionCache->previewKey;
}

//==============================================================================
void ReviewPage::showInformation (const juce::String& title, const juce::String& message)
{
    MessageBoxRequest request;
    request.icon = juce::MessageBoxIconType::InfoIcon;
    request.title = title;
    request.message = message;
    request.associatedComponent = this;
    app.seams->showMessageBox (request, {});
}

void ReviewPage::rerunAutoAssign()
{
    const auto manual = session.countManualAssignments();

    if (manual == 0)
    {
        session.autoAssign();
        return;
    }

    // The one action that overwrites decisions the user made by hand says so first.
    MessageBoxRequest question;
    question.icon = juce::MessageBoxIconType::QuestionIcon;
    question.title = "Re-run auto assign";
    question.message = "Re-run the automatic assignment? It replaces " + juce::String (manual) + (manual == 1 ? " track" : " tracks")
                       + " you assigned by hand; locked tracks stay.\n\n" + (manual == 1 ? "Undo brings it back." : "Undo brings them back.");
    question.okText = "Re-run";
    question.associatedComponent = this;

    juce::Component::SafePointer<ReviewPage> safe (this);
    app.seams->askOkCancel (question, [safe] (bool confirmed)
    {
        if (safe != nullptr && confirmed)
            safe->session.autoAssign();
    });
}

void ReviewPage::showStemMenu()
{
    juce::PopupMenu menu;
    menu.addItem (1, "Sort stems alphabetically", true, app.isStemsAlphabetical());
    menu.addSeparator();
    menu.addItem (2, "Expand all");
    menu.addItem (3, "Collapse all");

    juce::Component::SafePointer<ReviewPage> safe (this);
    app.seams->showPopupMenu (menu, popupMenuOptionsFor (this).withTargetComponent (&tree), [safe] (int result)
    {
        if (safe == nullptr)
            return;

        if (result == 1)
            safe->toggleAlphabeticalStems (! safe->app.isStemsAlphabetical());
        else if (result == 2 || result == 3)
            safe->setAllHeadingsOpen (result == 2);
    });
}

void ReviewPage::showRuleMenu()
{
    const auto ids = getSelectedTrackIds();

    if (ids.isEmpty())
        return;

    const auto* track = session.findTrack (ids[0]);

    if (track == nullptr)
        return;

    const auto fileName = track->file.getFileName();

    if (track->stemId.isEmpty())
    {
        showInformation ("Assign it first", "Assign '" + fileName + "' to a stem, then save that correction as a rule.");
        return;
    }

    const auto candidates = session.suggestRuleKeywords (*track);

    if (candidates.isEmpty())
    {
        showInformation ("Nothing new to add", "Every usable word in '" + fileName + "' is already a rule somewhere in this schema.");
        return;
    }

    const auto stemId = track->stemId;
    const auto* stem = session.getPreset().schema.findStem (stemId);
    const auto stemName = stem != nullptr ? stem->displayName : juce::String();

    juce::PopupMenu menu;
    menu.addSectionHeader ("Add a keyword to " + stemName);
    for (int i = 0; i < candidates.size(); ++i)
        menu.addItem (i + 1, candidates[i]);

    juce::Component::SafePointer<ReviewPage> safe (this);
    app.seams->showPopupMenu (menu, popupMenuOptionsFor (this).withTargetComponent (&ruleButton), [safe, candidates, stemId, stemName] (int result)
    {
        if (safe == nullptr || result < 1 || result > candidates.size())
            return;

        const auto keyword = candidates[result - 1];

        MessageBoxRequest question;
        question.icon = juce::MessageBoxIconType::QuestionIcon;
        question.title = "Add this rule?";
        question.message = "'" + keyword + "' will be added to " + stemName + " in the preset loaded in this session.\n\n"
                           "The preset library on disk is not changed until you save the preset on the Preset page.";
        question.associatedComponent = safe.getComponent();

        safe->app.seams->askOkCancel (question, [safe, keyword, stemId] (bool ok)
        {
            if (safe == nullptr || ! ok)
                return;

            juce::String error;

            if (safe->session.addKeywordRule (stemId, keyword, error))
                safe->app.sendChangeMessage();
            else
                safe->app.seams->showWarning ("The rule was not added", error, safe.getComponent());
        });
    });
}

void ReviewPage::buildAssignMenu (bool fromTree)
{
    const auto ids = getSelectedTrackIds();

    if (ids.isEmpty())
        return;

    auto options = popupMenuOptionsFor (this);
    options = fromTree ? options.withMousePosition() : options.withTargetComponent (&assignButton);

    // The ids are the selection when the menu opened; a change while it is open moves nothing else.
    juce::Component::SafePointer<ReviewPage> safe (this);
    app.seams->showPopupMenu (ui::buildAssignMenu (app, ids.size(), false), options, [safe, ids] (int result)
    {
        if (safe == nullptr)
            return;

        handleAssignMenuItem (result, safe->app, safe.getComponent(), ids, [safe]
        {
            if (safe != nullptr)
                safe->toggleAlphabeticalStems (! safe->app.isStemsAlphabetical());
        });
    });
}

} // namespace dunmoor::ui
