#include "ui/widgets/TransportButton.h"

#include "ui/look/Theme.h"

namespace dunmoor::ui
{

TransportButton::TransportButton (const juce::String& labelText)
    : juce::Button (labelText.isEmpty() ? juce::String ("Play") : labelText)
    , label (labelText)
{
    setTooltip ("Play. Press it again while it is playing to stop.");
    setTitle (getName());
}

void TransportButton::setPlaying (bool shouldShowPlaying)
{
    if (shouldShowPlaying == playing)
        return;

    playing = shouldShowPlaying;
    setTooltip (playing ? "Stop" : "Play");
    repaint();
}

void TransportButton::setLoading (bool shouldShowLoading)
{
    if (shouldShowLoading == loading)
        return;

    loading = shouldShowLoading;
    repaint();
}

juce::Rectangle<float> TransportButton::getFace() const
{
    const auto bounds = getLocalBounds().toFloat();
    return { bounds.getX() + 0.5f, bounds.getY() + 0.5f, juce::jmax (bounds.getWidth() - 1.0f, 0.0f), juce::jmax (bounds.getHeight() - 1.0f, 0.0f) };
}

float TransportButton::getSymbolSize (juce::Rectangle<float> face)
{
    return juce::jmin (face.getHeight() * 0.45f, 12.0f);
}

void TransportButton::paintButton (juce::Graphics& g, bool highlighted, bool down)
{
    const auto p = currentPalette();
    const auto r = getFace();
    const auto enabled = isEnabled();

    auto fill = playing ? p.accent.withAlpha (0.28f) : p.controlBackground;
    if (highlighted || down)
        fill = selectionTint (fill, down);
    if (! enabled)
        fill = fill.withMultipliedAlpha (0.5f);

    g.setColour (fill);
    g.fillRoundedRectangle (r, 4.0f);

    g.setColour (playing || isOver() ? p.accent : p.outline);
    g.drawRoundedRectangle (r, 4.0f, playing ? 1.6f : 1.0f);

    const auto s = getSymbolSize (r);
    const auto left = label.isNotEmpty() ? r.getX() + 10.0f : r.getCentreX() - s / 2.0f;
    const auto top = r.getY() + r.getHeight() / 2.0f - s / 2.0f;

    g.setColour (! enabled ? p.textDisabled : (playing ? p.accent : p.textPrimary));

    if (loading)
    {
        const auto d = 0.24f * s;
        for (int k = 0; k < 3; ++k)
            g.fillEllipse (left + (float) k * 1.8f * d, top + s / 2.0f - d / 2.0f, d, d);
    }
    else if (playing)
    {
        g.fillRoundedRectangle (left, top, s, s, 1.5f);
    }
    else
    {
        juce::Path triangle;
        triangle.addTriangle (left, top, left, top + s, left + s, top + s / 2.0f);
        g.fillPath (triangle);
    }

    drawPaintedTexts (g, getPaintedTexts());
}

std::vector<PaintedText> TransportButton::getPaintedTexts() const
{
    if (label.isEmpty())
        return {};

    // The label stands 8 px after the symbol, which starts 10 px in from the rounded edge.
    const auto r = getFace();
    const auto textLeft = juce::roundToInt (r.getX() + 10.0f + getSymbolSize (r) + 8.0f);
    const auto textRight = juce::roundToInt (r.getRight());
    const juce::Rectangle<int> area (textLeft, juce::roundToInt (r.getY()), juce::jmax (0, textRight - textLeft), juce::roundToInt (r.getHeight()));
    const auto p = currentPalette();
    return { { label, area.toFloat(), fontPlain14_5(), isEnabled() ? p.textPrimary : p.textDisabled } };
}

} // namespace dunmoor::ui
