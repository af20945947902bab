#pragma once

#include <functional>

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

namespace juce
{
// The framework's own step of its message loop on Linux: dispatches one pending message, or
// returns false at once when there is none (with true). The application never runs a modal
// loop; only the tests pump the queue by hand.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

namespace dunmoor::testing
{

/** Runs the message loop for about that many milliseconds. */
inline void pumpMessages (int milliseconds)
{
    const auto end = juce::Time::getMillisecondCounterHiRes() + milliseconds;

    while (juce::Time::getMillisecondCounterHiRes() < end)
        if (! juce::dispatchNextMessageOnSystemQueue (true))
            juce::Thread::sleep (1);
}

/** Clicks a button as a user would, after checking that the user could, and lets the click's
    work run. */
inline void pressEnabled (juce::Button& button)
{
    ASSERT_TRUE (button.isEnabled()) << button.getButtonText();
    button.triggerClick();
    pumpMessages (20);
}

/** Runs the message loop until the condition holds or the time is up; says whether it held. */
inline bool pumpUntil (const std::function<bool()>& condition, int timeoutMilliseconds = 10000)
{
    const auto end = juce::Time::getMillisecondCounterHiRes() + timeoutMilliseconds;

    while (! condition())
    {
        if (juce::Time::getMillisecondCounterHiRes() >= end)
            return condition();

        if (! juce::dispatchNextMessageOnSystemQueue (true))
            juce::Thread::sleep (1);
    }

    return true;
}

/**
    A mouse event at a position in the component's own coordinates, as the component's mouse
    callbacks receive it. Pass it to mouseDown, mouseUp, mouseMove, mouseDrag and so on. The
    modifiers say which button is down (juce::ModifierKeys::leftButtonModifier by default).
*/
inline juce::MouseEvent mouseEventAt (juce::Component& component,
                                      juce::Point<float> position,
                                      juce::ModifierKeys modifiers = juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier),
                                      int clicks = 1,
                                      bool dragged = false)
{
    const auto now = juce::Time::getCurrentTime();
    return juce::MouseEvent (juce::Desktop::getInstance().getMainMouseSource(),
                             position,
                             modifiers,
                             juce::MouseInputSource::defaultPressure,
                             juce::MouseInputSource::defaultOrientation,
                             juce::MouseInputSource::defaultRotation,
                             juce::MouseInputSource::defaultTiltX,
                             juce::MouseInputSource::defaultTiltY,
                             &component,
                             &component,
                             now,
                             position,
                             now,
                             clicks,
                             dragged);
}

/** A mouse event with the right button down. */
inline juce::MouseEvent rightClickAt (juce::Component& component, juce::Point<float> position)
{
    return mouseEventAt (component, position, juce::ModifierKeys (juce::ModifierKeys::rightButtonModifier));
}

/** Paints the component into an image at scale 1, as it would show on screen. */
inline juce::Image paintToImage (juce::Component& component)
{
    return component.createComponentSnapshot (component.getLocalBounds(), true, 1.0f);
}

/** The folder the UI tests write their snapshots to. */
inline juce::File snapshotFolder()
{
    return juce::File (DUNMOOR_UI_SNAPSHOT_DIR);
}

/**
    Paints the component into an image and writes it as <name>.png to the snapshot folder, for
    people to look at. Snapshots are never compared with earlier ones. A scale above 1 shows the
    component as a larger interface size puts it on the screen. A component that leaves its
    background to what it sits on is shown on the window's colour, as in the app: on a
    transparent image a viewer puts light text on white.
*/
inline juce::File saveSnapshot (juce::Component& component, const juce::String& name, float scale = 1.0f)
{
    const auto folder = snapshotFolder();
    folder.createDirectory();

    const auto painted = component.createComponentSnapshot (component.getLocalBounds(), true, scale);
    juce::Image image (juce::Image::ARGB, painted.getWidth(), painted.getHeight(), false);

    {
        juce::Graphics g (image);
        g.fillAll (component.getLookAndFeel().findColour (juce::ResizableWindow::backgroundColourId));
        g.drawImageAt (painted, 0, 0);
    }
    const auto file = folder.getChildFile (name + ".png");
    file.deleteFile();

    juce::FileOutputStream out (file);
    EXPECT_TRUE (out.openedOk()) << file.getFullPathName();
    juce::PNGImageFormat png;
    EXPECT_TRUE (png.writeImageToStream (image, out)) << file.getFullPathName();
    return file;
}

} // namespace dunmoor::testing
