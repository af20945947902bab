#pragma once

#include <vector>

#include "core/model/Preset.h"
#include "core/session/Cue.h"

namespace dunmoor::ui
{

/** Example file names for the naming block, built from the session preset and the cues with
    tracks exactly as a render names its files: up to three stems, the full mix, up to two
    alternative mixes, then the tokens no naming rule knows. Lines joined with line feeds. */
juce::String buildNamingPreview (const Preset& preset, const std::vector<Cue>& cuesWithTracks);

} // namespace dunmoor::ui
