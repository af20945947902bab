#pragma once

#include <functional>

#include <juce_gui_basics/juce_gui_basics.h>

namespace dunmoor::ui
{

/** The grip over a settings block's title strip on the Levels & Export page: dragging it moves
    the block to another place or column; a click without a drag is a release. */
class ExportBlockHandle : public juce::Component
{
public:
    explicit ExportBlockHandle (const juce::String& id);

    void mouseDrag (const juce::MouseEvent& e) override;
    void mouseUp (const juce::MouseEvent& e) override;

    const juce::String blockId;
    std::function<void (const juce::String&, juce::Point<int>)> onDrag, onDrop; // in the parent's coordinates
    std::function<void()> onRelease;
    bool dragging = false;
};

/** The gap between two columns of settings blocks: dragging it moves the width from one column
    to the other. It shows itself only while the pointer is over it or it is dragged. */
class ExportColumnSplitter : public juce::Component
{
public:
    explicit ExportColumnSplitter (int indexToUse);

    void mouseDown (const juce::MouseEvent& e) override;
    void mouseDrag (const juce::MouseEvent& e) override;
    void mouseUp (const juce::MouseEvent& e) override;
    void mouseEnter (const juce::MouseEvent& e) override;
    void mouseExit (const juce::MouseEvent& e) override;
    void paint (juce::Graphics& g) override;

    const int index;
    std::function<void (int)> onDragStart;
    std::function<void (int, int)> onDrag; // index, x in the parent's coordinates
    std::function<void()> onDragEnd;

private:
    bool dragging = false;
};

} // namespace dunmoor::ui
