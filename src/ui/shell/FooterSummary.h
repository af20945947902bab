#pragma once

#include <functional>
#include <vector>

#include <juce_gui_basics/juce_gui_basics.h>

#include "ui/look/PaintedText.h"

namespace dunmoor::ui
{

/** One part of the footer: an icon and a text. */
struct FooterSegment
{
    enum Kind
    {
        tracks = 0,       // track, cue and stem counts
        formatTarget = 1, // the project rate and the level target
        outputFolder = 2  // the output folder: a link that opens it
    };

    int kind = tracks;
    juce::String text;

    bool operator== (const FooterSegment& other) const { return kind == other.kind && text == other.text; }
    bool operator!= (const FooterSegment& other) const { return ! operator== (other); }
};

/**
    The one-line status at the bottom of the main window: each segment an 18-pixel icon and its
    text, laid out from the left; segments that no longer fit are dropped, never overlapped. The
    output-folder segment is a link: only over it does the footer take the mouse (and show its
    tooltip), and a click calls onFolderClick.
*/
class FooterSummary : public juce::Component, public juce::SettableTooltipClient, public PaintsTexts
{
public:
    FooterSummary();

    std::function<void()> onFolderClick;

    /** Replaces the segments; nothing happens (no repaint) when they are the same. */
    void setSegments (std::vector<FooterSegment> newSegments);
    const std::vector<FooterSegment>& getSegments() const noexcept { return segments; }

    struct LaidOutSegment
    {
        int kind;
        juce::String text;
        juce::Rectangle<int> iconBox, textBox;
    };

    /** The segments that fit the current width, with their boxes. */
    std::vector<LaidOutSegment> layoutSegments() const;

    /** The icon and text of the first laid-out folder segment; empty when there is none. */
    juce::Rectangle<int> getLinkArea() const;

    bool isLinkHovered() const noexcept { return linkHovered; }

    /** Each laid-out segment's text in its box. */
    std::vector<PaintedText> getPaintedTexts() const override;

    void paint (juce::Graphics& g) override;
    bool hitTest (int x, int y) override;
    void mouseEnter (const juce::MouseEvent& e) override;
    void mouseExit (const juce::MouseEvent& e) override;
    void mouseUp (const juce::MouseEvent& e) override;

private:
    void setLinkHovered (bool hovered);

    bool linkHovered = false;
    std::vector<FooterSegment> segments;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FooterSummary)
};

} // namespace dunmoor::ui
