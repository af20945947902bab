#include "core/render/FileKindColours.h"

namespace dunmoor
{

namespace
{
    // The default palette's stem, full-mix and alternative-mix entries.
    constexpr uint32_t defaultStemColour = 0xff8fbf6bu;
    constexpr uint32_t defaultFullMixColour = 0xff7fb2d9u;
    constexpr uint32_t defaultAlternativeMixColour = 0xff6fd8eeu;

    constexpr uint32_t channel (uint32_t argb, int shift) noexcept { return (argb >> shift) & 0xffu; }

    constexpr uint32_t withChannels (uint32_t argb, uint32_t r, uint32_t g, uint32_t b) noexcept
    {
        return (argb & 0xff000000u) | (r << 16) | (g << 8) | b;
    }

    constexpr uint32_t darken (uint32_t argb, float amount) noexcept
    {
        const auto factor = 1.0f / (1.0f + amount);
        const auto scale = [factor] (uint32_t c) { return (uint32_t) (uint8_t) (factor * (float) c); };
        return withChannels (argb, scale (channel (argb, 16)), scale (channel (argb, 8)), scale (channel (argb, 0)));
    }

    constexpr uint32_t brighten (uint32_t argb, float amount) noexcept
    {
        const auto factor = 1.0f / (1.0f + amount);
        const auto scale = [factor] (uint32_t c)
        { return (uint32_t) (uint8_t) (255.0f - factor * (float) (255u - c)); };
        return withChannels (argb, scale (channel (argb, 16)), scale (channel (argb, 8)), scale (channel (argb, 0)));
    }

    constexpr FileKindColours computeColours (uint32_t argb) noexcept
    {
        return { argb, darken (argb, 0.55f), brighten (argb, 0.85f) };
    }

    int normaliseKind (int kind) noexcept { return (kind == 1 || kind == 2) ? kind : 0; }

    // Set only on the message thread. They start as the default palette's colours (constant
    // initialisation, so no reader can see them before that), because the look-and-feel only
    // stores new ones when a palette is applied and a run under the default palette would
    // otherwise draw with zero colours.
    FileKindColours fileKindColours[3] = { computeColours (defaultStemColour),
                                           computeColours (defaultFullMixColour),
                                           computeColours (defaultAlternativeMixColour) };
} // namespace

FileKindColours makeFileKindColours (uint32_t argb) noexcept
{
    return computeColours (argb);
}

FileKindColours getFileKindColour (int kind) noexcept
{
    return fileKindColours[normaliseKind (kind)];
}

void setFileKindColour (int kind, const FileKindColours& colours) noexcept
{
    fileKindColours[normaliseKind (kind)] = colours;
}

} // namespace dunmoor
