#pragma once

#include "ui/app/PreviewEngine.h"
#include "ui/widgets/PreviewPlayer.h"

namespace dunmoor::ui
{

/**
    What the audition engine says about one audition id, for a preview player; an empty id is
    never active. The host adds whether its button can be pressed and the length it shows while
    the file does not sound.
*/
PreviewPlayer::Transport readPlayerTransport (const PreviewEngine& engine, const juce::String& auditionId);

} // namespace dunmoor::ui
