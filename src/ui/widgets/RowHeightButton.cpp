#include "ui/widgets/RowHeightButton.h"

#include "ui/widgets/IconButtonFace.h"

namespace dunmoor::ui
{

RowHeightButton::RowHeightButton (const juce::String& name, int buttonKind)
    : juce::Button (name)
    , kind (buttonKind)
{
    setTitle (name);
}

void RowHeightButton::paintButton (juce::Graphics& g, bool highlighted, bool down)
{
    const auto inner = drawIconButtonFace (g, *this, highlighted, down);
    const auto cx = inner.getCentreX();
    const auto cy = inner.getCentreY();
    const auto s = 0.3f * juce::jmin (inner.getWidth(), inner.getHeight());

    g.setColour (iconColourFor (*this));
    g.fillRect (juce::Rectangle<float> (cx - s, cy - s, 2.0f * s, 1.4f));
    g.fillRect (juce::Rectangle<float> (cx - s, cy + s - 1.4f, 2.0f * s, 1.4f));

    const auto reach = kind == taller ? 0.62f * s : 0.62f * s / 4.0f;
    g.fillRect (juce::Rectangle<float> (cx - 0.7f, cy - reach, 1.4f, 2.0f * reach));

    // Arrow heads at both ends of the shaft: away from the centre for taller, towards it for
    // shorter.
    const auto w = 0.34f * s;
    const auto h = 0.34f * s;
    for (const auto direction : { -1.0f, 1.0f })
    {
        const auto end = cy + direction * reach;
        const auto tip = kind == taller ? end + direction * h : end;
        const auto base = kind == taller ? end : end + direction * h;

        juce::Path head;
        head.addTriangle (cx - w, base, cx + w, base, cx, tip);
        g.fillPath (head);
    }
}

} // namespace dunmoor::ui
