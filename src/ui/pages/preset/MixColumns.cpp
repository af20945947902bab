#include "MixColumns.h"

#include "PresetAudition.h"
#include "StemFieldEdits.h"
#include "ui/look/PaintedText.h"
#include "ui/look/ShortenedText.h"

namespace dunmoor::ui
{

/** The strip above the stem rows that names the alternative-mix columns: a double-click
    renames, the cross removes, the zone on the left of a column auditions it for the chosen cue. */
class MixColumns::Heading : public juce::Component,
                            public juce::TooltipClient,
                            public PaintsTexts
{
public:
    explicit Heading (MixColumns& c) : columns (c) {}

    void mouseMove (const juce::MouseEvent& e) override
    {
        hoveredColumn = TickColumns::columnAt (layout(), e.x);
        const int cross = TickColumns::crossAt (layout(), e.x);

        if (cross != hoveredCross)
        {
            hoveredCross = cross;
            repaint();
        }
    }

    void mouseExit (const juce::MouseEvent&) override
    {
        hoveredColumn = -1;

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
        const auto& mixes = columns.session.getPreset().schema.alternativeMixes;

        if (column < 0 || column >= (int) mixes.size())
            return;

        const auto mix = mixes[(size_t) column];
        const bool hasCue = columns.hasCue();

        if (TickColumns::crossAt (l, e.x) == column)
        {
            columns.removeSubmix (mix.id);
        }
        else if (hasCue && TickColumns::isInAuditionZone (l, column, e.x, hasCue))
        {
            columns.audition.auditionMix (mix, columns.selectedCueKey);
        }
        else if (e.mods.isPopupMenu())
        {
            juce::PopupMenu menu;
            menu.addItem (1, "Rename...");
            menu.addItem (2, "Remove this alternative mix");

            columns.context.seams.showPopupMenu (menu, popupMenuOptionsFor (this).withTargetComponent (this),
                                                 [safe = juce::Component::SafePointer<MixColumns> (&columns), mixId = mix.id] (int result)
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
        const auto& mixes = columns.session.getPreset().schema.alternativeMixes;

        if (column >= 0 && column < (int) mixes.size() && TickColumns::crossAt (l, e.x) != column)
            columns.renameSubmix (mixes[(size_t) column].id);
    }

    /** "Stem" over the names, then each alternative mix's name in its column, beside its
        audition zone and before its cross; a name too long for its column is shortened at the
        end, and the tooltip over the column gives it whole. */
    std::vector<PaintedText> getPaintedTexts() const override
    {
        const auto l = layout();
        const auto textColour = getLookAndFeel().findColour (juce::TableHeaderComponent::textColourId);
        const auto& nameArea = l.nameArea;
        std::vector<PaintedText> texts { { "Stem",
                                           juce::Rectangle<int> (nameArea.getX() + 12, nameArea.getY(), juce::jmax (0, nameArea.getWidth() - 12), nameArea.getHeight()).toFloat(),
                                           fontBold14(), textColour } };

        const auto& mixes = columns.session.getPreset().schema.alternativeMixes;

        for (size_t i = 0; i < l.columns.size() && i < mixes.size(); ++i)
        {
            const auto column = l.columns[i];
            auto nameZone = column.withRight (TickColumns::crossZone (column).getX());

            if (columns.hasCue())
                nameZone.setLeft (TickColumns::auditionZone (column, true).getRight());

            // The columns scroll sideways under the tick area, which is all of them that shows.
            const juce::Rectangle<int> area (nameZone.getX() + 4, nameZone.getY(), juce::jmax (0, nameZone.getWidth() - 8), nameZone.getHeight());
            PaintedText name { shortenToFit (mixes[i].name, fontBold14(), (float) area.getWidth(), Shortening::atEnd), area.toFloat(), fontBold14(),
                               textColour, juce::Justification::centred };
            name.mayBeShortened = true;
            name.scrollsSideways = true;
            texts.push_back (name);
        }

        return texts;
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
        const auto texts = getPaintedTexts();
        drawPaintedText (g, texts[0]);

        const auto& schema = columns.session.getPreset().schema;
        const bool hasCue = columns.hasCue();
        const auto palette = currentPalette();

        juce::Graphics::ScopedSaveState clip (g);
        g.reduceClipRegion (l.tickArea);

        for (size_t i = 0; i < l.columns.size() && i < schema.alternativeMixes.size(); ++i)
        {
            const auto& mix = schema.alternativeMixes[i];
            const auto column = l.columns[i];
            drawDividerLine (g, column.getX(), column.getY(), juce::jmax (0, column.getHeight() - 1));

            const auto cross = TickColumns::crossZone (column);

            if (hasCue)
            {
                const auto zone = TickColumns::auditionZone (column, true);
                const auto id = PresetAudition::mixSourceId (columns.selectedCueKey, mix.id);
                PresetAudition::drawButton (g, zone, columns.audition.isSourcePlaying (id), true, palette.accent, palette.textSecondary);
            }

            drawPaintedText (g, texts[i + 1]);

            const float cx = (float) cross.getX() + (float) (cross.getWidth() - 9) / 2.0f;
            const float cy = (float) column.getY() + (float) (column.getHeight() - 9) / 2.0f;
            g.setColour ((int) i == hoveredCross ? palette.textPrimary : palette.textSecondary);
            g.drawLine (cx, cy, cx + 9.0f, cy + 9.0f, 1.4f);
            g.drawLine (cx, cy + 9.0f, cx + 9.0f, cy, 1.4f);
        }
    }

    juce::String getTooltip() override
    {
        // Over a column whose name is shortened, the whole name comes first.
        const juce::String hint ("Double-click a heading to rename it. The cross removes that alternative mix.");
        const auto texts = getPaintedTexts();

        if (hoveredColumn < 0 || hoveredColumn + 1 >= (int) texts.size())
            return hint;

        const auto& mix = columns.session.getPreset().schema.alternativeMixes[(size_t) hoveredColumn];
        return texts[(size_t) hoveredColumn + 1].text == mix.name ? hint : mix.name + "\n\n" + hint;
    }

private:
    StemRowLayout layout() const { return columns.rowLayout (getLocalBounds()); }

    MixColumns& columns;
    int hoveredCross = -1;
    int hoveredColumn = -1;
};

//==============================================================================
MixColumns::MixColumns (PresetPageContext& contextToUse, PresetAuditionStrip& auditionToUse)
    : context (contextToUse),
      session (contextToUse.session),
      audition (auditionToUse)
{
    setTitle ("Alternative mix scope");
    // Only its controls and the heading take the mouse; the gap between them is the page's.
    setInterceptsMouseClicks (false, true);

    heading = std::make_unique<Heading> (*this);
    heading->setTitle ("Alternative mixes");

    addMixButton.setTitle (addMixButton.getButtonText());
    addMixButton.setTooltip ("An extra file built from the stems you tick in its column, such as an instrumental. The full mix still contains every stem.");

    setUpLabel (cueLabel, "Cue", LabelTone::secondary, juce::Justification::centredRight);
    cueLabel.setBorderSize ({ 1, 0, 1, 5 }); // the row's left edge needs no margin of the label's own
    cueChoice.setTitle ("Cue");
    cueChoice.setTooltip ("Which cue these ticks are about. With All cues you are editing the preset; with one cue you are making an exception for that cue, kept in the project.");
    cueChoice.addItem ("All cues", 1);
    cueChoice.setSelectedId (1, juce::dontSendNotification);

    addAllAndMakeVisible (*this, { heading.get(), &addMixButton, &cueLabel, &cueChoice });

    addMixButton.onClick = [this] { addSubmix(); };
    cueChoice.onChange = [this] { cueChoiceChanged(); };

    rebuildCueStemIndex();
    refreshCueChoices();
}

MixColumns::~MixColumns() = default;

void MixColumns::columnsChanged()
{
    repaintHeading();

    if (onColumnsChanged != nullptr)
        onColumnsChanged();
}

void MixColumns::repaintHeading()
{
    heading->repaint();
}

//==============================================================================
void MixColumns::addSubmix()
{
    if ((int) session.getPreset().schema.alternativeMixes.size() >= maxAlternativeMixes)
    {
        context.showMessage (juce::MessageBoxIconType::InfoIcon, "That is as many as you can have",
                             "A schema can define up to " + juce::String (maxAlternativeMixes)
                                 + " alternative mixes. Each one is a whole extra render of the project.");
        return;
    }

    context.askForName ("New alternative mix", "Name:", "Instrumental", [this] (const juce::String& name)
    {
        auto copy = session.getPreset().schema;

        if (copy.addAlternativeMix (name).isNotEmpty())
            commitSubmixTicks (copy);
    });
}

void MixColumns::renameSubmix (const juce::String& mixId)
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

    context.askForTexts (request, [this, mixId] (const juce::StringArray& texts)
    {
        const auto name = texts[0].substring (0, maxFieldCharacters).trim();

        if (name.isEmpty())
            return;

        auto copy = session.getPreset().schema;
        auto* target = copy.findAlternativeMix (mixId);

        if (target == nullptr)
            return;

        target->name = name;
        target->shortCode = texts[1].substring (0, maxFieldCharacters).trim();
        commitSubmixTicks (copy);
    });
}

void MixColumns::removeSubmix (const juce::String& mixId)
{
    const auto* mix = session.getPreset().schema.findAlternativeMix (mixId);

    if (mix == nullptr)
        return;

    context.ask (juce::MessageBoxIconType::QuestionIcon, "Remove this alternative mix?",
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

void MixColumns::commitSubmixTicks (const StemSchema& schema)
{
    auto copy = session.getPreset();
    copy.schema = schema;

    // The page lays itself out again, so the columns follow the names.
    if (onPresetEdited != nullptr)
        onPresetEdited (copy);

    columnsChanged();
}

void MixColumns::tickClicked (const Stem& stem, int column)
{
    const auto& schema = session.getPreset().schema;

    if (column < 0 || column >= (int) schema.alternativeMixes.size())
        return;

    const auto mix = schema.alternativeMixes[(size_t) column];
    const bool member = isStemInMix (column, stem.id);

    if (hasCue())
    {
        // An exception for this cue, kept in the project; the preset is not touched.
        session.setCueMixMember (selectedCueKey, mix, stem.id, ! member);
        columnsChanged();
        return;
    }

    auto copy = schema;

    if (copy.setAlternativeMixMember (mix.id, stem.id, ! mix.stemIds.contains (stem.id)))
        commitSubmixTicks (copy);
}

//==============================================================================
const MixTicks& MixColumns::currentMixTicks()
{
    if (mixTicksStale)
    {
        mixTicks = MixTicks (session.getPreset().schema, hasCue() ? session.findCue (selectedCueKey) : nullptr);
        mixTicksStale = false;
    }

    return mixTicks;
}

bool MixColumns::isStemInMix (int mixIndex, const juce::String& stemId)
{
    return currentMixTicks().isMember (mixIndex, stemId);
}

bool MixColumns::cueHasTracks (const juce::String& stemId) const
{
    return cueStemIndex.hasTracks (selectedCueKey, stemId);
}

void MixColumns::rebuildCueStemIndex()
{
    cueStemIndex = CueStemIndex (session.getTracks());
}

void MixColumns::tracksChanged()
{
    // Cue exceptions live with the cues, so the ticks may have changed too.
    mixTicksStale = true;
    rebuildCueStemIndex();
    refreshCueChoices();
}

void MixColumns::assignmentsChanged()
{
    rebuildCueStemIndex();
    refreshCueChoices();
}

void MixColumns::presetChanged()
{
    mixTicksStale = true;
}

void MixColumns::refreshCueChoices()
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

    if (id == CueChoices::allCuesId && hasCue())
    {
        // The cue has gone: back to the preset's own ticks.
        selectedCueKey = {};
        mixTicksStale = true;

        if (audition.isAuditioning())
            context.appState.previewEngine.stop();

        if (onScopeChanged != nullptr)
            onScopeChanged();
    }
}

void MixColumns::cueChoiceChanged()
{
    const auto key = cueChoices.keyForId (cueChoice.getSelectedId());
    context.appState.previewEngine.stop();

    selectedCueKey = key;
    mixTicksStale = true;

    // The audition cell comes or goes, and with it the room for the columns.
    if (onScopeChanged != nullptr)
        onScopeChanged();
}

//==============================================================================
StemRowLayout MixColumns::rowLayout (juce::Rectangle<int> row) const
{
    return StemRowLayout::compute (row, (int) session.getPreset().schema.alternativeMixes.size(), tickScrollOffset, hasCue(),
                                   tickColumnWidth);
}

void MixColumns::updateColumnWidth()
{
    int widest = 0;

    for (const auto& mix : session.getPreset().schema.alternativeMixes)
        widest = juce::jmax (widest, measureTextWidthCeil (fontPlain14_5(), mix.name));

    tickColumnWidth = TickColumns::columnWidthFor (widest);
}

TickColumns MixColumns::fitColumns (int tickAreaWidth) const
{
    return TickColumns::fit (tickAreaWidth, (int) session.getPreset().schema.alternativeMixes.size(), tickColumnWidth,
                             tickScrollOffset);
}

void MixColumns::setScrollOffset (int offset)
{
    tickScrollOffset = offset;
    columnsChanged();
}

void MixColumns::layOut (const PresetPageLayout& l)
{
    setBounds (l.mixPanel);
    const auto local = [this] (juce::Rectangle<int> r) { return r - getPosition(); };

    cueLabel.setBounds (local (l.cueLabel));
    cueChoice.setBounds (local (l.cueChoice));
    addMixButton.setBounds (local (l.addMixButton));
    heading->setBounds (local (l.mixHeader));
}

} // namespace dunmoor::ui
