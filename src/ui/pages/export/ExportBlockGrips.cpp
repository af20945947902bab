#include "ExportBlockGrips.h"

#include "ui/look/Theme.h"

namespace dunmoor::ui
{

ExportBlockHandle::ExportBlockHandle (const juce::String& id) : blockId (id)
{
    setMouseCursor (juce::MouseCursor::DraggingHandCursor);
    setTitle ("Move the block " + id);
}

void ExportBlockHandle::mouseDrag (const juce::MouseEvent& e)
{
    dragging = true;

    if (onDrag != nullptr && getParentComponent() != nullptr)
        onDrag (blockId, getParentComponent()->getLocalPoint (this, e.getPosition()));
}

void ExportBlockHandle::mouseUp (const juce::MouseEvent& e)
{
    const auto wasDragging = dragging;
    dragging = false;

    if (wasDragging && onDrop != nullptr && getParentComponent() != nullptr)
        onDrop (blockId, getParentComponent()->getLocalPoint (this, e.getPosition()));
    else if (onRelease != nullptr)
        onRelease();
}

ExportColumnSplitter::ExportColumnSplitter (int indexToUse) : index (indexToUse)
{
    setMouseCursor (juce::MouseCursor::LeftRightResizeCursor);
    setTitle ("Column width " + juce::String (index + 1));
}

void ExportColumnSplitter::mouseDown (const juce::MouseEvent&)
{
    dragging = true;

    if (onDragStart != nullptr)
        onDragStart (index);
}

void ExportColumnSplitter::mouseDrag (const juce::MouseEvent& e)
{
    if (onDrag != nullptr && getParentComponent() != nullptr)
        onDrag (index, getParentComponent()->getLocalPoint (this, e.getPosition()).x);
}

void ExportColumnSplitter::mouseUp (const juce::MouseEvent&)
{
    dragging = false;
    repaint();

    if (onDragEnd != nullptr)
        onDragEnd();
}

void ExportColumnSplitter::mouseEnter (const juce::MouseEvent&) { repaint(); }
void ExportColumnSplitter::mouseExit (const juce::MouseEvent&) { repaint(); }

void ExportColumnSplitter::paint (juce::Graphics& g)
{
    if (! dragging && ! isMouseOver())
        return;

    g.setColour (currentPalette().accent.withAlpha (0.35f));
    g.fillRect (getWidth() / 2 - 1, 2, 2, std::max (0, getHeight() - 4));
}

} // namespace dunmoor::ui
