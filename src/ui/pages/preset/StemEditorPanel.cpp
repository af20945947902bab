#include "StemEditorPanel.h"

#include "FocusBlockTraverser.h"

namespace dunmoor::ui
{

namespace
{
    const char* const rulesTooltip =
        "Rules separated by commas; a new line works too.\n"
        "  boom, riser           two whole-word rules\n"
        "  sound design          a space inside a rule means a phrase\n"
        "  riser @50             rule priority\n"
        "  waterphone !choir     does not fire when 'choir' is present\n"
        "  brass !low !soft      one '!' per exclusion\n"
        "  ~piano                the whole file name must be exactly this\n"
        "  ?strings              approximate (only when fuzzy matching is on)";

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
} // namespace

//==============================================================================
/** Lands the last colour of a drag in the colour space at most every 50 ms. */
class StemEditorPanel::ColourCommitTimer : public juce::Timer
{
public:
    explicit ColourCommitTimer (StemEditorPanel& p) : panel (p) {}

    void colourChanged (juce::Colour colour)
    {
        if (isTimerRunning())
        {
            waiting = colour;
            hasWaiting = true;
            return;
        }

        panel.applyStemColour (colour);
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
        panel.applyStemColour (waiting);
    }

    void forget()
    {
        hasWaiting = false;
        stopTimer();
    }

private:
    StemEditorPanel& panel;
    juce::Colour waiting;
    bool hasWaiting = false;
};

//==============================================================================
StemEditorPanel::StemEditorPanel (PresetPageContext& contextToUse)
    : context (contextToUse),
      session (contextToUse.session)
{
    setTitle ("Stem editor");

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

    prioritySlider.setRange (minShownPriority, maxShownPriority, 1.0);
    prioritySlider.setTitle ("Stem priority");
    prioritySlider.setTooltip ("Used only when two stems are otherwise tied.");
    colourButton.setTitle ("Colour");
    setUpLabel (noteLabel, {}, LabelTone::warning, juce::Justification::centredLeft);
    noteLabel.setTitle ("Stem editor note");
    noteLabel.setMinimumHorizontalScale (1.0f);
    noteLabel.setFont (fontPlain13());
    noteLabel.setBorderSize ({}); // the two lines of the note fill the colour button's row

    setUpHeading (rulesLabel, "Keyword rules", fontBold14_5());
    setUpMultiLineField (rulesField, "Keyword rules", "boom, riser, sound design", rulesTooltip);
    setUpHeading (exclusionsLabel, "Stem-wide exclusions", fontBold14_5());
    setUpMultiLineField (exclusionsField, "Stem-wide exclusions", "choir, vox",
                         "Comma separated. If one of these turns up in a file name, this stem drops out of the running for it.");

    addAllAndMakeVisible (*this, { &nameLabel, &codeLabel, &tokenLabel, &priorityLabel, &nameField, &codeField, &tokenField,
                                   &prioritySlider, &colourButton, &noteLabel, &rulesLabel, &rulesField, &exclusionsLabel, &exclusionsField });

    colourButton.onClick = [this] { chooseStemColour(); };

    for (auto* field : { &nameField, &codeField, &tokenField, &rulesField, &exclusionsField })
    {
        field->onTextChange = [this] { startStemFieldTimer(); };
        field->onFocusLost = [this]
        {
            commitStemFields();

            if (onFieldLeft != nullptr)
                onFieldLeft();
        };
        field->onEscapeKey = [this] { finishStemFieldWithKey(); };
        field->addMouseListener (this, false);
    }

    for (auto* field : { &nameField, &codeField, &tokenField })
        field->onReturnKey = [this] { finishStemFieldWithKey(); };

    nameField.onTextChange = [this]
    {
        if (! context.isFilling())
            noteLabel.setText ({}, juce::dontSendNotification);

        startStemFieldTimer();
    };

    prioritySlider.onValueChange = [this]
    {
        if (context.isFilling())
            return;

        pending = true;
        commitStemFields();
    };

    colourTimer = std::make_unique<ColourCommitTimer> (*this);
}

StemEditorPanel::~StemEditorPanel()
{
    stopTimer();
    detachColourSelector();
    colourTimer->forget();

    for (auto* field : { &nameField, &codeField, &tokenField, &rulesField, &exclusionsField })
        field->removeMouseListener (this);
}

void StemEditorPanel::detachColourSelector()
{
    if (colourSelector == nullptr)
        return;

    colourSelector->removeChangeListener (this);

    if (auto* box = colourSelector->findParentComponentOfClass<juce::CallOutBox>())
        box->dismiss();

    colourSelector = nullptr;
}

void StemEditorPanel::stemEdited()
{
    if (onStemEdited != nullptr)
        onStemEdited();
}

bool StemEditorPanel::aFieldHasFocus() const
{
    for (const auto* field : { &nameField, &codeField, &tokenField, &rulesField, &exclusionsField })
        if (field->hasKeyboardFocus (true))
            return true;

    return false;
}

//==============================================================================
void StemEditorPanel::fill (const Stem* stem)
{
    const PresetPageContext::ScopedFilling fillingScope (context);

    setAllEnabled ({ &nameField, &codeField, &tokenField, &prioritySlider, &colourButton, &rulesField, &exclusionsField },
                   stem != nullptr);

    if (stem == nullptr || stem->id != shownStemId)
        noteLabel.setText ({}, juce::dontSendNotification);

    if (stem != nullptr)
    {
        shownStemId = stem->id;
        shownStem = StemFieldTexts::of (*stem);
        nameField.setText (shownStem.name, false);
        codeField.setText (shownStem.shortCode, false);
        tokenField.setText (shownStem.token, false);
        prioritySlider.setValue (shownStem.priority, juce::dontSendNotification);
        rulesField.setText (shownStem.rules, false);
        exclusionsField.setText (shownStem.exclusions, false);
        showColour (juce::Colour (stem->colour));
    }
    else
    {
        shownStemId = {};
        shownStem = {};

        for (auto* field : { &nameField, &codeField, &tokenField, &rulesField, &exclusionsField })
            field->setText ({}, false);

        colourButton.removeColour (juce::TextButton::buttonColourId);
        colourButton.removeColour (juce::TextButton::textColourOffId);
    }

    pending = false;
}

void StemEditorPanel::showColour (juce::Colour colour)
{
    colourButton.setColour (juce::TextButton::buttonColourId, colour);
    colourButton.setColour (juce::TextButton::textColourOffId, textColourOn (colour));
}

void StemEditorPanel::startStemFieldTimer()
{
    if (context.isFilling())
        return;

    pending = true;
    startTimer (commitDelayMs);
}

void StemEditorPanel::finishStemFieldWithKey()
{
    stopTimer();
    commitStemFields();
    unfocusAllComponents();
}

void StemEditorPanel::timerCallback()
{
    stopTimer();

    if (pending)
        commitStemFields();
}

void StemEditorPanel::commitIfPending()
{
    if (pending)
        commitStemFields();
}

void StemEditorPanel::mouseExit (const juce::MouseEvent&)
{
    commitIfPending();
}

void StemEditorPanel::commitStemFields()
{
    if (context.isFilling())
        return;

    pending = false;
    auto copy = session.getPreset();
    auto* stem = copy.schema.findStem (shownStemId);

    if (stem == nullptr)
        return;

    StemFieldTexts now { nameField.getText(), codeField.getText(), tokenField.getText(), (int) prioritySlider.getValue(),
                         rulesField.getText(), exclusionsField.getText() };

    // A stem without a name could not be told apart in the list, the menus or the file names.
    // While the user is still in the field a blank is only a step of retyping, so it is refused
    // (the field shows the stored name again, with the reason) only once the field is left.
    if (now.name.trim().isEmpty())
    {
        now.name = shownStem.name;

        if (! nameField.hasKeyboardFocus (true))
        {
            const PresetPageContext::ScopedFilling fillingScope (context);
            nameField.setText (shownStem.name, false);
            noteLabel.setText (blankNameNote, juce::dontSendNotification);
        }
    }

    if (! applyStemFieldEdits (*stem, shownStem, now))
        return;

    shownStem = now;

    {
        // The fields already show what was committed; the notification only repaints the list.
        const PresetPageContext::ScopedFilling fillingScope (context);
        session.updatePreset (copy);
    }

    context.appState.sendChangeMessage();
    stemEdited();
}

//==============================================================================
void StemEditorPanel::chooseStemColour()
{
    const auto* stem = session.getPreset().schema.findStem (shownStemId);

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
    context.seams.showCallOutBox (std::move (selector), colourButton.getScreenBounds(), nullptr);
}

void StemEditorPanel::changeListenerCallback (juce::ChangeBroadcaster* source)
{
    if (colourSelector == nullptr || source != colourSelector.getComponent() || colourTargetId.isEmpty())
        return;

    colourTimer->colourChanged (colourSelector->getCurrentColour());
}

void StemEditorPanel::applyStemColour (juce::Colour colour)
{
    auto copy = session.getPreset();
    auto* stem = copy.schema.findStem (colourTargetId);

    if (stem == nullptr || stem->colour == colour.getARGB())
        return;

    stem->colour = colour.getARGB();

    {
        const PresetPageContext::ScopedFilling fillingScope (context);
        session.updatePreset (copy);
    }

    if (colourTargetId == shownStemId)
        showColour (colour);

    context.appState.sendChangeMessage();
    stemEdited();
}

//==============================================================================
void StemEditorPanel::layOut (const PresetPageLayout& l)
{
    setBounds (l.editorPanel);
    const auto local = [this] (juce::Rectangle<int> r) { return r - getPosition(); };

    juce::Component* labels[] = { &nameLabel, &codeLabel, &tokenLabel, &priorityLabel };
    juce::Component* fields[] = { &nameField, &codeField, &tokenField };

    for (size_t i = 0; i < 4; ++i)
        labels[i]->setBounds (local (l.editorLabels[i]));

    for (size_t i = 0; i < 3; ++i)
        fields[i]->setBounds (local (l.editorFields[i]));

    prioritySlider.setBounds (local (l.prioritySlider));
    colourButton.setBounds (local (l.colourButton));
    noteLabel.setBounds (local (l.editorNote));
    rulesLabel.setBounds (local (l.rulesLabel));
    rulesField.setBounds (local (l.rulesField));
    exclusionsLabel.setBounds (local (l.exclusionsLabel));
    exclusionsField.setBounds (local (l.exclusionsField));

    sectionPanels.clear();

    for (const auto& section : l.sectionPanels)
        sectionPanels.push_back (local (section));
}

void StemEditorPanel::paint (juce::Graphics& g)
{
    // The Keyword rules and Stem-wide exclusions sections stand out from the panel.
    for (const auto& section : sectionPanels)
        drawPanel (g, section, currentPalette().raisedBackground);
}

std::unique_ptr<juce::ComponentTraverser> StemEditorPanel::createKeyboardFocusTraverser()
{
    return std::make_unique<FocusBlockTraverser> (std::vector<juce::Component*> {
        &nameField, &codeField, &tokenField, &prioritySlider, &rulesField, &exclusionsField });
}

} // namespace dunmoor::ui
