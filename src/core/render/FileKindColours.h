#pragma once

#include <cstdint>

namespace dunmoor
{

/** The display colours of one kind of written file, each a 32-bit ARGB value: the colour itself,
    a darker tint and a brighter tint. The Report page and the HTML report's waveforms draw with
    them. */
struct FileKindColours
{
    uint32_t colour = 0;
    uint32_t darker = 0;
    uint32_t brighter = 0;

    bool operator== (const FileKindColours& other) const noexcept
    {
        return colour == other.colour && darker == other.darker && brighter == other.brighter;
    }

    bool operator!= (const FileKindColours& other) const noexcept { return ! operator== (other); }
};

/** The triple the look-and-feel makes from a palette colour: the colour, the colour darkened by
    0.55 and the colour brightened by 0.85, with the same arithmetic as juce::Colour::darker and
    juce::Colour::brighter (the core does not link the graphics module). */
FileKindColours makeFileKindColours (uint32_t argb) noexcept;

/** The colours of a kind of written file: 1 full mix, 2 alternative mix, anything else stem.
    Until a palette is applied they hold the default palette's stem, full-mix and
    alternative-mix colours. Message thread only. */
FileKindColours getFileKindColour (int kind) noexcept;

/** Stores the colours of a kind, under the same rule as getFileKindColour. Message thread only. */
void setFileKindColour (int kind, const FileKindColours& colours) noexcept;

} // namespace dunmoor
