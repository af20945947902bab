#include "PresetPage.h"

#include "PresetAudition.h"
#include "PresetPageTexts.h"
#include "StemAdditions.h"
#include "StemTemplateMenu.h"
#include "core/model/BuiltInPresets.h"
#include "ui/look/Theme.h"

namespace dunmoor::ui
{

namespace
{
    const char* const stemRowDragPrefix = "dunmoor.stemrow:";

    const char* const pluralTooltip =
        "Treat singular and plural as the same word, so a keyword written \"guitar\" also finds Guitars.wav and one "
        "written \"guitars\" also finds Guitar.wav. Applies to the exclusions as well.\n\nIt changes which files land "
        "in which stem, and that is not a change to make behind your back in a preset you rely on.";

    const char* const rulesTooltip =
        "Rules separated by commas; a new line works too.\n"
        "  boom, riser           two whole-word rules\n"
        "  sound design          a space inside a rule means a phrase\n"
        "  riser @50             rule priority\n"
        "  waterphone !choir     does not fire when 'choir' is present\n"
        "  brass !low !soft      one '!' per exclusion\n"
        "  ~piano                the whole file name must be exactly this\n"
        "  ?strings              approximate (only when fuzzy matching is on)";

    void setUpLabel (juce::Label& label, const juce::String& text, LabelTone tone, juce::Justification justification)
    {
        label.setText (text, juce::dontSendNotification);
        label.setTitle (text);
        label.setJustificationType (justification);
        setLabelTone (label, tone);
    }

    void setUpHeading (juce::Label& label, const juce::String& text, const juce::Font& font)
    {
        setUpLabel (label, text, LabelTone::primary, juce::Justification::centredLeft);
        label.setFont (font);
    }

    void setUpMultiLineField (juce::TextEditor& editor, const juce::String& title, const juce::String& placeholder,
                              const juce::String& tooltip)
    {
        editor.setMultiLine (true, true);
        editor.setReturnKeyStartsNewLine (true);
        editor.setFont (fontMono12());
        editor.setLineSpacing (1.25f);
        editor.setTitle (title);
        editor.setTooltip (tooltip);
        setPlaceholder (editor, placeholder);
    }

    int textButtonWidth (juce::TextButton& button)
    {
        const auto font = button.getLookAndFeel().getTextButtonFont (button, 30);
        return (int) std::ceil (font.getStringWidthFloat (button.getButtonText())) + 24;
    }
} // namespace

//==============================================================================
ArrowStepButton::ArrowStepButton (bool pointsUp) : up (pointsUp) {}

void ArrowStepButton::paintButton (juce::Graphics& g, bool highlighted, bool down)
{
    auto& lf = getLookAndFeel();
    lf.drawButtonBackground (g, *this, findColour (getToggleState() ? buttonOnColourId : buttonColourId), highlighted, down);

    const auto centre = getLocalBounds().toFloat().getCentre();
    juce::Path triangle;

    if (up)
        triangle.addTriangle (centre.x - 5.5f, centre.y + 3.5f, centre.x + 5.5f, centre.y + 3.5f, centre.x, centre.y - 3.5f);
    else
        triangle.addTriangle (centre.x - 5.5f, centre.y - 3.5f, centre.x + 5.5f, centre.y - 3.5f, centre.x, centre.y + 3.5f);

    g.setColour (findColour (juce::TextButton::textColourOffId).withMultipliedAlpha (isEnabled() ? 1.0f : 0.4f));
    g.fillPath (triangle);
}

//==============================================================================
StepperSlider::StepperSlider()
    : juce::Slider (juce::Slider::IncDecButtons, juce::Slider::TextBoxLeft)
{
    setTextBoxStyle (juce::Slider::TextBoxLeft, false, 54, 26);
    setRange (minShownPriority, maxShownPriority, 1.0);
    setIncDecButtonsMode (juce::Slider::incDecButtonsNotDraggable);
    setWantsKeyboardFocus (true);
}

void StepperSlider::resized()
{
    juce::Slider::resized();

    juce::Button* buttons[2] {};
    int found = 0;

    for (auto* child : getChildren())
        if (auto* b = dynamic_cast<juce::Button*> (child); b != nullptr && found < 2)
            buttons[found++] = b;

    if (found < 2)
        return;

    const auto area = buttons[0]->getBounds().getUnion (buttons[1]->getBounds());
    const int w = area.getWidth();

    // The button standing further right (the second one when they share an edge) goes left.
    auto* leftOne = buttons[1]->getX() >= buttons[0]->getX() ? buttons[1] : buttons[0];
    auto* rightOne = leftOne == buttons[1] ? buttons[0] : buttons[1];

    const int leftWidth = juce::jmin (w, (w - 2) / 2);
    leftOne->setBounds (area.getX(), area.getY(), juce::jmax (0, leftWidth), area.getHeight());
    rightOne->setBounds (area.getX() + leftWidth + 2, area.getY(), juce::jmax (0, w - leftWidth - 2), area.getHeight());
    leftOne->setConnectedEdges (0);
    rightOne->setConnectedEdges (0);
}

//==============================================================================
class PresetPage::BlockTraverser : public juce::KeyboardFocusTraverser
{
public:
    explicit BlockTraverser (PresetPage& p) : page (p) {}

    juce::Component* getNextComponent (juce::Component* current) override { return step (current, true); }
    juce::Component* getPreviousComponent (juce::Component* current) override { return step (current, false); }

private:
    juce::Component* step (juce::Component* current, bool forward)
    {
        for (const auto* block : { &page.projectBlock, &page.stemBlock })
        {
            const int n = (int) block->size();

            for (int k = 0; k < n; ++k)
            {
                auto* member = (*block)[(size_t) k];

                if (member != current && ! member->isParentOf (current))
                    continue;

                const auto next = nextFocusIndex (k, n, forward, [block] (int i)
                                                  {
                                                      auto* c = (*block)[(size_t) i];
                                                      return c->isShowing() && c->isEnabled() && c->getWantsKeyboardFocus();
                                                  });
                return (*block)[(size_t) next];
            }
        }

        return forward ? juce::KeyboardFocusTraverser::getNextComponent (current)
                       : juce::KeyboardFocusTraverser::getPreviousComponent (current);
    }

    PresetPage& page;
};

//==============================================================================
class PresetPage::StemListModel : public juce::ListBoxModel
{
public:
    explicit StemListModel (PresetPage& p) : page (p) {}

    int getNumRows() override { return (int) page.session.getPreset().schema.stems.size(); }

    void paintListBoxItem (int row, juce::Graphics& g, int width, int height, bool selected) override
    {
        page.paintStemRow (row, g, width, height, selected);
    }

    void listBoxItemClicked (int row, const juce::MouseEvent& e) override { page.stemRowClicked (row, e); }
    void listBoxItemDoubleClicked (int row, const juce::MouseEvent&) override { page.startInlineRename (row); }

    void backgroundClicked (const juce::MouseEvent& e) override
    {
        if (e.mods.isPopupMenu())
            page.showStemContextMenu (-1);
    }

    void selectedRowsChanged (int) override { page.onStemSelectionChanged(); }

    juce::var getDragSourceDescription (const juce::SparseSet<int>& rows) override;

private:
    PresetPage& page;
};

//==============================================================================
class PresetPage::StemListBox : public juce::ListBox,
                                public juce::DragAndDropTarget
{
public:
    StemListBox (PresetPage& p, StemListModel& listModel) : juce::ListBox ("Stems", &listModel), page (p)
    {
        // Sees the presses on its rows, so that a drag moves the row under the pointer.
        addMouseListener (this, true);
    }

    ~StemListBox() override { removeMouseListener (this); }

    void mouseDown (const juce::MouseEvent& e) override
    {
        pressedRow = getRowContainingPosition (e.getEventRelativeTo (this).x, e.getEventRelativeTo (this).y);
    }

    int getPressedRow() const noexcept { return pressedRow; }

    void paintOverChildren (juce::Graphics& g) override
    {
        if (dropRow < 0)
            return;

        const int scrollY = getViewport() != nullptr ? getViewport()->getViewPositionY() : 0;
        const int y = StemMoves::dropLineY (dropRow, getRowHeight(), scrollY, getHeight());
        g.setColour (currentPalette().accent);
        g.fillRect (0, y - 1, getWidth(), 2);
    }

    bool isInterestedInDragSource (const SourceDetails& details) override
    {
        return details.description.toString().startsWith (stemRowDragPrefix);
    }

    void itemDragEnter (const SourceDetails& details) override { itemDragMove (details); }

    void itemDragMove (const SourceDetails& details) override
    {
        const auto row = insertionRowAt (details.localPosition.y);

        if (row != dropRow)
        {
            dropRow = row;
            repaint();
        }
    }

    void itemDragExit (const SourceDetails&) override
    {
        dropRow = -1;
        repaint();
    }

    void itemDropped (const SourceDetails& details) override
    {
        const auto from = details.description.toString().fromFirstOccurrenceOf (stemRowDragPrefix, false, false).getIntValue();
        const auto to = insertionRowAt (details.localPosition.y);
        dropRow = -1;
        repaint();
        page.moveStemsTo (from, to);
    }

    int insertionRowAt (int y) const
    {
        const int scrollY = getViewport() != nullptr ? getViewport()->getViewPositionY() : 0;
        return StemMoves::insertionRowAt (y, getRowHeight(), scrollY, getModel() != nullptr ? getModel()->getNumRows() : 0);
    }

private:
    PresetPage& page;
    int dropRow = -1;
    int pressedRow = -1;
};

juce::var PresetPage::StemListModel::getDragSourceDescription (const juce::SparseSet<int>& rows)
{
    if (rows.isEmpty())
        return {};

    // The row the pointer took hold of moves, whatever else is selected.
    int row = page.stemList != nullptr ? page.stemList->getPressedRow() : -1;

    if (row < 0 || row >= getNumRows())
        row = rows[0];

    return juce::String (stemRowDragPrefix) + juce::String (row);
}

//==============================================================================
/** The strip above the stem rows that names the alternative-mix columns: a double-click
    renames, the cross removes, the zone on the left of a column auditions it for the chosen cue. */
class PresetPage::SubmixHeader : public juce::Component,
                                 public juce::TooltipClient
{
public:
    explicit SubmixHeader (PresetPage& p) : page (p) {}

    void mouseMove (const juce::MouseEvent& e) override
    {
        const int cross = TickColumns::crossAt (layout(), e.x);

        if (cross != hoveredCross)
        {
            hoveredCross = cross;
            repaint();
        }
    }

    void mouseExit (const juce::MouseEvent&) override
    {
        if (hoveredCross != -1)
        {
            hoveredCross = -1;
            repaint();
        }
    }

    void mouseDown (const juce::MouseEvent& e) override
    {
        const auto l = layout();
        const int column = TickColumns::columnAt (l, e.x);
        const auto& mixes = page.session.getPreset().schema.alternativeMixes;

        if (column < 0 || column >= (int) mixes.size())
            return;

        const auto mix = mixes[(size_t) column];
        const bool hasCue = page.selectedCueKey.isNotEmpty();

        if (TickColumns::crossAt (l, e.x) == column)
        {
            page.removeSubmix (mix.id);
        }
        else if (hasCue && TickColumns::isInAuditionZone (l, column, e.x, hasCue))
        {
            page.auditionMix (mix);
        }
        else if (e.mods.isPopupMenu())
        {
            juce::PopupMenu menu;
            menu.addItem (1, "Rename...");
            menu.addItem (2, "Remove this alternative mix");

            page.seams.showPopupMenu (menu, popupMenuOptionsFor (&page).withTargetComponent (this),
                                      [safe = juce::Component::SafePointer<PresetPage> (&page), mixId = mix.id] (int result)
                                      {
                                          if (safe == nullptr)
                                              return;

                                          if (result == 1)
                                              safe->renameSubmix (mixId);
                                          else if (result == 2)
                                              safe->removeSubmix (mixId);
                                      });
        }
    }

    void mouseDoubleClick (const juce::MouseEvent& e) override
    {
        const auto l = layout();
        const int column = TickColumns::columnAt (l, e.x);
        const auto& mixes = page.session.getPreset().schema.alternativeMixes;

        if (column >= 0 && column < (int) mixes.size() && TickColumns::crossAt (l, e.x) != column)
            page.renameSubmix (mixes[(size_t) column].id);
    }

    void paint (juce::Graphics& g) override
    {
        auto& lf = getLookAndFeel();
        const auto bounds = getLocalBounds();
        g.setGradientFill (subtleGradient (lf.findColour (juce::TableHeaderComponent::backgroundColourId), bounds.toFloat()));
        g.fillRect (bounds.withTrimmedBottom (1));
        g.setColour (lf.findColour (juce::TableHeaderComponent::outlineColourId));
        g.fillRect (bounds.withTop (bounds.getBottom() - 1));

        const auto l = layout();
        const auto nameArea = l.nameArea;
        const auto textColour = lf.findColour (juce::TableHeaderComponent::textColourId);
        g.setColour (textColour);
        g.setFont (fontBold14());
        g.drawText ("Stem", nameArea.getX() + 12, nameArea.getY(), juce::jmax (0, nameArea.getWidth() - 12), nameArea.getHeight(),
                    juce::Justification::centredLeft, true);

        const auto& schema = page.session.getPreset().schema;
        const bool hasCue = page.selectedCueKey.isNotEmpty();
        const auto palette = currentPalette();

        juce::Graphics::ScopedSaveState clip (g);
        g.reduceClipRegion (l.tickArea);

        for (size_t i = 0; i < l.columns.size() && i < schema.alternativeMixes.size(); ++i)
        {
            const auto& mix = schema.alternativeMixes[i];
            const auto column = l.columns[i];
            drawDividerLine (g, column.getX(), column.getY(), juce::jmax (0, column.getHeight() - 1));

            const auto cross = TickColumns::crossZone (column);
            auto nameZone = column.withRight (cross.getX());

            if (hasCue)
            {
                const auto zone = TickColumns::auditionZone (column, true);
                const auto id = PresetAudition::mixSourceId (page.selectedCueKey, mix.id);
                PresetAudition::drawButton (g, zone, page.isSourcePlaying (id), true, palette.accent, palette.textSecondary);
                nameZone.setLeft (zone.getRight());
            }

            g.setColour (textColour);
            g.setFont (fontBold14());
            g.drawText (mix.name, nameZone.getX() + 4, nameZone.getY(), juce::jmax (0, nameZone.getWidth() - 8), nameZone.getHeight(),
                        juce::Justification::centred, true);

            const float cx = (float) cross.getX() + (float) (cross.getWidth() - 9) / 2.0f;
            const float cy = (float) column.getY() + (float) (column.getHeight() - 9) / 2.0f;
            g.setColour ((int) i == hoveredCross ? palette.textPrimary : palette.textSecondary);
            g.drawLine (cx, cy, cx + 9.0f, cy + 9.0f, 1.4f);
            g.drawLine (cx, cy + 9.0f, cx + 9.0f, cy, 1.4f);
        }
    }

    juce::String getTooltip() override { return "Double-click a heading to rename it. The cross removes that alternative mix."; }

    int getHoveredCross() const noexcept { return hoveredCross; }

private:
    StemRowLayout layout() const
    {
        return page.computeRowLayout (getLocalBounds(), (int) page.session.getPreset().schema.alternativeMixes.size(),
                                      page.tickScrollOffset, page.selectedCueKey.isNotEmpty(), page.tickColumnWidth);
    }

    PresetPage& page;
    int hoveredCross = -1;
};

//==============================================================================
/** Follows an audition of this page twelve times a second, and stops once nothing plays. */
class PresetPage::AuditionRepainter : public juce::Timer
{
public:
    explicit AuditionRepainter (PresetPage& p) : page (p) {}

    void timerCallback() override
    {
        page.updateAuditionState();
        page.repaintStemsAndHeading();

        auto& engine = page.appState.previewEngine;

        if (! engine.isPlaying() && ! engine.isLoading())
            stopTimer();
    }

private:
    PresetPage& page;
};

//==============================================================================
/** Lands the last colour of a drag in the colour space at most every 50 ms. */
class PresetPage::ColourCommitTimer : public juce::Timer
{
public:
    explicit ColourCommitTimer (PresetPage& p) : page (p) {}

    void colourChanged (juce::Colour colour)
    {
        if (isTimerRunning())
        {
            waiting = colour;
            hasWaiting = true;
            return;
        }

        page.applyStemColour (colour);
        startTimer (colourCommitIntervalMs);
    }

    void timerCallback() override
    {
        if (! hasWaiting)
        {
            stopTimer();
            return;
        }

        hasWaiting = false;
        page.applyStemColour (waiting);
    }

    void flush()
    {
        if (hasWaiting)
        {
            hasWaiting = false;
            page.applyStemColour (waiting);
        }

        stopTimer();
    }

    void forget()
    {
        hasWaiting = false;
        stopTimer();
    }

private:
    PresetPage& page;
    juce::Colour waiting;
    bool hasWaiting = false;
};

//==============================================================================
PresetPage::PresetPage (AppState& state)
    : appState (state),
      session (state.session),
      library (*state.presetLibrary),
      seams (*state.seams)
{
    setTitle ("Preset & Stems");

    // 1. Components, in the order of the page.
    setUpHeading (libraryHeading, "Preset library", fontBold16());
    libraryList.setModel (this);
    libraryList.setRowHeight (28);
    libraryList.setTitle ("Preset library");

    for (auto* b : { &newButton, &duplicateButton, &renameButton, &saveButton, &saveAsButton, &deleteButton, &importButton,
                     &exportButton, &restoreButton })
        b->setTitle (b->getButtonText());

    saveButton.setTooltip ("Write these changes back to the selected preset.");
    saveAsButton.setTooltip ("Store the current settings as a new preset.");
    restoreButton.setTooltip ("Rewrite the built-in presets. Your own presets are not touched.");
    setUpLabel (statusLabel, {}, LabelTone::warning, juce::Justification::centredLeft);
    statusLabel.setTitle ("Preset status");

    setUpHeading (projectHeading, "Project fields", fontBold16());

    const std::pair<juce::Label*, juce::TextEditor*> projectRows[] = {
        { &publisherLabel, &publisherField }, { &pubCodeLabel, &pubCodeField }, { &composerLabel, &composerField }, { &versionLabel, &versionField }
    };
    const char* const projectNames[] = { "Publisher", "PubCode", "Composer", "Version" };

    for (size_t i = 0; i < 4; ++i)
    {
        setUpLabel (*projectRows[i].first, projectNames[i], LabelTone::secondary, juce::Justification::centredLeft);
        projectRows[i].second->setTitle (projectNames[i]);
        projectRows[i].second->setInputRestrictions (maxFieldCharacters);
    }

    setUpLabel (hintLabel, "Double-click to rename,\ndrag to reorder", LabelTone::disabled, juce::Justification::centredLeft);
    hintLabel.setFont (fontPlain12_5());

    tickScrollBar.setAutoHide (false);
    tickScrollBar.addListener (this);
    tickScrollBar.setTitle ("Alternative mix columns");

    submixHeader = std::make_unique<SubmixHeader> (*this);
    submixHeader->setTitle ("Alternative mixes");

    addMixButton.setTitle (addMixButton.getButtonText());
    addMixButton.setTooltip ("An extra file built from the stems you tick in its column, such as an instrumental. The full mix still contains every stem.");

    setUpLabel (cueLabel, "Cue", LabelTone::secondary, juce::Justification::centredRight);
    cueChoice.setTitle ("Cue");
    cueChoice.setTooltip ("Which cue these ticks are about. With All cues you are editing the preset; with one cue you are making an exception for that cue, kept in the project.");
    cueChoice.addItem ("All cues", 1);
    cueChoice.setSelectedId (1, juce::dontSendNotification);

    auditionView.setPlaceholderText ({});
    auditionView.setTitle ("Audition");

    stemListModel = std::make_unique<StemListModel> (*this);
    stemList = std::make_unique<StemListBox> (*this, *stemListModel);
    stemList->setRowHeight (28);
    stemList->setMultipleSelectionEnabled (true);
    stemList->setTitle ("Stems");
    stemList->setTooltip ("Double-click a stem to rename it. Drag a stem to move it in the order. Shift-click for a run, Ctrl-click to pick them out one at a time.");

    inlineEditor.setSelectAllWhenFocused (true);
    inlineEditor.setTitle ("Stem name");
    inlineEditor.setInputRestrictions (maxFieldCharacters);
    inlineEditor.addKeyListener (this);

    setUpLabel (numberingLabel, "Numbering", LabelTone::secondary, juce::Justification::centredLeft);
    numberingChoice.addItem ("Keep the schema number (gaps where stems are skipped)", 1);
    numberingChoice.addItem ("Renumber the exported stems 1..N (no gaps)", 2);
    numberingChoice.setTitle ("Numbering");
    numberingChoice.setTooltip ("What {stemIndex} counts when some stems come out empty and are left unwritten. Publishers ask for both ways round.");

    setUpLabel (keywordsLabel, "Keywords", LabelTone::secondary, juce::Justification::centredLeft);
    pluralToggle.setTitle (pluralToggle.getButtonText());
    pluralToggle.setTooltip (pluralTooltip);

    for (auto* b : { &addStemButton, &addSeveralButton, &duplicateStemButton, &deleteStemButton, &deleteAllButton })
        b->setTitle (b->getButtonText());

    duplicateStemButton.setTitle ("Duplicate stem");
    deleteStemButton.setTitle ("Delete stem");
    addSeveralButton.setTooltip ("Adds a run of plain stems in one go, each with a colour of its own. Faster than picking a template sixteen times when the publisher's list is nothing like the built-in ones.");
    deleteAllButton.setTooltip ("Empties the stem list. The preset keeps its name, its publisher fields and its export settings.");
    earlierButton.setTitle ("Move earlier");
    earlierButton.setTooltip ("Move the selected stem earlier in the delivery order");
    laterButton.setTitle ("Move later");
    laterButton.setTooltip ("Move the selected stem later in the delivery order");

    const std::pair<juce::Label*, const char*> editorLabels[] = {
        { &nameLabel, "Name" }, { &codeLabel, "Short code" }, { &tokenLabel, "File name token" }, { &priorityLabel, "Stem priority" }
    };

    for (const auto& [label, text] : editorLabels)
        setUpLabel (*label, text, LabelTone::secondary, juce::Justification::centredLeft);

    nameField.setTitle ("Name");
    codeField.setTitle ("Short code");
    tokenField.setTitle ("File name token");

    for (auto* field : { &nameField, &codeField, &tokenField })
        field->setInputRestrictions (maxFieldCharacters);

    prioritySlider.setTitle ("Stem priority");
    prioritySlider.setTooltip ("Used only when two stems are otherwise tied.");
    colourButton.setTitle ("Colour");

    setUpHeading (rulesLabel, "Keyword rules", fontBold14_5());
    setUpMultiLineField (rulesField, "Keyword rules", "boom, riser, sound design", rulesTooltip);
    setUpHeading (exclusionsLabel, "Stem-wide exclusions", fontBold14_5());
    setUpMultiLineField (exclusionsField, "Stem-wide exclusions", "choir, vox",
                         "Comma separated. If one of these turns up in a file name, this stem drops out of the running for it.");

    // 2. Children: all visible but the audition view and the tick scroll bar; the inline editor hidden.
    addAllAndMakeVisible (*this, { &libraryHeading, &libraryList, &newButton, &duplicateButton, &renameButton, &saveButton,
                                   &saveAsButton, &deleteButton, &importButton, &exportButton, &restoreButton, &statusLabel,
                                   &projectHeading, &publisherLabel, &pubCodeLabel, &composerLabel, &versionLabel,
                                   &publisherField, &pubCodeField, &composerField, &versionField, &hintLabel });
    addAllHidden (*this, { &tickScrollBar });
    addAllAndMakeVisible (*this, { submixHeader.get(), &addMixButton, &cueLabel, &cueChoice });
    addAllHidden (*this, { &auditionView });
    addAllAndMakeVisible (*this, { stemList.get(), &inlineEditor, &numberingLabel, &numberingChoice, &keywordsLabel,
                                   &pluralToggle, &addStemButton, &addSeveralButton, &duplicateStemButton, &deleteStemButton,
                                   &deleteAllButton, &earlierButton, &laterButton, &nameLabel, &codeLabel, &tokenLabel,
                                   &priorityLabel, &nameField, &codeField, &tokenField, &prioritySlider, &colourButton,
                                   &rulesLabel, &rulesField, &exclusionsLabel, &exclusionsField });
    inlineEditor.setVisible (false);

    // 3. Wiring.
    newButton.onClick = [this] { newPreset(); };
    duplicateButton.onClick = [this] { duplicatePreset(); };
    renameButton.onClick = [this] { renamePreset(); };
    saveButton.onClick = [this] { savePreset(); };
    saveAsButton.onClick = [this] { savePresetAs(); };
    deleteButton.onClick = [this] { deletePreset(); };
    importButton.onClick = [this] { importPreset(); };
    exportButton.onClick = [this] { exportPreset(); };
    restoreButton.onClick = [this] { restoreDefaults(); };

    inlineEditor.onReturnKey = [this] { finishInlineRename (true); };
    inlineEditor.onEscapeKey = [this] { finishInlineRename (false); };
    inlineEditor.onFocusLost = [this] { finishInlineRename (true); };

    pluralToggle.onClick = [this] { pluralToggled(); };
    numberingChoice.onChange = [this] { numberingChanged(); };
    deleteAllButton.onClick = [this] { deleteAllStems(); };
    duplicateStemButton.onClick = [this] { duplicateStem(); };
    deleteStemButton.onClick = [this] { deleteStem(); };
    earlierButton.onClick = [this] { moveSelectedStems (-1); };
    laterButton.onClick = [this] { moveSelectedStems (1); };
    colourButton.onClick = [this] { chooseStemColour(); };
    addStemButton.onClick = [this] { addStem(); };
    addSeveralButton.onClick = [this] { addSeveralStems(); };
    addMixButton.onClick = [this] { addSubmix(); };
    cueChoice.onChange = [this] { cueChoiceChanged(); };

    auditionView.onSeek = [this] (double fraction)
    {
        // Only a playing window moves; a load in flight keeps its own start.
        if (isAuditioning() && appState.previewEngine.isPlaying())
            appState.previewEngine.seekWithinWindow (fraction);
    };

    for (auto* field : { &publisherField, &pubCodeField, &composerField, &versionField })
    {
        field->onFocusLost = [this]
        {
            commitProjectFields();
            refreshWhenTypingEnds();
        };
        field->onReturnKey = [this] { commitProjectFields(); unfocusAllComponents(); };
        field->onEscapeKey = [this] { commitProjectFields(); unfocusAllComponents(); };
    }

    for (auto* field : { &nameField, &codeField, &tokenField, &rulesField, &exclusionsField })
    {
        field->onTextChange = [this] { startStemFieldTimer(); };
        field->onFocusLost = [this]
        {
            commitStemFields();
            refreshWhenTypingEnds();
        };
        field->onEscapeKey = [this] { finishStemFieldWithKey(); };
        field->addMouseListener (this, false);
    }

    for (auto* field : { &nameField, &codeField, &tokenField })
        field->onReturnKey = [this] { finishStemFieldWithKey(); };

    prioritySlider.onValueChange = [this]
    {
        if (isFilling())
            return;

        pending = true;
        commitStemFields();
    };

    colourTimer = std::make_unique<ColourCommitTimer> (*this);
    auditionRepainter = std::make_unique<AuditionRepainter> (*this);

    // 4. Focus blocks.
    projectBlock = { &publisherField, &pubCodeField, &composerField, &versionField, &numberingChoice, &pluralToggle };
    stemBlock = { &nameField, &codeField, &tokenField, &prioritySlider, &rulesField, &exclusionsField };

    // 5. Listen and fill.
    session.addListener (this);
    rebuildCueStemIndex();
    refreshCueChoices();
    refreshLibrary();
    refreshStemList();
    fillStemFields();
}

PresetPage::~PresetPage()
{
    stopTimer();
    auditionRepainter->stopTimer();
    detachColourSelector();
    colourTimer->forget();

    for (auto* field : { &nameField, &codeField, &tokenField, &rulesField, &exclusionsField })
        field->removeMouseListener (this);

    inlineEditor.removeKeyListener (this);
    tickScrollBar.removeListener (this);
    session.removeListener (this);
    libraryList.setModel (nullptr);
    stemList->setModel (nullptr);
    sectionPanels.clear();
}

void PresetPage::detachColourSelector()
{
    if (colourSelector == nullptr)
        return;

    colourSelector->removeChangeListener (this);

    if (auto* box = colourSelector->findParentComponentOfClass<juce::CallOutBox>())
        box->dismiss();

    colourSelector = nullptr;
}

juce::ListBox& PresetPage::getStemListBox() noexcept
{
    return *stemList;
}

//==============================================================================
// Refills

void PresetPage::refreshStemList()
{
    finishInlineRename (false);
    refreshDeferred = false;

    {
        const ScopedFilling fillingScope (*this);
        const auto& preset = session.getPreset();

        numberingChoice.setSelectedId (preset.exportSettings.naming.numbering == NumberingMode::consecutiveExported ? 2 : 1,
                                       juce::dontSendNotification);
        pluralToggle.setToggleState (preset.schema.matchPlurals, juce::dontSendNotification);

        const auto stored = ProjectFieldTexts::of (preset.metadata);
        const std::tuple<juce::TextEditor*, juce::String*, const juce::String*> fields[] = {
            { &publisherField, &shownProject.publisher, &stored.publisher },
            { &pubCodeField, &shownProject.project, &stored.project },
            { &composerField, &shownProject.composer, &stored.composer },
            { &versionField, &shownProject.version, &stored.version },
        };

        // A field being typed in keeps its text, and what it was filled with.
        for (const auto& [field, shown, value] : fields)
        {
            if (! field->hasKeyboardFocus (true))
            {
                field->setText (*value, false);
                *shown = *value;
            }
        }

        stemList->updateContent();
        const auto& schema = preset.schema;
        const int row = schema.indexOfStem (currentStemId);

        if (row >= 0)
            stemList->selectRow (row, true, true);
        else if (! schema.stems.empty())
            stemList->selectRow (0, true, true);
        else
            stemList->deselectAllRows();

        stemList->repaint();
        submixHeader->repaint();
    }

    resized();
    fillStemFields();
}

void PresetPage::markEdited()
{
    stemList->updateContent();
    stemList->repaint();
    fillStemFields();
    appState.sendChangeMessage();
    updateStatusLabel();
}

void PresetPage::updateStatusLabel()
{
    statusLabel.setText (PresetPageTexts::statusText (appState.isPresetModified()), juce::dontSendNotification);
}

void PresetPage::commitPresetEdit (const Preset& edited)
{
    {
        // The page refreshes itself below; the notification only repaints the list.
        const ScopedFilling fillingScope (*this);
        session.updatePreset (edited);
    }

    refreshStemList();
    markEdited();
}

bool PresetPage::aTextFieldHasFocus() const
{
    for (const auto* field : { &nameField, &codeField, &tokenField, &rulesField, &exclusionsField, &publisherField,
                               &pubCodeField, &composerField, &versionField })
        if (field->hasKeyboardFocus (true))
            return true;

    return false;
}

void PresetPage::tracksChanged()
{
    // Cue exceptions live with the cues, so the ticks may have changed too.
    mixTicksStale = true;
    rebuildCueStemIndex();
    refreshCueChoices();
    repaintStemsAndHeading();
}

void PresetPage::assignmentsChanged()
{
    rebuildCueStemIndex();
    refreshCueChoices();
    stemList->repaint();
}

void PresetPage::presetChanged()
{
    mixTicksStale = true;

    if (isFilling())
    {
        stemList->repaint();
    }
    else if (aTextFieldHasFocus())
    {
        // Never overwrite a field being typed in; the page catches up when the typing ends.
        stemList->repaint();
        refreshDeferred = true;
    }
    else
    {
        refreshStemList();
    }

    updateStatusLabel();
}

void PresetPage::refreshWhenTypingEnds()
{
    if (! refreshDeferred)
        return;

    // The focus may be on its way to another of the fields; look once it has arrived.
    juce::MessageManager::callAsync ([safe = juce::Component::SafePointer<PresetPage> (this)]
    {
        if (safe == nullptr || ! safe->refreshDeferred || safe->aTextFieldHasFocus())
            return;

        safe->refreshStemList();
    });
}

void PresetPage::visibilityChanged()
{
    if (isVisible())
        refreshLibrary();
}

//==============================================================================
// Prompts and boxes

void PresetPage::askForName (const juce::String& title,
                             const juce::String& message,
                             const juce::String& initialText,
                             std::function<void (const juce::String&)> onName)
{
    TextPromptRequest request;
    request.title = title;
    request.message = message;
    request.fields.push_back ({ "name", {}, initialText, maxFieldCharacters });
    request.associatedComponent = this;

    seams.askForText (request, [safe = juce::Component::SafePointer<PresetPage> (this), onName] (bool confirmed, const juce::StringArray& texts)
    {
        if (safe == nullptr || ! confirmed || texts.isEmpty())
            return;

        // The real prompt stops at the limit as it is typed; a longer answer is cut the same way.
        const auto name = texts[0].substring (0, maxFieldCharacters).trim();

        if (name.isNotEmpty())
            onName (name);
    });
}

void PresetPage::showFailure (const juce::String& title, const juce::String& message)
{
    seams.showWarning (title, message, this);
}

void PresetPage::ask (juce::MessageBoxIconType icon, const juce::String& title, const juce::String& message,
                      std::function<void (bool confirmed)> onAnswer)
{
    MessageBoxRequest request;
    request.icon = icon;
    request.title = title;
    request.message = message;
    request.associatedComponent = this;

    seams.askOkCancel (request, [safe = juce::Component::SafePointer<PresetPage> (this), onAnswer] (bool confirmed)
    {
        if (safe != nullptr)
            onAnswer (confirmed);
    });
}

void PresetPage::askToDiscardEdits (std::function<void()> onDiscard)
{
    if (! appState.isPresetModified())
    {
        onDiscard();
        return;
    }

    ask (juce::MessageBoxIconType::QuestionIcon, "Discard the changes to the current preset?",
         "The preset loaded in this session has unsaved edits. Loading another one discards them.",
         [this, onDiscard] (bool confirmed)
    {
        if (confirmed)
            onDiscard();
        else
            refreshLibrary();
    });
}

//==============================================================================
// Library panel

int PresetPage::getNumRows()
{
    return (int) libraryRows.size();
}

void PresetPage::paintListBoxItem (int row, juce::Graphics& g, int width, int height, bool selected)
{
    if (row < 0 || row >= (int) libraryRows.size())
        return;

    const auto palette = currentPalette();
    const auto& entry = libraryRows[(size_t) row];

    if (selected)
        g.fillAll (palette.accent.withAlpha (0.25f));

    const int w = juce::jmax (0, width - 12);
    const bool current = entry.id == appState.presetId;
    g.setColour (current ? palette.accent : palette.textPrimary);
    g.setFont (current ? fontBold16() : fontPlain14_5());
    g.drawText (entry.name, 6, 0, juce::jmax (0, w - 74), height, juce::Justification::centredLeft, true);

    g.setColour (palette.textSecondary);
    g.setFont (fontPlain12());
    g.drawText (entry.isBuiltIn ? juce::String ("built-in") : presetKindToString (entry.kind), width - 6 - 74, 0, 74, height,
                juce::Justification::centredRight, true);
}

void PresetPage::selectedRowsChanged (int)
{
    onLibraryRowChosen();
}

void PresetPage::onLibraryRowChosen()
{
    const int row = libraryList.getSelectedRow();

    if (row < 0 || row >= (int) libraryRows.size())
        return;

    const auto id = libraryRows[(size_t) row].id;

    if (id == appState.presetId)
        return;

    askToDiscardEdits ([safe = juce::Component::SafePointer<PresetPage> (this), id]
    {
        if (safe != nullptr)
            safe->loadPresetWithId (id);
    });
}

void PresetPage::refreshLibrary()
{
    library.rescan();
    libraryRows = library.getEntries();
    libraryList.updateContent();
    selectCurrentLibraryRow();
    libraryList.repaint();

    const auto states = LibraryButtonStates::forEntry (library.findEntry (appState.presetId));
    saveButton.setEnabled (states.save);
    renameButton.setEnabled (states.rename);
    deleteButton.setEnabled (states.remove);

    updateStatusLabel();
}

void PresetPage::selectCurrentLibraryRow()
{
    for (size_t i = 0; i < libraryRows.size(); ++i)
    {
        if (libraryRows[i].id == appState.presetId)
        {
            libraryList.selectRow ((int) i, true, true);
            return;
        }
    }

    // No row is the working copy's: none stays selected, so that a click on the row the user
    // tried before (and cancelled, or could not load) is a choice again.
    libraryList.deselectAllRows();
}

void PresetPage::loadPreset()
{
    const int row = libraryList.getSelectedRow();

    if (row >= 0 && row < (int) libraryRows.size())
        loadPresetWithId (libraryRows[(size_t) row].id);
}

void PresetPage::loadPresetWithId (const juce::String& id)
{
    const auto result = library.loadPreset (id);

    if (! result.ok)
    {
        showFailure ("The preset could not be loaded", result.messages.toText());
        selectCurrentLibraryRow();
        return;
    }

    appState.adoptLibraryPreset (result.preset.id);
    session.setPreset (result.preset);
    refreshLibrary();
    refreshStemList();
}

void PresetPage::takeUpPreset (const Preset& preset, bool replaceWholly)
{
    appState.adoptLibraryPreset (preset.id);

    if (replaceWholly)
        session.setPreset (preset);
    else
        session.updatePreset (preset);

    refreshLibrary();
    refreshStemList();
}

void PresetPage::newPreset()
{
    askToDiscardEdits ([safe = juce::Component::SafePointer<PresetPage> (this)]
    {
        if (safe == nullptr)
            return;

        safe->askForName ("New publisher preset", "Name:", "New publisher", [safe] (const juce::String& name)
        {
            auto copy = dunmoor::duplicatePreset (makeEmptyPreset(), name, PresetKind::publisher);
            copy.schema.publisher = name;
            copy.metadata.publisher = name;

            juce::String error;

            if (! safe->library.savePreset (copy, error))
            {
                safe->showFailure ("The preset was not created", error);
                return;
            }

            safe->takeUpPreset (copy, true);
        });
    });
}

void PresetPage::duplicatePreset()
{
    const auto sourceId = appState.presetId;

    askToDiscardEdits ([safe = juce::Component::SafePointer<PresetPage> (this), sourceId]
    {
        if (safe == nullptr)
            return;

        safe->askForName ("Duplicate preset", "Name:", safe->session.getPreset().name + " copy", [safe, sourceId] (const juce::String& name)
        {
            juce::String newId, error;

            if (! safe->library.duplicate (sourceId, name, newId, error))
            {
                safe->showFailure ("The preset was not duplicated", error);
                return;
            }

            const auto loaded = safe->library.loadPreset (newId);

            if (loaded.ok)
            {
                safe->takeUpPreset (loaded.preset, true);
            }
            else
            {
                safe->appState.adoptLibraryPreset (newId);
                safe->refreshLibrary();
                safe->refreshStemList();
            }
        });
    });
}

void PresetPage::renamePreset()
{
    const auto id = appState.presetId;

    askForName ("Rename preset", "Name:", session.getPreset().name, [this, id] (const juce::String& name)
    {
        juce::String error;

        if (! library.renamePreset (id, name, error))
        {
            showFailure ("The preset was not renamed", error);
            return;
        }

        auto copy = session.getPreset();
        copy.name = name;
        session.updatePreset (copy);
        refreshLibrary();
    });
}

void PresetPage::savePreset()
{
    const auto& working = session.getPreset();

    if (working.isBuiltIn)
    {
        showFailure ("Built-in presets are read only", "Use Duplicate or Save as to keep these changes.");
        return;
    }

    juce::String savedId, error;

    if (! library.savePreset (working, savedId, error))
    {
        showFailure ("The preset was not saved", error);
        return;
    }

    // A working copy without a library entry (from a project, say) now has one: it becomes the
    // current preset, so its row shows and the status line clears.
    if (working.id != savedId)
    {
        auto copy = working;
        copy.id = savedId;
        const ScopedFilling fillingScope (*this);
        session.updatePreset (copy);
    }

    if (appState.presetId != savedId)
        appState.adoptLibraryPreset (savedId);

    refreshLibrary();
}

void PresetPage::savePresetAs()
{
    askForName ("Save preset as", "Name:", session.getPreset().name + " copy", [this] (const juce::String& name)
    {
        juce::String newId, error;
        const auto working = session.getPreset();

        if (! library.saveAsNewPreset (working, name, working.kind, newId, error))
        {
            showFailure ("The preset was not saved", error);
            return;
        }

        const auto loaded = library.loadPreset (newId);

        if (loaded.ok)
        {
            takeUpPreset (loaded.preset, false);
        }
        else
        {
            appState.adoptLibraryPreset (newId);
            refreshLibrary();
        }
    });
}

void PresetPage::deletePreset()
{
    const auto* entry = library.findEntry (appState.presetId);

    if (entry == nullptr)
        return;

    const auto id = entry->id;
    int index = 0;

    for (size_t i = 0; i < libraryRows.size(); ++i)
        if (libraryRows[i].id == id)
            index = (int) i;

    ask (juce::MessageBoxIconType::WarningIcon, "Delete the preset '" + entry->name + "'?",
         "This moves the preset file to the trash. It cannot be undone from inside Brackenfold.",
         [this, id, index] (bool confirmed)
    {
        if (! confirmed)
            return;

        juce::String error;

        if (! library.deletePreset (id, error))
        {
            showFailure ("The preset was not deleted", error);
            return;
        }

        library.rescan();
        const auto& entries = library.getEntries();

        if (entries.empty())
        {
            appState.adoptLibraryPreset ({});
            refreshLibrary();
            return;
        }

        const auto next = entries[(size_t) juce::jlimit (0, (int) entries.size() - 1, index)].id;
        const auto loaded = library.loadPreset (next);

        appState.adoptLibraryPreset (loaded.ok ? next : juce::String());

        if (loaded.ok)
            session.setPreset (loaded.preset);

        refreshLibrary();
        refreshStemList();
    });
}

void PresetPage::importPreset()
{
    FileChooserRequest request;
    request.mode = FileChooserRequest::Mode::openFile;
    request.title = "Import a preset";
    request.filePatterns = "*.json";
    request.initialLocation = juce::File::getSpecialLocation (juce::File::userDocumentsDirectory);

    seams.showFileChooser (request, [safe = juce::Component::SafePointer<PresetPage> (this)] (const juce::Array<juce::File>& chosen)
    {
        if (safe == nullptr || chosen.isEmpty())
            return;

        juce::String newId, error;

        if (! safe->library.importPreset (chosen.getFirst(), newId, error))
        {
            safe->showFailure ("The preset was not imported", error);
            return;
        }

        safe->refreshLibrary();
    });
}

void PresetPage::exportPreset()
{
    const auto* entry = library.findEntry (appState.presetId);

    if (entry == nullptr)
    {
        showFailure ("Nothing to export", "Save this preset to the library first.");
        return;
    }

    const auto id = entry->id;
    FileChooserRequest request;
    request.mode = FileChooserRequest::Mode::saveFile;
    request.title = "Export the preset";
    request.filePatterns = "*.json";
    request.warnAboutOverwriting = true;
    request.initialLocation = juce::File::getSpecialLocation (juce::File::userDocumentsDirectory)
                                  .getChildFile (PresetPageTexts::exportFileName (session.getPreset().name));

    seams.showFileChooser (request, [safe = juce::Component::SafePointer<PresetPage> (this), id] (const juce::Array<juce::File>& chosen)
    {
        if (safe == nullptr || chosen.isEmpty())
            return;

        juce::String error;

        if (! safe->library.exportPreset (id, chosen.getFirst(), error))
            safe->showFailure ("The preset was not exported", error);
    });
}

void PresetPage::restoreDefaults()
{
    ask (juce::MessageBoxIconType::QuestionIcon, "Restore the built-in presets?",
         "The presets that ship with Brackenfold are rewritten. Presets you created are not touched.",
         [this] (bool confirmed)
    {
        if (! confirmed)
            return;

        juce::String error;

        if (! library.restoreDefaults (error))
            showFailure ("The defaults were not restored", error);

        refreshLibrary();
    });
}

//==============================================================================
// Project fields and matching options

ProjectFieldTexts PresetPage::currentProjectFieldTexts() const
{
    return { publisherField.getText(), pubCodeField.getText(), composerField.getText(), versionField.getText() };
}

void PresetPage::commitProjectFields()
{
    if (isFilling())
        return;

    const auto now = currentProjectFieldTexts();
    auto copy = session.getPreset();

    if (! applyProjectFieldEdits (copy.metadata, shownProject, now))
        return;

    shownProject = now;
    session.updatePreset (copy);
    appState.sendChangeMessage();
    updateStatusLabel();
}

void PresetPage::pluralToggled()
{
    auto copy = session.getPreset();

    if (copy.schema.matchPlurals == pluralToggle.getToggleState())
        return;

    copy.schema.matchPlurals = pluralToggle.getToggleState();

    {
        const ScopedFilling fillingScope (*this);
        session.updatePreset (copy);
    }

    markEdited();
}

void PresetPage::numberingChanged()
{
    if (isFilling())
        return;

    auto copy = session.getPreset();
    const auto mode = numberingChoice.getSelectedId() == 2 ? NumberingMode::consecutiveExported : NumberingMode::schemaIndex;

    if (copy.exportSettings.naming.numbering == mode)
        return;

    copy.exportSettings.naming.numbering = mode;
    session.updatePreset (copy);
    appState.sendChangeMessage();
}

//==============================================================================
// Stem list

PresetPage::RowLayout PresetPage::computeRowLayout (juce::Rectangle<int> rect, int mixCount, int scrollOffset, bool hasCue, int columnWidth) const
{
    return StemRowLayout::compute (rect, mixCount, scrollOffset, hasCue, columnWidth);
}

const Stem* PresetPage::getSelectedStem() const
{
    const auto& stems = session.getPreset().schema.stems;
    const int row = stemList->getSelectedRow (0);
    return row >= 0 && row < (int) stems.size() ? &stems[(size_t) row] : nullptr;
}

juce::StringArray PresetPage::getSelectedStemIds() const
{
    const auto& stems = session.getPreset().schema.stems;
    juce::StringArray ids;

    for (int i = 0; i < stemList->getNumSelectedRows(); ++i)
    {
        const int row = stemList->getSelectedRow (i);

        if (row >= 0 && row < (int) stems.size())
            ids.add (stems[(size_t) row].id);
    }

    if (ids.isEmpty() && currentStemId.isNotEmpty())
        ids.add (currentStemId);

    return ids;
}

void PresetPage::paintStemRow (int row, juce::Graphics& g, int width, int height, bool selected)
{
    const auto& stems = session.getPreset().schema.stems;

    if (row < 0 || row >= (int) stems.size())
        return;

    const auto palette = currentPalette();
    const auto& stem = stems[(size_t) row];

    if (selected)
        g.fillAll (palette.accent.withAlpha (0.25f));

    const auto& schema = session.getPreset().schema;
    const bool hasCue = selectedCueKey.isNotEmpty();
    const auto layout = computeRowLayout ({ 0, 0, width, height }, (int) schema.alternativeMixes.size(), tickScrollOffset,
                                          hasCue, tickColumnWidth);
    paintTickCells (g, layout, stem);

    if (hasCue)
        PresetAudition::drawButton (g, layout.auditionCell, isSourcePlaying (PresetAudition::stemSourceId (selectedCueKey, stem.id)),
                                    cueStemIndex.hasTracks (selectedCueKey, stem.id), palette.accent, palette.textSecondary);

    const auto parts = StemNameAreaParts::split (layout.nameArea);

    g.setColour (juce::Colour (stem.colour));
    g.fillRoundedRectangle (parts.colourBar.toFloat(), 2.0f);

    g.setFont (fontPlain14_5());
    g.setColour (palette.textPrimary);
    g.drawText (stemRowText (stem.index, stem.displayName), parts.name, juce::Justification::centredLeft, true);
    g.setColour (palette.textSecondary);
    g.drawText (stem.shortCode, parts.code, juce::Justification::centredRight, true);
}

void PresetPage::paintTickCells (juce::Graphics& g, const StemRowLayout& layout, const Stem& stem)
{
    if (layout.columns.empty() || layout.tickArea.isEmpty())
        return;

    const auto palette = currentPalette();
    juce::Graphics::ScopedSaveState clip (g);
    g.reduceClipRegion (layout.tickArea);

    for (size_t i = 0; i < layout.columns.size(); ++i)
    {
        const auto column = layout.columns[i];

        if (column.getRight() < layout.tickArea.getX() || column.getX() > layout.tickArea.getRight())
            continue;

        drawDividerLine (g, column.getX(), column.getY(), column.getHeight());
        const juce::Rectangle<float> box ((float) (column.getX() + column.getWidth() / 2 - 7),
                                          (float) (column.getY() + column.getHeight() / 2 - 7), 15.0f, 15.0f);

        if (isStemInMix ((int) i, stem.id))
        {
            drawButtonFace (g, box, juce::Colour (stem.colour), 3.0f);
        }
        else
        {
            g.setColour (dimmedBackground());
            g.fillRoundedRectangle (box, 3.0f);
            g.setColour (palette.outline);
            g.drawRoundedRectangle (box.reduced (0.5f), 3.0f, 1.0f);
        }
    }
}

void PresetPage::stemRowClicked (int row, const juce::MouseEvent& e)
{
    if (e.mods.isPopupMenu())
    {
        showStemContextMenu (row);
        return;
    }

    const auto& schema = session.getPreset().schema;

    if (row < 0 || row >= (int) schema.stems.size())
        return;

    const bool hasCue = selectedCueKey.isNotEmpty();
    const auto layout = computeRowLayout ({ 0, 0, stemList->getVisibleRowWidth(), stemList->getRowHeight() },
                                          (int) schema.alternativeMixes.size(), tickScrollOffset, hasCue, tickColumnWidth);
    const auto stem = schema.stems[(size_t) row];

    if (hasCue && layout.auditionCell.getWidth() > 0 && e.x >= layout.auditionCell.getX() && e.x < layout.auditionCell.getRight())
    {
        auditionStem (stem);
        return;
    }

    // A click in the name area only selects; the framework has done that already.
    if (const int column = TickColumns::columnAt (layout, e.x); column >= 0)
        tickClicked (stem, column);
}

void PresetPage::tickClicked (const Stem& stem, int column)
{
    const auto& schema = session.getPreset().schema;

    if (column < 0 || column >= (int) schema.alternativeMixes.size())
        return;

    const auto mix = schema.alternativeMixes[(size_t) column];
    const bool member = isStemInMix (column, stem.id);

    if (selectedCueKey.isNotEmpty())
    {
        // An exception for this cue, kept in the project; the preset is not touched.
        session.setCueMixMember (selectedCueKey, mix, stem.id, ! member);
        repaintStemsAndHeading();
        return;
    }

    auto copy = schema;

    if (copy.setAlternativeMixMember (mix.id, stem.id, ! mix.stemIds.contains (stem.id)))
        commitSubmixTicks (copy);
}

void PresetPage::onStemSelectionChanged()
{
    // Pending typing lands in the stem that was current; committing never refreshes the list,
    // so the new selection stays.
    commitStemFields();
    fillStemFields();
}

void PresetPage::moveStemsTo (int fromRow, int insertionRow)
{
    auto copy = session.getPreset();
    const int count = (int) copy.schema.stems.size();
    const int target = StemMoves::dropTarget (fromRow, insertionRow, count);

    if (target < 0)
        return;

    const auto id = copy.schema.stems[(size_t) fromRow].id;

    if (! copy.schema.moveStem (id, target))
        return;

    currentStemId = id;
    commitPresetEdit (copy);
}

void PresetPage::moveSelectedStems (int delta)
{
    auto copy = session.getPreset();
    const int i = copy.schema.indexOfStem (currentStemId);

    if (i < 0)
        return;

    const int target = juce::jlimit (0, (int) copy.schema.stems.size() - 1, i + delta);

    if (target == i || ! copy.schema.moveStem (currentStemId, target))
        return;

    commitPresetEdit (copy);
}

void PresetPage::showStemContextMenu (int row)
{
    const int count = (int) session.getPreset().schema.stems.size();

    if (row >= 0 && row < count)
        stemList->selectRow (row);

    const bool hasStem = currentStemId.isNotEmpty();
    const int selectedCount = getSelectedStemIds().size();

    juce::PopupMenu menu;
    menu.addItem (1, "Add stem");

    if (row >= 0)
        menu.addItem (2, "Add several stems...");

    menu.addSeparator();
    menu.addItem (3, "Duplicate", hasStem);
    menu.addItem (4, "Rename", hasStem);
    menu.addItem (5, "Colour...", hasStem);
    menu.addSeparator();
    menu.addItem (6, PresetPageTexts::deleteMenuItem (selectedCount), hasStem);

    const int rememberedRow = stemList->getSelectedRow (0);

    seams.showPopupMenu (menu, popupMenuOptionsFor (this).withMousePosition(),
                         [safe = juce::Component::SafePointer<PresetPage> (this), rememberedRow] (int result)
                         {
                             if (safe == nullptr || result == 0)
                                 return;

                             switch (result)
                             {
                                 case 1: safe->addPlainStems (1); break;
                                 case 2: safe->addSeveralStems(); break;
                                 case 3: safe->duplicateStem(); break;
                                 case 4: safe->startInlineRename (rememberedRow); break;
                                 case 5: safe->chooseStemColour(); break;
                                 case 6: safe->deleteStem(); break;
                                 default: break;
                             }
                         });
}

void PresetPage::startInlineRename (int row)
{
    const auto& stems = session.getPreset().schema.stems;

    if (row < 0 || row >= (int) stems.size())
        return;

    inlineRenameRow = row;
    const auto rowArea = getLocalArea (stemList.get(), stemList->getRowPosition (row, true));
    const auto layout = computeRowLayout (rowArea.withZeroOrigin(), (int) session.getPreset().schema.alternativeMixes.size(),
                                          tickScrollOffset, selectedCueKey.isNotEmpty(), tickColumnWidth);
    const auto bounds = StemNameAreaParts::renameEditorBounds (layout.nameArea, stemList->getRowHeight());

    inlineEditor.setBounds (bounds + rowArea.getPosition());
    inlineEditor.setText (stems[(size_t) row].displayName, false);
    inlineEditor.setVisible (true);
    inlineEditor.toFront (true);
    inlineEditor.grabKeyboardFocus();
    inlineEditor.selectAll();
}

void PresetPage::finishInlineRename (bool commit)
{
    if (! inlineEditor.isVisible() || inlineRenameRow < 0)
    {
        inlineEditor.setVisible (false);
        inlineRenameRow = -1;
        return;
    }

    const int row = inlineRenameRow;
    const auto name = inlineEditor.getText().trim();
    inlineRenameRow = -1;
    inlineEditor.setVisible (false);

    const auto& stems = session.getPreset().schema.stems;

    if (! commit || name.isEmpty() || row < 0 || row >= (int) stems.size() || name == stems[(size_t) row].displayName)
        return;

    const auto stemId = stems[(size_t) row].id;

    confirmNameClash (name, stemId, [this, stemId, name]
    {
        auto copy = session.getPreset();
        auto* stem = copy.schema.findStem (stemId);

        if (stem == nullptr)
            return;

        renameStem (*stem, name);
        commitPresetEdit (copy);
    });
}

bool PresetPage::keyPressed (const juce::KeyPress& key, juce::Component* originatingComponent)
{
    if (originatingComponent != &inlineEditor || key.getKeyCode() != juce::KeyPress::tabKey)
        return false;

    const int target = inlineRenameRow + (key.getModifiers().isShiftDown() ? -1 : 1);

    if (target < 0 || target >= (int) session.getPreset().schema.stems.size())
        return false;

    finishInlineRename (true);

    juce::MessageManager::callAsync ([safe = juce::Component::SafePointer<PresetPage> (this), target]
    {
        if (safe == nullptr || target >= (int) safe->session.getPreset().schema.stems.size())
            return;

        safe->stemList->scrollToEnsureRowIsOnscreen (target);
        safe->stemList->selectRow (target);
        safe->startInlineRename (target);
    });

    return true;
}

void PresetPage::confirmNameClash (const juce::String& name, const juce::String& excludeStemId, std::function<void()> continuation)
{
    const auto clash = NameClash::find (session.getPreset().schema, name, excludeStemId);

    if (clash.kind == NameClash::Kind::none)
    {
        continuation();
        return;
    }

    ask (clash.kind == NameClash::Kind::same ? juce::MessageBoxIconType::WarningIcon : juce::MessageBoxIconType::QuestionIcon,
         clash.title, clash.message, [continuation] (bool confirmed)
    {
        if (confirmed)
            continuation();
    });
}

void PresetPage::deleteStem()
{
    const auto ids = getSelectedStemIds();

    if (ids.isEmpty())
        return;

    ask (juce::MessageBoxIconType::QuestionIcon, PresetPageTexts::deleteStemsTitle (session.getPreset().schema, ids),
         "Any track assigned to them becomes unassigned.", [this, ids] (bool confirmed)
    {
        if (! confirmed)
            return;

        auto copy = session.getPreset();
        bool removed = false;

        for (const auto& id : ids)
            removed |= copy.schema.removeStem (id);

        if (! removed)
            return;

        currentStemId = {};
        commitPresetEdit (copy);
    });
}

void PresetPage::deleteAllStems()
{
    const int count = (int) session.getPreset().schema.stems.size();

    if (count == 0)
        return;

    ask (juce::MessageBoxIconType::WarningIcon, "Delete every stem?", PresetPageTexts::deleteAllStemsMessage (count),
         [this] (bool confirmed)
    {
        if (! confirmed)
            return;

        auto copy = session.getPreset();

        while (! copy.schema.stems.empty())
            if (! copy.schema.removeStem (copy.schema.stems.front().id))
                copy.schema.stems.erase (copy.schema.stems.begin());

        currentStemId = {};
        commitPresetEdit (copy);
    });
}

void PresetPage::duplicateStem()
{
    auto copy = session.getPreset();

    if (copy.schema.findStem (currentStemId) == nullptr)
        return;

    // A schema over the limit could be neither saved nor opened again in a project.
    if ((int) copy.schema.stems.size() >= maxStems)
    {
        showFailure ("No room for more stems", "A schema holds at most " + juce::String (maxStems) + " stems.");
        return;
    }

    const auto newId = copy.schema.duplicateStem (currentStemId);

    if (newId.isEmpty())
        return;

    currentStemId = newId;
    commitPresetEdit (copy);
}

//==============================================================================
// Stem editor

StemFieldTexts PresetPage::currentStemFieldTexts() const
{
    return { nameField.getText(), codeField.getText(), tokenField.getText(), (int) prioritySlider.getValue(),
             rulesField.getText(), exclusionsField.getText() };
}

void PresetPage::fillStemFields()
{
    const ScopedFilling fillingScope (*this);
    const auto* stem = getSelectedStem();

    setAllEnabled ({ &nameField, &codeField, &tokenField, &prioritySlider, &colourButton, &rulesField, &exclusionsField,
                     &duplicateStemButton, &deleteStemButton, &earlierButton, &laterButton },
                   stem != nullptr);

    if (stem != nullptr)
    {
        currentStemId = stem->id;
        shownStem = StemFieldTexts::of (*stem);
        nameField.setText (shownStem.name, false);
        codeField.setText (shownStem.shortCode, false);
        tokenField.setText (shownStem.token, false);
        prioritySlider.setValue (shownStem.priority, juce::dontSendNotification);
        rulesField.setText (shownStem.rules, false);
        exclusionsField.setText (shownStem.exclusions, false);

        const juce::Colour colour (stem->colour);
        colourButton.setColour (juce::TextButton::buttonColourId, colour);
        colourButton.setColour (juce::TextButton::textColourOffId, textColourOn (colour));
    }
    else
    {
        currentStemId = {};
        shownStem = {};

        for (auto* field : { &nameField, &codeField, &tokenField, &rulesField, &exclusionsField })
            field->setText ({}, false);

        colourButton.removeColour (juce::TextButton::buttonColourId);
        colourButton.removeColour (juce::TextButton::textColourOffId);
    }

    pending = false;
    repaint (auditionView.getBounds());
}

void PresetPage::startStemFieldTimer()
{
    if (isFilling())
        return;

    pending = true;
    startTimer (commitDelayMs);
}

void PresetPage::finishStemFieldWithKey()
{
    stopTimer();
    commitStemFields();
    unfocusAllComponents();
}

void PresetPage::timerCallback()
{
    stopTimer();

    if (pending)
        commitStemFields();
}

void PresetPage::mouseExit (const juce::MouseEvent&)
{
    if (pending)
        commitStemFields();
}

void PresetPage::commitStemFields()
{
    if (isFilling())
        return;

    pending = false;
    auto copy = session.getPreset();
    auto* stem = copy.schema.findStem (currentStemId);

    if (stem == nullptr)
        return;

    const auto now = currentStemFieldTexts();

    if (! applyStemFieldEdits (*stem, shownStem, now))
        return;

    shownStem = now;

    {
        // The fields already show what was committed; the notification only repaints the list.
        const ScopedFilling fillingScope (*this);
        session.updatePreset (copy);
    }

    stemList->repaint();
    repaint (auditionView.getBounds());
    appState.sendChangeMessage();
    updateStatusLabel();
}

void PresetPage::chooseStemColour()
{
    const auto* stem = getSelectedStem();

    if (stem == nullptr)
        return;

    detachColourSelector();

    auto selector = std::make_unique<juce::ColourSelector> (juce::ColourSelector::showColourAtTop | juce::ColourSelector::showColourspace, 4, 7);
    selector->setName ("Stem colour");
    selector->setTitle ("Stem colour");
    selector->setCurrentColour (juce::Colour (stem->colour), juce::dontSendNotification);
    selector->setSize (300, 320);
    selector->addChangeListener (this);

    colourSelector = selector.get();
    colourTargetId = stem->id;
    seams.showCallOutBox (std::move (selector), colourButton.getScreenBounds(), nullptr);
}

void PresetPage::changeListenerCallback (juce::ChangeBroadcaster* source)
{
    if (colourSelector == nullptr || source != colourSelector.getComponent() || colourTargetId.isEmpty())
        return;

    colourTimer->colourChanged (colourSelector->getCurrentColour());
}

void PresetPage::applyStemColour (juce::Colour colour)
{
    auto copy = session.getPreset();
    auto* stem = copy.schema.findStem (colourTargetId);

    if (stem == nullptr || stem->colour == colour.getARGB())
        return;

    stem->colour = colour.getARGB();

    {
        const ScopedFilling fillingScope (*this);
        session.updatePreset (copy);
    }

    if (colourTargetId == currentStemId)
    {
        colourButton.setColour (juce::TextButton::buttonColourId, colour);
        colourButton.setColour (juce::TextButton::textColourOffId, textColourOn (colour));
    }

    stemList->repaint();
    appState.sendChangeMessage();
    updateStatusLabel();
}

//==============================================================================
// Adding stems and stem templates

bool PresetPage::refuseWhenFull (const StemSchema& schema)
{
    // A schema over the limit could be neither saved nor opened again in a project.
    if (StemAdditions::room (schema) > 0)
        return false;

    showFailure (StemAdditions::noRoomTitle, StemAdditions::noRoomMessage());
    return true;
}

void PresetPage::addStem()
{
    const auto built = StemTemplateMenu::build (appState.templateStore.getTemplates(), getBuiltInTemplates(),
                                                StemAdditions::room (session.getPreset().schema) > 0);

    seams.showPopupMenu (built.menu, popupMenuOptionsFor (this).withTargetComponent (&addStemButton),
                         [safe = juce::Component::SafePointer<PresetPage> (this), built] (int result)
                         {
                             if (safe == nullptr)
                                 return;

                             using Kind = StemTemplateMenu::Choice::Kind;
                             const auto choice = built.decode (result);

                             switch (choice.kind)
                             {
                                 case Kind::newTemplate: safe->showTemplateEditor(); break;
                                 case Kind::forgetUserTemplate: safe->confirmForgetTemplate (choice.index); break;
                                 case Kind::userTemplate: safe->addFromUserTemplate (choice.index); break;
                                 case Kind::builtInTemplate:
                                 {
                                     const auto index = choice.index;
                                     safe->confirmNameClash (getBuiltInTemplates()[(size_t) index].displayName, {},
                                                             [safe, index]
                                                             {
                                                                 if (safe != nullptr)
                                                                     safe->addStemFromTemplate (index);
                                                             });
                                     break;
                                 }
                                 case Kind::nothing: break;
                             }
                         });
}

void PresetPage::addStemFromTemplate (int catalogueIndex)
{
    const auto& catalogue = getBuiltInTemplates();

    if (catalogueIndex < 0 || catalogueIndex >= (int) catalogue.size())
        return;

    auto copy = session.getPreset();

    if (refuseWhenFull (copy.schema))
        return;

    currentStemId = StemAdditions::addFromTemplate (copy.schema, catalogue[(size_t) catalogueIndex]);
    commitPresetEdit (copy);
}

void PresetPage::addFromUserTemplate (int index)
{
    const auto& templates = appState.templateStore.getTemplates();

    if (index < 0 || index >= (int) templates.size())
        return;

    if (refuseWhenFull (session.getPreset().schema))
        return;

    const auto stemTemplate = templates[(size_t) index];

    confirmNameClash (stemTemplate.displayName, {}, [this, stemTemplate]
    {
        auto copy = session.getPreset();

        if (refuseWhenFull (copy.schema))
            return;

        // The code is numbered as a built-in one is: a taken code would fail validation.
        currentStemId = StemAdditions::addFromTemplate (copy.schema, stemTemplate);
        commitPresetEdit (copy);
    });
}

void PresetPage::addSeveralStems()
{
    const int room = StemAdditions::room (session.getPreset().schema);

    if (refuseWhenFull (session.getPreset().schema))
        return;

    seams.showPopupMenu (StemAdditions::buildCountMenu (room), popupMenuOptionsFor (this).withTargetComponent (&addSeveralButton),
                         [safe = juce::Component::SafePointer<PresetPage> (this)] (int result)
                         {
                             if (safe == nullptr || result <= 0)
                                 return;

                             if (result == StemAdditions::askForCountId)
                                 safe->askForStemCount();
                             else
                                 safe->addPlainStems (result);
                         });
}

void PresetPage::askForStemCount()
{
    askForName ("Add several stems", "How many?", "24", [this] (const juce::String& text)
    {
        const int count = StemAdditions::parseCount (text);

        if (count > 0)
            addPlainStems (count);
        else
            showFailure ("That is not a number of stems", "Type how many to add, as a figure.");
    });
}

void PresetPage::addPlainStems (int count)
{
    if (count <= 0)
        return;

    auto copy = session.getPreset();

    if (refuseWhenFull (copy.schema))
        return;

    const auto added = StemAdditions::addPlainStems (copy.schema, count);
    currentStemId = added.lastId;
    commitPresetEdit (copy);

    if (added.added < count)
        showFailure ("Not all of them fitted", StemAdditions::notAllFittedMessage (added.added, count));
}

void PresetPage::showTemplateEditor()
{
    TextPromptRequest request;
    request.title = "New stem template";
    request.message = "A name, and the words that find it. Keywords are separated by commas.";
    request.fields = { { "name", "Name", {}, maxFieldCharacters },
                       { "code", "Short code", {}, maxFieldCharacters },
                       { "keywords", "Keywords", {}, maxFieldCharacters },
                       { "excludes", "Never match", {}, maxFieldCharacters } };
    request.okText = "Save";
    request.associatedComponent = this;

    seams.askForText (request, [safe = juce::Component::SafePointer<PresetPage> (this)] (bool confirmed, const juce::StringArray& texts)
    {
        if (safe == nullptr || ! confirmed)
            return;

        auto& store = safe->appState.templateStore;
        const auto made = makeTemplateFromForm (texts[0], texts[1], texts[2], texts[3], (int) store.getTemplates().size());
        juce::String error;

        // A store whose file could not be read refuses, naming the file: nothing is added then.
        if (! store.addOrReplace (made, error))
        {
            safe->showFailure ("The template was not saved", error);
            return;
        }

        const auto& templates = store.getTemplates();

        for (size_t i = 0; i < templates.size(); ++i)
        {
            if (templates[i].displayName == made.displayName)
            {
                safe->addFromUserTemplate ((int) i);
                return;
            }
        }
    });
}

void PresetPage::confirmForgetTemplate (int index)
{
    const auto& templates = appState.templateStore.getTemplates();

    if (index < 0 || index >= (int) templates.size())
        return;

    const auto name = templates[(size_t) index].displayName;

    ask (juce::MessageBoxIconType::QuestionIcon, "Forget this template?",
         "'" + name + "' is removed from the Add stem menu.\n\nStems already made from it are not touched: a template is a "
                      "starting point, and once a stem exists it is its own.",
         [this, name] (bool confirmed)
    {
        if (! confirmed)
            return;

        juce::String error;

        if (! appState.templateStore.remove (name, error))
            showFailure ("The template was not forgotten", error);
    });
}

//==============================================================================
// Alternative mixes and the cue scope

void PresetPage::addSubmix()
{
    if ((int) session.getPreset().schema.alternativeMixes.size() >= maxAlternativeMixes)
    {
        MessageBoxRequest request;
        request.icon = juce::MessageBoxIconType::InfoIcon;
        request.title = "That is as many as you can have";
        request.message = "A schema can define up to " + juce::String (maxAlternativeMixes)
                        + " alternative mixes. Each one is a whole extra render of the project.";
        request.associatedComponent = this;
        seams.showMessageBox (request, nullptr);
        return;
    }

    askForName ("New alternative mix", "Name:", "Instrumental", [this] (const juce::String& name)
    {
        auto copy = session.getPreset().schema;

        if (copy.addAlternativeMix (name).isNotEmpty())
            commitSubmixTicks (copy);
    });
}

void PresetPage::renameSubmix (const juce::String& mixId)
{
    const auto* mix = session.getPreset().schema.findAlternativeMix (mixId);

    if (mix == nullptr)
        return;

    TextPromptRequest request;
    request.title = "Rename the alternative mix";
    request.message = "This name is what the file is called.";
    request.fields = { { "name", "Name", mix->name, maxFieldCharacters },
                       { "code", "Short code (optional)", mix->shortCode, maxFieldCharacters } };
    request.okText = "Rename";
    request.associatedComponent = this;

    seams.askForText (request, [safe = juce::Component::SafePointer<PresetPage> (this), mixId] (bool confirmed, const juce::StringArray& texts)
    {
        if (safe == nullptr || ! confirmed)
            return;

        const auto name = texts[0].substring (0, maxFieldCharacters).trim();

        if (name.isEmpty())
            return;

        auto copy = safe->session.getPreset().schema;
        auto* target = copy.findAlternativeMix (mixId);

        if (target == nullptr)
            return;

        target->name = name;
        target->shortCode = texts[1].substring (0, maxFieldCharacters).trim();
        safe->commitSubmixTicks (copy);
    });
}

void PresetPage::removeSubmix (const juce::String& mixId)
{
    const auto* mix = session.getPreset().schema.findAlternativeMix (mixId);

    if (mix == nullptr)
        return;

    ask (juce::MessageBoxIconType::QuestionIcon, "Remove this alternative mix?",
         "\"" + mix->name + "\" will no longer be written. The stems themselves are not affected.",
         [this, mixId] (bool confirmed)
    {
        if (! confirmed)
            return;

        auto copy = session.getPreset().schema;

        if (copy.removeAlternativeMix (mixId))
            commitSubmixTicks (copy);
    });
}

void PresetPage::commitSubmixTicks (const StemSchema& schema)
{
    auto copy = session.getPreset();
    copy.schema = schema;
    commitPresetEdit (copy); // lays the page out again, so the columns follow the names
    repaintStemsAndHeading();
}

const MixTicks& PresetPage::currentMixTicks()
{
    if (mixTicksStale)
    {
        mixTicks = MixTicks (session.getPreset().schema, selectedCueKey.isNotEmpty() ? session.findCue (selectedCueKey) : nullptr);
        mixTicksStale = false;
    }

    return mixTicks;
}

bool PresetPage::isStemInMix (int mixIndex, const juce::String& stemId)
{
    return currentMixTicks().isMember (mixIndex, stemId);
}

void PresetPage::rebuildCueStemIndex()
{
    cueStemIndex = CueStemIndex (session.getTracks());
}

void PresetPage::refreshCueChoices()
{
    auto choices = CueChoices::build (session.getCuesWithTracks(), cueStemIndex);

    // Refilled only when a text changed, so a notification that changed nothing costs nothing.
    if (choices != cueChoices || cueChoice.getNumItems() != (int) choices.items.size() + 1)
    {
        cueChoices = std::move (choices);
        cueChoice.clear (juce::dontSendNotification);
        cueChoice.addItem (CueChoices::allCuesText, CueChoices::allCuesId);

        for (size_t i = 0; i < cueChoices.items.size(); ++i)
            cueChoice.addItem (cueChoices.items[i].text, (int) i + 2);
    }

    const int id = cueChoices.idForKey (selectedCueKey);
    cueChoice.setSelectedId (id, juce::dontSendNotification);
    cueChoice.setEnabled (! cueChoices.items.empty());

    if (id == CueChoices::allCuesId && selectedCueKey.isNotEmpty())
    {
        // The cue has gone: back to the preset's own ticks.
        selectedCueKey = {};
        mixTicksStale = true;

        if (isAuditioning())
            appState.previewEngine.stop();

        resized();
        repaintStemsAndHeading();
    }
}

void PresetPage::cueChoiceChanged()
{
    const auto key = cueChoices.keyForId (cueChoice.getSelectedId());
    appState.previewEngine.stop();

    selectedCueKey = key;
    mixTicksStale = true;

    // The audition cell comes or goes, and with it the room for the columns.
    resized();
    repaintStemsAndHeading();
    updateAuditionState();
}

void PresetPage::updateTickColumns (PresetPageLayout& l)
{
    const auto& mixes = session.getPreset().schema.alternativeMixes;
    int widest = 0;

    for (const auto& mix : mixes)
        widest = juce::jmax (widest, measureTextWidthCeil (fontPlain14_5(), mix.name));

    tickColumnWidth = TickColumns::columnWidthFor (widest);
    const bool hasCue = selectedCueKey.isNotEmpty();

    // The room is what a row leaves for the ticks: the list's own scroll bar and the audition
    // cell are not room, or the last column could never be scrolled into view.
    const auto fitToList = [&]
    {
        const auto row = computeRowLayout ({ 0, 0, stemList->getVisibleRowWidth(), stemList->getRowHeight() }, (int) mixes.size(),
                                           0, hasCue, tickColumnWidth);
        return TickColumns::fit (row.tickArea.getWidth(), (int) mixes.size(), tickColumnWidth, tickScrollOffset);
    };

    l.placeTickScrollBar (false);
    stemList->setBounds (l.stemList);
    auto fit = fitToList();

    if (fit.scrollBarVisible)
    {
        // A shorter list may need its own scroll bar, which leaves the rows a little less room.
        l.placeTickScrollBar (true);
        stemList->setBounds (l.stemList);
        fit = fitToList();
        l.placeTickScrollBar (fit.scrollBarVisible);
        stemList->setBounds (l.stemList);
    }

    tickScrollOffset = fit.offset;
    tickScrollBar.setBounds (l.tickScrollBar);
    tickScrollBar.setVisible (fit.scrollBarVisible);

    if (fit.scrollBarVisible)
    {
        tickScrollBar.setRangeLimits (0.0, (double) fit.total, juce::dontSendNotification);
        tickScrollBar.setCurrentRange ((double) fit.offset, (double) fit.visible, juce::dontSendNotification);
    }

    repaintStemsAndHeading();
}

void PresetPage::repaintStemsAndHeading()
{
    stemList->repaint();
    submixHeader->repaint();
}

//==============================================================================
// Preset audition

juce::StringArray PresetPage::getAuditionTracks (const Stem& stem) const
{
    return PresetAudition::stemFiles (session.getTracks(), selectedCueKey, stem.id);
}

void PresetPage::auditionStem (const Stem& stem)
{
    const auto* current = session.getPreset().schema.findStem (stem.id);

    if (current == nullptr || selectedCueKey.isEmpty())
        return;

    startAudition (getAuditionTracks (*current), current->displayName, PresetAudition::stemSourceId (selectedCueKey, current->id));
}

void PresetPage::auditionMix (const AlternativeMix& mix)
{
    if (selectedCueKey.isEmpty())
        return;

    const auto* cue = session.findCue (selectedCueKey);
    const auto& schema = session.getPreset().schema;
    const auto* current = schema.findAlternativeMix (mix.id);
    const auto files = cue != nullptr && current != nullptr ? PresetAudition::mixFiles (schema, session.getTracks(), *cue, *current)
                                                            : juce::StringArray();

    startAudition (files, mix.name, PresetAudition::mixSourceId (selectedCueKey, mix.id));
}

void PresetPage::startAudition (const juce::StringArray& files, const juce::String& label, const juce::String& id)
{
    auto& engine = appState.previewEngine;
    const auto action = PresetAudition::decide (engine.isActiveFor (id), engine.isPlaying() || engine.isLoading(),
                                                ! files.isEmpty(), engine.isAudioAvailable());

    switch (action)
    {
        case PresetAudition::Action::nothing:
            return;

        case PresetAudition::Action::noAudioOutput:
            showFailure ("No audio output", PresetAudition::noAudioOutputMessage (engine.getDeviceErrorText()));
            return;

        case PresetAudition::Action::stop:
            engine.stop();
            break;

        case PresetAudition::Action::play:
            engine.play (files, session.getPreset().exportSettings.masterSampleRate, label, id, 0.0, PreviewEngine::playFromFirstSound);
            break;
    }

    if (! auditionRepainter->isTimerRunning())
        auditionRepainter->startTimerHz (auditionRefreshHz);

    repaintStemsAndHeading();
    updateAuditionState();
}

bool PresetPage::isAuditioning() const
{
    const auto& engine = appState.previewEngine;
    return (engine.isPlaying() || engine.isLoading()) && PresetAudition::isPresetSource (engine.getRequestedSourceId());
}

bool PresetPage::isSourcePlaying (const juce::String& sourceId) const
{
    const auto& engine = appState.previewEngine;
    return (engine.isPlaying() || engine.isLoading()) && engine.isActiveFor (sourceId);
}

void PresetPage::togglePlayback()
{
    if (isAuditioning())
    {
        appState.previewEngine.stop();
        repaintStemsAndHeading();
        updateAuditionState();
        return;
    }

    if (selectedCueKey.isEmpty())
        return;

    if (const auto* stem = session.getPreset().schema.findStem (currentStemId))
        auditionStem (*stem);
}

void PresetPage::updateAuditionState()
{
    auto& engine = appState.previewEngine;

    if (! isAuditioning())
    {
        auditionView.setPlayheadPosition (-1.0);
        shownAuditionKey = {};

        if (auditionView.isVisible())
        {
            auditionView.setVisible (false);
            repaint (auditionView.getBounds());
        }

        return;
    }

    const auto loadedId = engine.getLoadedSourceId();
    const auto key = loadedId + "@" + juce::String (engine.getLoadedWindow().startSeconds, 3);

    if (loadedId.isNotEmpty() && key != shownAuditionKey)
    {
        shownAuditionKey = key;
        const auto overview = engine.getMixOverview();

        if (overview.maximums.empty())
            auditionView.clear();
        else
            auditionView.setPeaks (overview);
    }

    if (engine.isLoading())
    {
        auditionView.setBusyText ("Preparing");
        auditionView.setBusyProgress (engine.getLoadProgress());
    }

    auditionView.setBusy (engine.isLoading());
    auditionView.setPlayheadPosition (engine.getWindowPosition());
    auditionView.setVisible (true);
}

//==============================================================================
// Layout and painting

void PresetPage::resized()
{
    PresetPageLayout::Inputs inputs;
    inputs.width = getWidth();
    inputs.height = getHeight();

    juce::TextButton* textButtons[] = { &addStemButton, &addSeveralButton, &duplicateStemButton, &deleteStemButton, &deleteAllButton };

    for (size_t i = 0; i < 5; ++i)
        inputs.textButtonWidths[i] = textButtonWidth (*textButtons[i]);

    {
        const auto font = hintLabel.getFont();
        int widest = 0;

        for (const auto& line : juce::StringArray::fromLines (hintLabel.getText()))
            widest = juce::jmax (widest, (int) std::ceil (font.getStringWidthFloat (line)));

        const auto border = hintLabel.getBorderSize();
        inputs.hintWidth = widest + border.getLeftAndRight() + 2;
    }

    auto l = PresetPageLayout::compute (inputs);

    libraryHeading.setBounds (l.libraryHeading);
    libraryList.setBounds (l.libraryList);
    juce::Component* libraryButtons[] = { &newButton, &duplicateButton, &renameButton, &saveButton, &saveAsButton,
                                          &deleteButton, &importButton, &exportButton, &restoreButton };

    for (size_t i = 0; i < 9; ++i)
        libraryButtons[i]->setBounds (l.libraryButtons[i]);

    statusLabel.setBounds (l.statusLabel);
    projectHeading.setBounds (l.projectHeading);

    juce::Component* rowLabels[] = { &publisherLabel, &pubCodeLabel, &composerLabel, &versionLabel, &numberingLabel };
    juce::Component* rowFields[] = { &publisherField, &pubCodeField, &composerField, &versionField, &numberingChoice };

    for (size_t i = 0; i < 5; ++i)
    {
        rowLabels[i]->setBounds (l.rowLabels[i]);
        rowFields[i]->setBounds (l.rowFields[i]);
    }

    keywordsLabel.setBounds (l.keywordsLabel);
    pluralToggle.setBounds (l.pluralToggle);
    separatorY = l.separatorY;

    stemPanel = l.stemPanel;
    cueLabel.setBounds (l.cueLabel);
    cueChoice.setBounds (l.cueChoice);
    addMixButton.setBounds (l.addMixButton);
    submixHeader->setBounds (l.mixHeader);
    updateTickColumns (l);

    juce::Component* stemButtons[] = { &addStemButton, &addSeveralButton, &duplicateStemButton, &deleteStemButton,
                                       &deleteAllButton, &earlierButton, &laterButton };

    for (size_t i = 0; i < 7; ++i)
        stemButtons[i]->setBounds (l.stemButtons[i]);

    hintLabel.setVisible (l.hintVisible);
    hintLabel.setBounds (l.hint);

    editorPanel = l.editorPanel;
    auditionView.setBounds (l.auditionStrip);

    juce::Component* editorLabels[] = { &nameLabel, &codeLabel, &tokenLabel, &priorityLabel };
    juce::Component* editorFields[] = { &nameField, &codeField, &tokenField };

    for (size_t i = 0; i < 4; ++i)
        editorLabels[i]->setBounds (l.editorLabels[i]);

    for (size_t i = 0; i < 3; ++i)
        editorFields[i]->setBounds (l.editorFields[i]);

    prioritySlider.setBounds (l.prioritySlider);
    colourButton.setBounds (l.colourButton);
    rulesLabel.setBounds (l.rulesLabel);
    rulesField.setBounds (l.rulesField);
    exclusionsLabel.setBounds (l.exclusionsLabel);
    exclusionsField.setBounds (l.exclusionsField);
    sectionPanels = l.sectionPanels;

    if (inlineRenameRow >= 0)
        finishInlineRename (false);
}

void PresetPage::scrollBarMoved (juce::ScrollBar*, double newRangeStart)
{
    tickScrollOffset = (int) newRangeStart;
    submixHeader->repaint();
    stemList->repaint();
}

void PresetPage::paint (juce::Graphics& g)
{
    const auto palette = currentPalette();
    g.fillAll (palette.windowBackground);

    const int L = juce::jmin (getWidth(), PresetPageLayout::leftColumnWidth);
    const auto fillBlock = [&g, &palette] (juce::Rectangle<int> block)
    {
        if (block.isEmpty())
            return;

        g.setGradientFill (subtleGradient (palette.panelBackground, block.toFloat()));
        g.fillRect (block);
    };

    if (separatorY > 0)
    {
        fillBlock (juce::Rectangle<int>::leftTopRightBottom (0, 12, L, separatorY));
        fillBlock (juce::Rectangle<int>::leftTopRightBottom (0, separatorY, L, getHeight()));
    }
    else
    {
        fillBlock (juce::Rectangle<int>::leftTopRightBottom (0, 12, L, getHeight()));
    }

    fillBlock (editorPanel);

    const auto strip = auditionView.getBounds();

    if (! auditionView.isVisible() && ! strip.isEmpty())
    {
        const auto box = strip.toFloat();
        g.setGradientFill (subtleGradient (palette.raisedBackground, box));
        g.fillRoundedRectangle (box, 4.0f);
        g.setColour (palette.subtleOutline);
        g.drawRoundedRectangle (box.translated (0.5f, 0.5f).withSizeKeepingCentre (box.getWidth() - 1.0f, box.getHeight() - 1.0f), 4.0f, 1.0f);

        const auto* stem = getSelectedStem();
        g.setFont (fontBold14_5());
        g.setColour (stem != nullptr ? palette.textPrimary : palette.textDisabled);
        g.drawText (stem != nullptr ? stem->displayName : juce::String ("No stem selected"), strip.reduced (6, 0),
                    juce::Justification::centred, true);
    }

    if (separatorY > 0)
    {
        g.setColour (juce::Colours::black.withAlpha (0.55f));
        g.fillRect (0, separatorY - 1, PresetPageLayout::leftColumnWidth, 1);
        g.setColour (palette.outline);
        g.fillRect (0, separatorY, PresetPageLayout::leftColumnWidth, 1);
    }

    drawPanel (g, stemPanel, palette.panelBackground);

    for (const auto& section : sectionPanels)
        drawPanel (g, section, palette.raisedBackground);
}

std::unique_ptr<juce::ComponentTraverser> PresetPage::createKeyboardFocusTraverser()
{
    return std::make_unique<BlockTraverser> (*this);
}

} // namespace dunmoor::ui
