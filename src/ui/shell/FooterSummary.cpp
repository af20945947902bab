#include "ui/shell/FooterSummary.h"

#include "ui/look/Theme.h"

namespace dunmoor::ui
{

namespace
{
    void strokeIcon (juce::Graphics& g, int kind, juce::Rectangle<float> square)
    {
        juce::Path path;
        const auto unit = square.getWidth() / 24.0f;
        const auto at = [&] (float x, float y) { return juce::Point<float> (square.getX() + x * unit, square.getY() + y * unit); };

        if (kind == FooterSegment::tracks)
        {
            // A page with a folded corner and a note on it.
            path.startNewSubPath (at (14, 3));
            path.lineTo (at (7, 3));
            path.quadraticTo (at (5, 3), at (5, 5));
            path.lineTo (at (5, 19));
            path.quadraticTo (at (5, 21), at (7, 21));
            path.lineTo (at (17, 21));
            path.quadraticTo (at (19, 21), at (19, 19));
            path.lineTo (at (19, 8));
            path.closeSubPath();
            path.startNewSubPath (at (14, 3));
            path.lineTo (at (14, 7));
            path.quadraticTo (at (14, 8), at (15, 8));
            path.lineTo (at (19, 8));
            path.startNewSubPath (at (12, 16));
            path.lineTo (at (12, 11));
            path.lineTo (at (14, 12));
            const auto head = at (10, 16);
            path.addEllipse (head.x - 1.6f * unit, head.y - 1.6f * unit, 3.2f * unit, 3.2f * unit);
        }
        else if (kind == FooterSegment::formatTarget)
        {
            // Three sliders.
            const float rows[3][5] = { { 6, 4, 12, 16, 14 }, { 12, 4, 6, 10, 8 }, { 18, 4, 15, 19, 17 } };
            for (const auto& row : rows)
            {
                path.startNewSubPath (at (row[1], row[0]));
                path.lineTo (at (row[2], row[0]));
                path.startNewSubPath (at (row[3], row[0]));
                path.lineTo (at (20, row[0]));
                const auto knob = at (row[4], row[0]);
                path.addEllipse (knob.x - 2.0f * unit, knob.y - 2.0f * unit, 4.0f * unit, 4.0f * unit);
            }
        }
        else
        {
            // A folder with a tab, in pixels.
            const auto l = square.getX() + 0.5f;
            const auto t = square.getY() + 1.5f;
            const auto b = t + 15.0f;
            const auto w = 17.0f;
            path.startNewSubPath (l, b);
            path.lineTo (l, t + 1.0f);
            path.quadraticTo (l, t, l + 1.0f, t);
            path.lineTo (l + 0.42f * w - 1.5f, t);
            path.lineTo (l + 0.42f * w + 0.5f, t + 2.5f);
            path.lineTo (l + w - 1.0f, t + 2.5f);
            path.quadraticTo (l + w, t + 2.5f, l + w, t + 3.5f);
            path.lineTo (l + w, b);
            path.closeSubPath();
        }

        g.strokePath (path, juce::PathStrokeType (1.4f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
    }
} // namespace

FooterSummary::FooterSummary()
{
    setTitle ("Session summary");
}

void FooterSummary::setSegments (std::vector<FooterSegment> newSegments)
{
    if (newSegments == segments)
        return;

    segments = std::move (newSegments);

    if (linkHovered && ! getLinkArea().contains (getMouseXYRelative()))
        setLinkHovered (false);

    repaint();
}

std::vector<FooterSummary::LaidOutSegment> FooterSummary::layoutSegments() const
{
    std::vector<LaidOutSegment> laidOut;
    const auto font = fontPlain14();
    auto area = getLocalBounds();

    for (size_t i = 0; i < segments.size(); ++i)
    {
        if (area.getWidth() < 19)
            break;

        if (i > 0)
            area.removeFromLeft (juce::jmin (26, area.getWidth()));

        LaidOutSegment segment { segments[i].kind, segments[i].text, {}, {} };
        segment.iconBox = area.removeFromLeft (juce::jmin (18, area.getWidth()));
        area.removeFromLeft (juce::jmin (7, area.getWidth()));
        segment.textBox = area.removeFromLeft (juce::jmin (measureTextWidthCeil (font, segment.text) + 2, area.getWidth()));
        laidOut.push_back (std::move (segment));
    }

    return laidOut;
}

juce::Rectangle<int> FooterSummary::getLinkArea() const
{
    for (const auto& segment : layoutSegments())
        if (segment.kind == FooterSegment::outputFolder)
            return segment.iconBox.getUnion (segment.textBox);

    return {};
}

std::vector<PaintedText> FooterSummary::getPaintedTexts() const
{
    const auto p = currentPalette();
    std::vector<PaintedText> texts;

    for (const auto& segment : layoutSegments())
    {
        const auto hot = linkHovered && segment.kind == FooterSegment::outputFolder;
        texts.push_back ({ segment.text, segment.textBox.toFloat(), fontPlain14(), hot ? p.textPrimary : p.textSecondary });
    }

    return texts;
}

void FooterSummary::paint (juce::Graphics& g)
{
    const auto p = currentPalette();

    for (const auto& segment : layoutSegments())
    {
        const auto hot = linkHovered && segment.kind == FooterSegment::outputFolder;
        g.setColour (hot ? p.accent.brighter (0.4f) : p.accent);
        strokeIcon (g, segment.kind, juce::Rectangle<float> (18.0f, 18.0f).withCentre (segment.iconBox.toFloat().getCentre()));
    }

    drawPaintedTexts (g, getPaintedTexts());
}

bool FooterSummary::hitTest (int x, int y)
{
    return onFolderClick != nullptr && getLinkArea().contains (x, y);
}

void FooterSummary::setLinkHovered (bool hovered)
{
    if (hovered == linkHovered)
        return;

    linkHovered = hovered;
    setMouseCursor (hovered ? juce::MouseCursor::PointingHandCursor : juce::MouseCursor::NormalCursor);
    repaint();
}

void FooterSummary::mouseEnter (const juce::MouseEvent&)
{
    setLinkHovered (true);
}

void FooterSummary::mouseExit (const juce::MouseEvent&)
{
    setLinkHovered (false);
}

void FooterSummary::mouseUp (const juce::MouseEvent& e)
{
    if (! e.mouseWasDraggedSinceMouseDown() && getLinkArea().contains (e.getPosition()) && onFolderClick)
        onFolderClick();
}

} // namespace dunmoor::ui
