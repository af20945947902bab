#pragma once

#include <functional>

#include <juce_core/juce_core.h>

namespace dunmoor
{

/**
    Asked by a long operation (a whole-file read, a rate conversion, a peak measurement, an
    encode) once per block of work; true stops the operation with the cancelled outcome. Empty:
    the operation is never cancelled. It may be called from whichever thread runs the operation,
    so the function must be safe to call there.
*/
using CancelCheck = std::function<bool()>;

/** The error text of an operation that stopped because its cancel check said yes. No failure
    of the work itself gives this text, so a caller can tell a cancel from an error with
    isCancelledError(). */
inline const juce::String& getCancelledErrorText()
{
    static const juce::String text ("Cancelled.");
    return text;
}

/** True when the operation's error says it was cancelled rather than failed. */
inline bool isCancelledError (const juce::String& error)
{
    return error == getCancelledErrorText();
}

/** Asks the check; an empty check never cancels. */
inline bool isCancelRequested (const CancelCheck& check)
{
    return check != nullptr && check();
}

/** Frames of work between two polls of a cancel check: cheap beside the work, and a fraction
    of a second even for the slowest of the operations. */
constexpr int cancelPollFrames = 65536;

} // namespace dunmoor
