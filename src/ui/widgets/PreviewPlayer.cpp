#include "ui/widgets/PreviewPlayer.h"

#include "core/model/Types.h"
#include "ui/look/Theme.h"

namespace dunmoor::ui
{

namespace
{
    constexpr int timeWidth = 170;
    constexpr int nameGap = 6;
    constexpr int nameRowGap = 4;
    constexpr int nameRowHeight = 22;
    constexpr int viewsGap = 6;
    constexpr int waveformGap = 5;
} // namespace

PreviewPlayer::PreviewPlayer (const juce::String& analysisThreadName, PreviewAnalysis::Compute compute)
    : analysis (analysisThreadName, [this] (const PreviewAnalysisResult& result) { applyAnalysis (result); }, std::move (compute))
{
    // Clicks between the controls belong to whatever lies under the player.
    setInterceptsMouseClicks (false, true);

    addAllAndMakeVisible (*this, { &transportButton, &autoplayToggle, &fileNameLabel, &timeLabel, &spectrogramView, &waveformView });

    const auto seek = [this] (double position)
    {
        if (onSeek != nullptr)
            onSeek (view.toFile (position));
    };

    const auto contextMenu = [this] (double position)
    {
        if (onContextMenu != nullptr)
            onContextMenu (view.toFile (position));
    };

    const auto wheel = [this] (float delta, double position)
    {
        if (onWheel != nullptr)
            onWheel (delta, position);
    };

    waveformView.onSeek = spectrogramView.onSeek = seek;
    waveformView.onContextMenu = spectrogramView.onContextMenu = contextMenu;
    waveformView.onWheel = spectrogramView.onWheel = wheel;

    waveformView.onHover = [this] (double position)
    {
        if (hoverMirrored)
            spectrogramView.setHoverPosition (position);
    };

    spectrogramView.onHover = [this] (double position)
    {
        if (hoverMirrored)
            waveformView.setHoverPosition (position);
    };
}

PreviewPlayer::~PreviewPlayer()
{
    analysis.cancel();
}

void PreviewPlayer::setLayout (const Layout& newLayout)
{
    layout = newLayout;
    resized();
}

void PreviewPlayer::resized()
{
    auto area = getLocalBounds();
    auto row = area.removeFromTop (topRowHeight);

    transportButton.setBounds (row.removeFromLeft (transportWidth));
    row.removeFromLeft (layout.gapAfterTransport);

    const auto autoplayWidth = layout.autoplayWidth > 0 ? layout.autoplayWidth
                                                        : measureTextWidthCeil (fontPlain14_5(), autoplayToggle.getButtonText()) + 30;

    if (layout.autoplayBesideTransport)
    {
        autoplayToggle.setBounds (row.removeFromLeft (autoplayWidth));
        row.removeFromLeft (layout.gapAfterAutoplay);
    }

    trailingArea = row.removeFromRight (layout.trailingWidth);

    if (! layout.autoplayBesideTransport)
        autoplayToggle.setBounds (row.removeFromRight (autoplayWidth));

    // Buttons that leave too little of the row for a name give the name and the time a row of
    // their own rather than let them vanish.
    if (layout.minimumNameWidth > 0 && row.getWidth() < timeWidth + nameGap + layout.minimumNameWidth)
    {
        area.removeFromTop (nameRowGap);
        row = area.removeFromTop (nameRowHeight);
    }

    timeLabel.setBounds (row.removeFromRight (timeWidth));
    row.removeFromRight (nameGap);
    fileNameLabel.setBounds (row);

    area.removeFromTop (viewsGap);
    waveformView.setBounds (area.removeFromBottom (waveformHeight));
    area.removeFromBottom (waveformGap);
    spectrogramView.setBounds (area);
}

//==============================================================================
void PreviewPlayer::setVisibleRange (ViewRange range)
{
    view = range;
    waveformView.setVisibleRange (view.start, view.end);
    spectrogramView.setVisibleRange (view.start, view.end);
}

void PreviewPlayer::setDuration (double seconds)
{
    waveformView.setDuration (seconds);
    spectrogramView.setDuration (seconds);
}

void PreviewPlayer::setMarker (double fileFraction)
{
    const auto position = fileFraction < 0.0 ? -1.0 : view.toView (fileFraction);
    waveformView.setMarkerPosition (position);
    spectrogramView.setMarkerPosition (position);
}

double PreviewPlayer::getHoverFraction() const
{
    auto position = waveformView.getHoverPosition();

    if (position < 0.0)
        position = spectrogramView.getHoverPosition();

    return position < 0.0 ? -1.0 : view.toFile (position);
}

//==============================================================================
void PreviewPlayer::showTransport (const Transport& transport)
{
    transportButton.setEnabled (transport.enabled);
    transportButton.setPlaying (transport.active && transport.playing);
    transportButton.setLoading (transport.active && transport.loading);

    const auto fraction = transport.active ? transport.playheadFraction : -1.0;
    const auto playhead = fraction >= 0.0 ? view.toView (fraction) : -1.0;
    waveformView.setPlayheadPosition (playhead);
    spectrogramView.setPlayheadPosition (playhead);

    timeLabel.setText (describeTime (transport), juce::dontSendNotification);
}

juce::String PreviewPlayer::describeTime (const Transport& transport)
{
    if (transport.active && transport.sourceLengthSeconds > 0.0)
        return formatDuration (transport.playheadSeconds) + " / " + formatDuration (transport.sourceLengthSeconds);

    return transport.idleLengthSeconds >= 0.0 ? formatDuration (transport.idleLengthSeconds) : juce::String();
}

//==============================================================================
void PreviewPlayer::analyse (const juce::File& file, ViewRange range)
{
    spectrogramView.setBusy (true);
    analysis.start (file, range);
}

void PreviewPlayer::clearSpectrogram()
{
    analysis.cancel();
    spectrogramView.clear();
    spectrogramView.setBusy (false);
}

void PreviewPlayer::applyAnalysis (const PreviewAnalysisResult& result)
{
    if (result.spectrogram.columns == 0)
        spectrogramView.clear();
    else
        spectrogramView.setSpectrogram (result.spectrogram);

    spectrogramView.setDataRange (result.range.start, result.range.end);
    spectrogramView.setBusy (false);

    if (onAnalysed != nullptr)
        onAnalysed (result);
}

} // namespace dunmoor::ui
