#include "ui/look/AppLookAndFeel.h"
#include "ui/look/ShortenedText.h"

#include "ui/look/Theme.h"

namespace dunmoor::ui
{

namespace
{
    constexpr float cornerRadius = 4.0f;

    constexpr const char* busyPointerProperty = "busyPointer";

    juce::Rectangle<float> insetOf (juce::Rectangle<float> r)
    {
        return { r.getX() + 0.5f, r.getY() + 0.5f, juce::jmax (0.0f, r.getWidth() - 1.0f), juce::jmax (0.0f, r.getHeight() - 1.0f) };
    }
} // namespace

void setBusyPointer (juce::Component& component, bool busy)
{
    if ((bool) component.getProperties()[busyPointerProperty] == busy)
        return;

    component.getProperties().set (busyPointerProperty, busy);
    component.updateMouseCursor();
}

bool showsBusyPointer (const juce::Component& component)
{
    for (auto* c = &component; c != nullptr; c = c->getParentComponent())
        if ((bool) c->getProperties()[busyPointerProperty])
            return true;

    return false;
}

AppLookAndFeel::AppLookAndFeel()
{
    applyColours (*this);
}

juce::MouseCursor AppLookAndFeel::getMouseCursorFor (juce::Component& component)
{
    auto cursor = LookAndFeel_V4::getMouseCursorFor (component);

    if (cursor == juce::MouseCursor::NormalCursor && showsBusyPointer (component))
        return juce::MouseCursor::WaitCursor;

    return cursor;
}

void AppLookAndFeel::applyColours (juce::LookAndFeel_V4& lookAndFeel)
{
    const auto p = currentPalette();
    const auto accentTint = p.accent.withAlpha (0.35f);
    const auto dimmed = dimmedBackground();

    // The selected row of the framework's own lists and trees (the fallback file chooser among
    // them): strong enough to find at a glance on the dark list background.
    const auto selectedRow = p.accent.withAlpha (0.45f);

    lookAndFeel.setColourScheme ({ p.windowBackground,
                                   p.panelBackground,
                                   p.raisedBackground,
                                   p.outline,
                                   p.textPrimary,
                                   p.accent,
                                   p.textPrimary,
                                   p.windowBackground,
                                   p.textPrimary });

    const std::pair<int, juce::Colour> colours[] = {
        { juce::ResizableWindow::backgroundColourId, p.windowBackground },
        { juce::DocumentWindow::textColourId, p.textPrimary },
        { juce::Label::textColourId, p.textPrimary },
        { juce::Label::backgroundColourId, juce::Colour (0x00000000) },
        { juce::TextButton::buttonColourId, p.controlBackground },
        { juce::TextButton::buttonOnColourId, accentTint },
        { juce::TextButton::textColourOffId, p.textPrimary },
        { juce::TextButton::textColourOnId, p.textPrimary },
        { juce::ToggleButton::textColourId, p.textPrimary },
        { juce::ToggleButton::tickColourId, p.accent },
        { juce::ToggleButton::tickDisabledColourId, p.outline },
        { juce::ComboBox::backgroundColourId, p.controlBackground },
        { juce::ComboBox::textColourId, p.textPrimary },
        { juce::ComboBox::outlineColourId, p.outline },
        { juce::ComboBox::arrowColourId, p.textSecondary },
        { juce::PopupMenu::backgroundColourId, p.controlBackground },
        { juce::PopupMenu::textColourId, p.textPrimary },
        { juce::PopupMenu::highlightedBackgroundColourId, accentTint },
        { juce::PopupMenu::highlightedTextColourId, p.textPrimary },
        { juce::TextEditor::backgroundColourId, dimmed },
        { juce::TextEditor::textColourId, p.textPrimary },
        { juce::TextEditor::outlineColourId, p.outline },
        { juce::TextEditor::focusedOutlineColourId, p.accent },
        { juce::TextEditor::highlightColourId, accentTint },
        { juce::ListBox::backgroundColourId, dimmed },
        { juce::ListBox::outlineColourId, p.subtleOutline },
        { juce::TableHeaderComponent::backgroundColourId, p.raisedBackground },
        { juce::TableHeaderComponent::textColourId, p.textSecondary },
        { juce::TableHeaderComponent::outlineColourId, p.subtleOutline },
        { juce::TableHeaderComponent::highlightColourId, p.controlHover },
        { juce::TreeView::backgroundColourId, dimmed },
        { juce::TreeView::linesColourId, p.subtleOutline },
        { juce::TreeView::selectedItemBackgroundColourId, selectedRow },
        { juce::DirectoryContentsDisplayComponent::highlightColourId, selectedRow },
        { juce::DirectoryContentsDisplayComponent::highlightedTextColourId, p.textPrimary },
        { juce::DirectoryContentsDisplayComponent::textColourId, p.textPrimary },
        { juce::ScrollBar::thumbColourId, p.outline },
        { juce::ScrollBar::trackColourId, p.panelBackground },
        { juce::ProgressBar::backgroundColourId, p.controlBackground },
        { juce::ProgressBar::foregroundColourId, p.accent },
        { juce::TooltipWindow::backgroundColourId, p.controlBackground },
        { juce::TooltipWindow::textColourId, p.textPrimary },
        { juce::TooltipWindow::outlineColourId, p.outline },
        { juce::AlertWindow::backgroundColourId, p.panelBackground },
        { juce::AlertWindow::textColourId, p.textPrimary },
        { juce::AlertWindow::outlineColourId, p.outline },
        { juce::Slider::backgroundColourId, p.controlBackground },
        { juce::Slider::thumbColourId, p.accent },
        { juce::Slider::trackColourId, p.outline },
        { juce::Slider::textBoxTextColourId, p.textPrimary },
        { juce::Slider::textBoxBackgroundColourId, dimmed },
        { juce::Slider::textBoxOutlineColourId, p.outline },
    };

    for (const auto& [id, colour] : colours)
        lookAndFeel.setColour (id, colour);
}

int AppLookAndFeel::getDefaultScrollbarWidth() { return 11; }

void AppLookAndFeel::drawButtonBackground (juce::Graphics& g, juce::Button& button, const juce::Colour& backgroundColour, bool highlighted, bool down)
{
    auto fill = backgroundColour;
    if (highlighted || down)
        fill = fill.overlaidWith (currentPalette().accent.withAlpha (down ? 0.35f * 1.5f : 0.35f));
    if (! button.isEnabled())
        fill = fill.withMultipliedAlpha (0.5f);

    const auto area = insetOf (button.getLocalBounds().toFloat());
    g.setColour (fill);
    g.fillRoundedRectangle (area, cornerRadius);

    const auto focused = button.hasKeyboardFocus (false);
    g.setColour (focused ? currentPalette().accent : currentPalette().outline);
    g.drawRoundedRectangle (area, cornerRadius, focused ? 1.6f : 1.0f);
}

juce::Font AppLookAndFeel::getTextButtonFont (juce::TextButton&, int) { return fontPlain14_5(); }

void AppLookAndFeel::drawTickBox (juce::Graphics& g, juce::Component& component, float x, float y, float w, float h, bool ticked, bool enabled, bool, bool)
{
    const juce::Rectangle<float> box (x, y, w, h);
    const auto inset = insetOf (box);
    const auto alpha = enabled ? 1.0f : 0.5f;

    if (! ticked)
    {
        // An empty box: a dark well with a border in a text colour, which every palette keeps
        // readable against its panels.
        g.setColour (dimmedBackground().withMultipliedAlpha (alpha));
        g.fillRoundedRectangle (box, cornerRadius);
        g.setColour (currentPalette().textSecondary.withMultipliedAlpha (alpha));
        g.drawRoundedRectangle (inset, cornerRadius, 1.0f);
        return;
    }

    // A ticked box is filled with the tick colour and carries a tick mark in the text colour that
    // reads on it, so on and off differ in shape as well as in colour.
    const auto fill = component.findColour (juce::ToggleButton::tickColourId);
    g.setColour (fill.withMultipliedAlpha (alpha));
    g.fillRoundedRectangle (box, cornerRadius);

    juce::Path tick;
    tick.startNewSubPath (0.22f, 0.52f);
    tick.lineTo (0.42f, 0.72f);
    tick.lineTo (0.78f, 0.30f);
    tick.applyTransform (juce::AffineTransform::scale (w, h).translated (x, y));

    g.setColour (textColourOn (fill).withMultipliedAlpha (alpha));
    g.strokePath (tick, juce::PathStrokeType (juce::jmax (1.6f, w * 0.14f), juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
}

void AppLookAndFeel::drawAlertBox (juce::Graphics& g, juce::AlertWindow& alert, const juce::Rectangle<int>& textArea, juce::TextLayout& textLayout)
{
    g.setColour (alert.findColour (juce::AlertWindow::outlineColourId));
    g.drawRoundedRectangle (alert.getLocalBounds().toFloat(), cornerRadius, 2.0f);

    const auto bounds = alert.getLocalBounds().reduced (1);
    g.reduceClipRegion (bounds);
    g.setColour (alert.findColour (juce::AlertWindow::backgroundColourId));
    g.fillRoundedRectangle (bounds.toFloat(), cornerRadius);

    // The window keeps a column of this width for the icon; the icon stays inside it and inside
    // the window, whatever the window's size.
    constexpr int iconColumn = 80;
    auto textLeft = bounds.getX();

    if (alert.getAlertType() != juce::MessageBoxIconType::NoIcon)
    {
        const auto side = juce::jlimit (0, 48, juce::jmin (bounds.getHeight() - 2 * 24, textArea.getHeight()));
        const juce::Rectangle<float> icon ((float) (bounds.getX() + (iconColumn - side) / 2), (float) bounds.getY() + 24.0f, (float) side, (float) side);
        drawAlertIcon (g, alert.getAlertType(), icon);
        textLeft += iconColumn;
    }

    g.setColour (alert.findColour (juce::AlertWindow::textColourId));
    const juce::Rectangle<int> text (textLeft, 30, bounds.getWidth(), bounds.getHeight() - getAlertWindowButtonHeight() - 20);
    textLayout.draw (g, text.toFloat());
}

void AppLookAndFeel::drawAlertIcon (juce::Graphics& g, juce::MessageBoxIconType type, juce::Rectangle<float> area)
{
    if (area.isEmpty())
        return;

    const auto p = currentPalette();

    if (type == juce::MessageBoxIconType::WarningIcon)
    {
        drawWarningGlyph (g, area, p.warning);
        return;
    }

    g.setColour (p.accent);
    g.drawEllipse (area.reduced (1.5f), juce::jmax (1.5f, area.getWidth() * 0.06f));
    g.setFont (juce::Font (area.getHeight() * 0.62f, juce::Font::bold));
    g.drawText (type == juce::MessageBoxIconType::InfoIcon ? "i" : "?", area, juce::Justification::centred, false);
}

juce::Font AppLookAndFeel::getPopupMenuFont() { return fontPlain14_5(); }

void AppLookAndFeel::drawComboBox (juce::Graphics& g, int width, int height, bool, int, int, int, int, juce::ComboBox& box)
{
    const juce::Rectangle<float> area (0.5f, 0.5f, juce::jmax (0.0f, (float) width - 1.0f), juce::jmax (0.0f, (float) height - 1.0f));
    g.setColour (box.findColour (juce::ComboBox::backgroundColourId));
    g.fillRoundedRectangle (area, cornerRadius);

    const auto focused = box.hasKeyboardFocus (true);
    g.setColour (focused ? currentPalette().accent : currentPalette().outline);
    g.drawRoundedRectangle (area, cornerRadius, focused ? 1.6f : 1.0f);

    drawChevron (g, { (float) width - 14.0f, (float) height / 2.0f }, currentPalette().textSecondary);
}

juce::Font AppLookAndFeel::getComboBoxFont (juce::ComboBox&) { return fontPlain14_5(); }

juce::Label* AppLookAndFeel::createComboBoxTextBox (juce::ComboBox&)
{
    return new ComboBoxText();
}

//==============================================================================
juce::String ComboBoxText::getShownText()
{
    const auto room = getLookAndFeel().getLabelBorderSize (*this).subtractedFrom (getLocalBounds());
    return shortenToFit (getText(), getLookAndFeel().getLabelFont (*this), (float) room.getWidth(), Shortening::beforeCount);
}

juce::String ComboBoxText::getTooltip()
{
    // The box's own tip as it was set: the box asks its label for its tip, and hands the label's
    // (perhaps composed) tip on to a new label when the look-and-feel changes.
    auto* box = dynamic_cast<juce::ComboBox*> (getParentComponent());
    const auto tip = box != nullptr ? box->juce::SettableTooltipClient::getTooltip() : juce::Label::getTooltip();

    if (isBeingEdited() || getShownText() == getText())
        return tip;

    return tip.isEmpty() ? getText() : getText() + "\n\n" + tip;
}

void ComboBoxText::paint (juce::Graphics& g)
{
    // The framework's label drawing, with the shortened text instead of a squeezed and cut one.
    g.fillAll (findColour (backgroundColourId));
    const auto alpha = isEnabled() ? 1.0f : 0.5f;

    if (! isBeingEdited())
    {
        g.setColour (findColour (textColourId).withMultipliedAlpha (alpha));
        g.setFont (getLookAndFeel().getLabelFont (*this));
        const auto room = getLookAndFeel().getLabelBorderSize (*this).subtractedFrom (getLocalBounds());
        g.drawText (getShownText(), room, getJustificationType(), false);
    }

    g.setColour (findColour (outlineColourId).withMultipliedAlpha (alpha));
    g.drawRect (getLocalBounds());
}

juce::Button* AppLookAndFeel::createSliderButton (juce::Slider&, bool isIncrement)
{
    return new StepperButton (isIncrement);
}

juce::Slider::SliderLayout AppLookAndFeel::getSliderLayout (juce::Slider& slider)
{
    auto layout = LookAndFeel_V4::getSliderLayout (slider);

    // A gap between the value box and the stepper buttons.
    if (slider.getSliderStyle() == juce::Slider::IncDecButtons)
    {
        layout.sliderBounds.setX (layout.sliderBounds.getX() + 3);
        layout.sliderBounds.setWidth (juce::jmax (0, layout.sliderBounds.getWidth() - 3));
    }

    return layout;
}

void AppLookAndFeel::drawTableHeaderBackground (juce::Graphics& g, juce::TableHeaderComponent& header)
{
    auto area = header.getLocalBounds();

    g.setColour (header.findColour (juce::TableHeaderComponent::outlineColourId));
    g.fillRect (area.removeFromBottom (1));

    g.setGradientFill (subtleGradient (header.findColour (juce::TableHeaderComponent::backgroundColourId), area.toFloat()));
    g.fillRect (area);

    for (int i = header.getNumColumns (true); --i >= 0;)
        drawDividerLine (g, header.getColumnPosition (i).getRight() - 1, 0, area.getHeight());
}

int AppLookAndFeel::minimumHeaderColumnWidth (const juce::String& caption, bool sortable, int headerHeight)
{
    // The caption's indents and the arrow's strip as drawTableHeaderColumn lays them out; a
    // warning column shows a glyph instead of its name.
    const auto text = caption == "!" ? juce::roundToInt (0.62f * (float) headerHeight) : measureTextWidthCeil (fontBold14(), caption);
    return text + 16 + (sortable ? headerHeight / 2 : 0);
}

void AppLookAndFeel::drawTableHeaderColumn (juce::Graphics& g, juce::TableHeaderComponent& header, const juce::String& columnName, int, int width, int height, bool isMouseOver, bool isMouseDown, int columnFlags)
{
    const auto highlight = header.findColour (juce::TableHeaderComponent::highlightColourId);
    if (isMouseDown)
        g.fillAll (highlight);
    else if (isMouseOver)
        g.fillAll (highlight.withMultipliedAlpha (0.625f));

    juce::Rectangle<int> content (8, 0, width > 16 ? width - 16 : 0, height);

    if ((columnFlags & (juce::TableHeaderComponent::sortedForwards | juce::TableHeaderComponent::sortedBackwards)) != 0)
    {
        juce::Path arrow;
        arrow.addTriangle (0.0f, 0.0f, 0.5f, (columnFlags & juce::TableHeaderComponent::sortedForwards) != 0 ? -0.8f : 0.8f, 1.0f, 0.0f);

        const auto strip = content.removeFromRight (juce::jmin (height / 2, content.getWidth())).reduced (2);
        g.setColour (currentPalette().accent);
        if (! strip.isEmpty())
            g.fillPath (arrow, arrow.getTransformToScaleToFit (strip.toFloat(), true));
    }

    const auto textColour = header.findColour (juce::TableHeaderComponent::textColourId);

    // A column titled "!" carries warnings: it shows the glyph instead of its name.
    if (columnName == "!")
    {
        const auto side = juce::jmin (0.62f * (float) height, (float) content.getWidth());
        drawWarningGlyph (g, juce::Rectangle<float> (side, side).withCentre (content.toFloat().getCentre()), textColour);
        return;
    }

    g.setColour (textColour);
    g.setFont (fontBold14());
    g.drawFittedText (columnName, content, juce::Justification::centredLeft, 1);
}

void AppLookAndFeel::drawProgressBar (juce::Graphics& g, juce::ProgressBar& bar, int width, int height, double progress, const juce::String& textToShow)
{
    const juce::Rectangle<float> area (0.0f, 0.0f, (float) width, (float) height);

    g.setColour (bar.findColour (juce::ProgressBar::backgroundColourId));
    g.fillRoundedRectangle (area, cornerRadius);

    // A negative progress (unknown) shows only the track.
    if (progress >= 0.0)
    {
        g.setColour (bar.findColour (juce::ProgressBar::foregroundColourId));
        g.fillRoundedRectangle (area.withWidth (juce::jmax (0.0f, (float) juce::jmin (progress, 1.0) * (float) width)), cornerRadius);
    }

    if (textToShow.isNotEmpty())
    {
        g.setColour (currentPalette().textPrimary);
        g.setFont (fontPlain14_5());
        g.drawText (textToShow, area, juce::Justification::centred, true);
    }
}

//==============================================================================
StepperButton::StepperButton (bool isIncrement)
    : increment (isIncrement)
{
}

void StepperButton::paintButton (juce::Graphics& g, bool highlighted, bool down)
{
    const auto face = findColour (getToggleState() ? buttonOnColourId : buttonColourId);
    getLookAndFeel().drawButtonBackground (g, *this, face, highlighted, down);

    g.setColour (findColour (textColourOffId).withMultipliedAlpha (isEnabled() ? 1.0f : 0.4f));
    const auto cx = getWidth() / 2;
    const auto cy = getHeight() / 2;
    g.fillRect (cx - 4, cy - 1, 9, 2);
    if (increment)
        g.fillRect (cx - 1, cy - 4, 2, 9);
}

} // namespace dunmoor::ui
