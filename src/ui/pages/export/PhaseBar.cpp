#include "PhaseBar.h"

#include "core/render/RenderJob.h"
#include "ui/look/Theme.h"

namespace dunmoor::ui
{

PhaseBar::PhaseBar()
{
    setTitle ("Render progress");
}

void PhaseBar::setProgress (double progress, int phase)
{
    segments.setProgress (progress, phase);
    repaint();
}

void PhaseBar::clear()
{
    segments.clear();
    repaint();
}

void PhaseBar::finish()
{
    segments.finish();
    repaint();
}

void PhaseBar::setText (const juce::String& newText)
{
    if (newText == text)
        return;

    text = newText;
    setDescription (text);
    repaint();
}

juce::Colour PhaseBar::colourForPhase (int phase)
{
    if (phase == (int) RenderJob::Phase::writing)
        return juce::Colour (0xff4f97d9);

    if (phase == (int) RenderJob::Phase::verifying)
        return juce::Colour (0xff2559c4);

    return juce::Colour (0xff9fd0ee);
}

void PhaseBar::paint (juce::Graphics& g)
{
    const auto palette = currentPalette();
    const auto bounds = getLocalBounds().toFloat();
    const auto x = bounds.getX(), w = bounds.getWidth();

    g.setColour (palette.controlBackground);
    g.fillRoundedRectangle (bounds, 4.0f);

    const auto& bands = segments.getSegments();

    if (! bands.empty())
    {
        juce::Graphics::ScopedSaveState state (g);
        juce::Path clip;
        clip.addRoundedRectangle (bounds, 4.0f);
        g.reduceClipRegion (clip);

        // Later bands first, so that each phase shows from its own start.
        for (auto it = bands.rbegin(); it != bands.rend(); ++it)
        {
            const auto end = x + w * (float) it->end;

            if (end <= x)
                continue;

            g.setColour (colourForPhase (it->phase));
            g.fillRect (juce::Rectangle<float> (x, bounds.getY(), end - x, bounds.getHeight()));
        }
    }

    g.setColour (palette.subtleOutline);
    g.drawRoundedRectangle (bounds.getX() + 0.5f, bounds.getY() + 0.5f, std::max (0.0f, w - 1.0f),
                            std::max (0.0f, bounds.getHeight() - 1.0f), 4.0f, 1.0f);

    const auto texts = getPaintedTexts();

    if (texts.empty())
        return;

    // The dark text stands over the bands only: a bar that was cleared, or whose progress ran
    // ahead of its bands, shows it in the light colour on the empty background.
    const auto split = juce::roundToInt (x + w * (float) juce::jlimit (0.0, 1.0, segments.getFilledEnd()));
    auto overBands = texts.front();
    overBands.colour = darkTextColour();

    {
        juce::Graphics::ScopedSaveState state (g);
        g.reduceClipRegion (juce::Rectangle<int> (getLocalBounds().getX(), 0, split - getLocalBounds().getX(), getHeight()));
        drawPaintedText (g, overBands);
    }

    {
        juce::Graphics::ScopedSaveState state (g);
        g.reduceClipRegion (juce::Rectangle<int> (split, 0, std::max (0, getWidth() - split), getHeight()));
        drawPaintedText (g, texts.front());
    }
}

std::vector<PaintedText> PhaseBar::getPaintedTexts() const
{
    if (text.isEmpty())
        return {};

    const auto bounds = getLocalBounds().toFloat();
    const auto textArea = juce::Rectangle<float> (bounds.getX() + 6.0f, bounds.getY(), std::max (0.0f, bounds.getWidth() - 12.0f), bounds.getHeight());
    return { { text, textArea, fontPlain12_5(), currentPalette().textSecondary } };
}

} // namespace dunmoor::ui
