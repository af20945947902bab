#include "ui/shell/SettingsDialog.h"

namespace dunmoor::ui
{

namespace
{
    constexpr int rowHeight = 30;
    constexpr int columnGap = 24;
    constexpr int swatchWidth = 46;  // a palette row's colour swatch, at its left end
    const int sizeItems[] = { 80, 90, 100, 110, 120 };
} // namespace

//==============================================================================
void PaletteRow::Listener::changeListenerCallback (juce::ChangeBroadcaster* source)
{
    if (auto* selector = dynamic_cast<juce::ColourSelector*> (source))
        if (callback)
            callback (*selector);
}

PaletteRow::PaletteRow (const PaletteEntryInfo& entryToShow, std::function<void()> colourChanged)
    : entry (entryToShow)
    , onColourChanged (std::move (colourChanged))
    , listener ([this] (juce::ColourSelector& selector) { applyColour (selector.getCurrentColour()); })
{
    setInterceptsMouseClicks (true, true);
    setTitle (entry.label);
    setDescription (entry.description);
}

PaletteRow::~PaletteRow()
{
    // A picker can outlive the dialog in its call-out: it must not report to a gone row.
    if (openSelector != nullptr)
        openSelector->removeChangeListener (&listener);
}

void PaletteRow::applyColour (juce::Colour colour)
{
    auto palette = currentPalette();
    palette.*entry.colour = colour;
    applyPalette (palette);

    if (onColourChanged)
        onColourChanged();
}

void PaletteRow::mouseUp (const juce::MouseEvent&)
{
    // The rows are greyed out and inert unless the Custom colours are chosen.
    if (isEnabled())
        openColourPicker();
}

void PaletteRow::openColourPicker()
{
    auto selector = std::make_unique<juce::ColourSelector> (juce::ColourSelector::showColourAtTop | juce::ColourSelector::showSliders | juce::ColourSelector::showColourspace, 4, 7);
    selector->setCurrentColour (currentPalette().*entry.colour, juce::dontSendNotification);
    selector->setSize (260, 300);
    selector->addChangeListener (&listener);
    selector->setTitle (juce::String (entry.label) + " colour");

    if (openSelector != nullptr)
        openSelector->removeChangeListener (&listener);
    openSelector = selector.get();

    // The call-out owns the selector and deletes it when it closes.
    juce::CallOutBox::launchAsynchronously (std::move (selector), getScreenBounds(), nullptr);
}

void PaletteRow::paint (juce::Graphics& g)
{
    const auto p = currentPalette();
    auto area = getLocalBounds();

    const auto swatch = area.removeFromLeft (juce::jmin (area.getWidth(), swatchWidth)).reduced (0, 3).toFloat();
    g.setColour (p.*entry.colour);
    g.fillRoundedRectangle (swatch, 4.0f);
    g.setColour (p.outline);
    g.drawRoundedRectangle (swatch, 4.0f, 1.0f);

    drawPaintedTexts (g, getPaintedTexts());
}

std::vector<PaintedText> PaletteRow::getPaintedTexts() const
{
    // After the swatch and a 12 px gap: the name in 130 px, then the description.
    const auto p = currentPalette();
    auto area = getLocalBounds();
    area.removeFromLeft (juce::jmin (swatchWidth + 12, area.getWidth()));
    const auto label = area.removeFromLeft (juce::jmin (130, area.getWidth()));
    return { { entry.label, label.toFloat(), fontPlain14_5(), p.textPrimary }, { entry.description, area.toFloat(), fontPlain12_5(), p.textSecondary } };
}

//==============================================================================
void SettingsDialog::RowHolder::paint (juce::Graphics& g)
{
    if (getWidth() <= 0)
        return;

    g.setColour (currentPalette().subtleOutline);
    g.fillRect (getWidth() / 2 - 1, 0, 1, getHeight());
}

int SettingsDialog::nearestSizeItem (int percent)
{
    auto best = sizeItems[0];
    for (const auto item : sizeItems)
        if (std::abs (item - percent) < std::abs (best - percent))
            best = item;
    return best;
}

SettingsDialog::SettingsDialog (int uiScalePercent, PaletteChoice choice, Callbacks callbacksToUse)
    : callbacks (std::move (callbacksToUse))
{
    for (const auto item : sizeItems)
        sizeBox.addItem (juce::String (item) + "%", item);
    sizeBox.setSelectedId (nearestSizeItem (uiScalePercent), juce::dontSendNotification);
    sizeBox.setTitle ("Interface size");
    sizeBox.setTooltip ("Resizes the whole interface. Everything scales together and every control is measured from the font, so nothing overlaps at any of the sizes offered - smaller fits more rows on a laptop screen.");
    sizeBox.onChange = [this]
    {
        if (callbacks.interfaceSizeChanged)
            callbacks.interfaceSizeChanged (sizeBox.getSelectedId());
    };

    coloursBox.addItem ("Default", (int) PaletteChoice::defaultColours);
    coloursBox.addItem ("Brighter", (int) PaletteChoice::brighter);
    coloursBox.addItem ("Custom", (int) PaletteChoice::custom);
    coloursBox.setSelectedId ((int) choice, juce::dontSendNotification);
    coloursBox.setTitle ("Colors");
    coloursBox.onChange = [this]
    {
        if (callbacks.paletteChoiceChanged)
            callbacks.paletteChoiceChanged ((PaletteChoice) coloursBox.getSelectedId());
        updateColourControls();
        repaintRows();
    };

    resetButton.setTitle ("Reset colors to default");
    resetButton.onClick = [this]
    {
        applyPalette (defaultPalette());
        notifyCustomPalette();
        repaintRows();
    };

    addAllAndMakeVisible (*this, { &sizeLabel, &sizeBox, &coloursLabel, &coloursBox, &resetButton, &viewport });
    setLabelTone (sizeLabel, LabelTone::primary);
    setLabelTone (coloursLabel, LabelTone::primary);
    for (auto* label : { &sizeLabel, &coloursLabel })
        label->setFont (fontPlain14_5());

    for (const auto& entry : getPaletteEntries())
    {
        rows.push_back (std::make_unique<PaletteRow> (entry, [this] { rowColourChanged(); }));
        rowHolder.addAndMakeVisible (*rows.back());
    }

    viewport.setViewedComponent (&rowHolder, false);
    viewport.setScrollBarsShown (true, false);
    viewport.setTitle ("Palette colours");

    updateColourControls();
    setSize (860, 450);
}

SettingsDialog::~SettingsDialog()
{
    viewport.setViewedComponent (nullptr, false);
}

void SettingsDialog::updateColourControls()
{
    const auto custom = coloursBox.getSelectedId() == (int) PaletteChoice::custom;
    viewport.setEnabled (custom);
    viewport.setAlpha (custom ? 1.0f : 0.4f);
    resetButton.setEnabled (custom);
}

void SettingsDialog::notifyCustomPalette()
{
    if (coloursBox.getSelectedId() == (int) PaletteChoice::custom && callbacks.customPaletteChanged)
        callbacks.customPaletteChanged (currentPalette());
}

void SettingsDialog::repaintRows()
{
    for (auto& row : rows)
        row->repaint();
}

void SettingsDialog::rowColourChanged()
{
    notifyCustomPalette();
    repaintRows();
}

void SettingsDialog::paint (juce::Graphics& g)
{
    g.fillAll (currentPalette().windowBackground);
}

void SettingsDialog::resized()
{
    auto area = getLocalBounds().reduced (12);

    auto top = area.removeFromTop (juce::jmin (30, area.getHeight()));
    sizeLabel.setBounds (top.removeFromLeft (juce::jmin (130, top.getWidth())));
    sizeBox.setBounds (top.removeFromLeft (juce::jmin (140, top.getWidth())));
    top.removeFromLeft (juce::jmin (24, top.getWidth()));
    // The label's text needs its width plus the label's own border.
    const auto coloursWidth = measureTextWidthCeil (coloursLabel.getFont(), coloursLabel.getText()) + coloursLabel.getBorderSize().getLeftAndRight() + 2;
    coloursLabel.setBounds (top.removeFromLeft (juce::jmin (coloursWidth, top.getWidth())));
    coloursBox.setBounds (top.removeFromLeft (juce::jmin (140, top.getWidth())));

    area.removeFromTop (juce::jmin (12, area.getHeight()));
    viewport.setBounds (area.removeFromTop (juce::jmin (342, area.getHeight())));

    const auto rowCount = (int) rows.size();
    const auto perColumn = (rowCount + 1) / 2;
    rowHolder.setSize (juce::jmax (0, viewport.getWidth() - viewport.getScrollBarThickness()), perColumn * rowHeight);
    const auto columnWidth = juce::jmax (0, (rowHolder.getWidth() - columnGap) / 2);
    for (int i = 0; i < rowCount; ++i)
        rows[(size_t) i]->setBounds ((i / perColumn) * (columnWidth + columnGap), (i % perColumn) * rowHeight, columnWidth, rowHeight);

    area.removeFromTop (juce::jmin (12, area.getHeight()));
    resetButton.setBounds (area.removeFromTop (juce::jmin (30, area.getHeight())).removeFromLeft (juce::jmin (200, area.getWidth())));
}

} // namespace dunmoor::ui
