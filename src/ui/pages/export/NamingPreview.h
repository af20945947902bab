#pragma once

#include <vector>

#include "core/model/Preset.h"
#include "core/session/Cue.h"
#include "core/session/Track.h"

namespace dunmoor::ui
{

/** Example file names for the naming block, built from the session preset and the first cue
    with tracks exactly as a render of that cue names its files: up to three of the stems it
    writes (those with readable tracks of the cue, or that export silence when empty), the full mix, up
    to two alternative mixes, then the tokens no naming rule knows. Before any track is
    imported, every stem serves as an example. Lines joined with line feeds. */
juce::String buildNamingPreview (const Preset& preset, const std::vector<Cue>& cuesWithTracks, const std::vector<Track>& tracks);

} // namespace dunmoor::ui
