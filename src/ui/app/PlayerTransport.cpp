#include "ui/app/PlayerTransport.h"

namespace dunmoor::ui
{

PreviewPlayer::Transport readPlayerTransport (const PreviewEngine& engine, const juce::String& auditionId)
{
    PreviewPlayer::Transport transport;
    transport.active = auditionId.isNotEmpty() && engine.isActiveFor (auditionId);
    transport.playing = engine.isPlaying();
    transport.loading = engine.isLoading();

    if (transport.active)
    {
        transport.playheadFraction = engine.getPlayheadFraction();
        transport.playheadSeconds = engine.getPlayheadSeconds();
        transport.sourceLengthSeconds = engine.getSourceLength();
    }

    return transport;
}

} // namespace dunmoor::ui
