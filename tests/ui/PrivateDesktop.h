#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace dunmoor::testing
{

/**
    A desktop window that exists only inside the test process: the component on it is showing
    and can hold the keyboard focus, but no window of the display stands behind it.

    The UI test programs share one virtual display. A real window loses the keyboard focus
    whenever another test program's window takes it, and a text field that loses the focus
    commits what was typed: a test of typing would then see its commit at a moment of another
    program's choosing. On this window the focus moves only when the test moves it. It is never
    drawn on the display; tests paint it into images (snapshots). Real menus and dialogs, which
    need the display, are tested on real windows.
*/
class PrivateDesktopPeer : public juce::ComponentPeer
{
public:
    PrivateDesktopPeer (juce::Component& owner, int flags) : juce::ComponentPeer (owner, flags) {}

    void* getNativeHandle() const override { return nullptr; }
    void setVisible (bool) override {}
    void setTitle (const juce::String&) override {}
    void setBounds (const juce::Rectangle<int>& newBounds, bool isNowFullScreen) override
    {
        bounds = newBounds;
        fullScreen = isNowFullScreen;
    }
    juce::Rectangle<int> getBounds() const override { return bounds; }
    juce::Point<float> localToGlobal (juce::Point<float> p) override { return p + bounds.getPosition().toFloat(); }
    juce::Point<float> globalToLocal (juce::Point<float> p) override { return p - bounds.getPosition().toFloat(); }
    using juce::ComponentPeer::globalToLocal;
    using juce::ComponentPeer::localToGlobal;
    void setMinimised (bool) override {}
    bool isMinimised() const override { return false; }
    void setFullScreen (bool shouldBeFullScreen) override { fullScreen = shouldBeFullScreen; }
    bool isFullScreen() const override { return fullScreen; }
    void setIcon (const juce::Image&) override {}
    bool contains (juce::Point<int> localPos, bool) const override { return bounds.withZeroOrigin().contains (localPos); }
    OptionalBorderSize getFrameSizeIfPresent() const override { return OptionalBorderSize { juce::BorderSize<int>() }; }
    JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")
    juce::BorderSize<int> getFrameSize() const override { return {}; }
    JUCE_END_IGNORE_WARNINGS_GCC_LIKE
    bool setAlwaysOnTop (bool) override { return true; }
    void toFront (bool) override {}
    void toBehind (juce::ComponentPeer*) override {}
    bool isFocused() const override { return true; }
    void grabFocus() override {}
    void repaint (const juce::Rectangle<int>&) override {}
    void performAnyPendingRepaintsNow() override {}
    void setAlpha (float) override {}
    juce::StringArray getAvailableRenderingEngines() override { return { "Software Renderer" }; }
    void textInputRequired (juce::Point<int>, juce::TextInputTarget&) override {}

private:
    juce::Rectangle<int> bounds;
    bool fullScreen = false;
};

/** The component, put on the desktop with addToDesktop, gets a PrivateDesktopPeer. */
template <class ComponentType>
class OnPrivateDesktop : public ComponentType
{
public:
    using ComponentType::ComponentType;

protected:
    juce::ComponentPeer* createNewPeer (int styleFlags, void*) override { return new PrivateDesktopPeer (*this, styleFlags); }
};

} // namespace dunmoor::testing
