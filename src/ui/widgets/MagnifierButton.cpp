#include "ui/widgets/MagnifierButton.h"

#include "ui/widgets/IconButtonFace.h"

namespace dunmoor::ui
{

MagnifierButton::MagnifierButton (const juce::String& name, int buttonKind)
    : juce::Button (name)
    , kind (buttonKind)
{
    setTitle (name);
}

void MagnifierButton::paintButton (juce::Graphics& g, bool highlighted, bool down)
{
    const auto inner = drawIconButtonFace (g, *this, highlighted, down);
    const auto cx = inner.getX() + inner.getWidth() / 2.0f - 1.5f;
    const auto cy = inner.getY() + inner.getHeight() / 2.0f - 1.5f;
    const auto r = 0.26f * juce::jmin (inner.getWidth(), inner.getHeight());

    g.setColour (iconColourFor (*this));
    g.drawEllipse (cx - r, cy - r, 2.0f * r, 2.0f * r, 1.4f);

    const auto handleStart = 0.72f * r;
    g.drawLine (cx + handleStart, cy + handleStart, cx + handleStart + 4.0f, cy + handleStart + 4.0f, 1.6f);

    const auto half = 0.52f * r;
    if (kind == zoomIn || kind == zoomOut)
        g.drawLine (cx - half, cy, cx + half, cy, 1.4f);
    if (kind == zoomIn)
        g.drawLine (cx, cy - half, cx, cy + half, 1.4f);
}

} // namespace dunmoor::ui
