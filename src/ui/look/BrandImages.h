#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace dunmoor::ui
{

/** The product logo shown in the title banner. */
inline constexpr const char* productLogoFile = "brackenfold_logo.png";

/** The maker's logo shown as the company mark. */
inline constexpr const char* makerLogoFile = "tessaloomery_logo.png";

/** The maker's web address: the company mark's link and the fallback for the manual. */
inline constexpr const char* makerWebAddress = "https://tessaloomery.example";

/** The bytes of an embedded resource by file name ("." and "-" read as "_"); nullptr when the
    program carries no such resource. */
const void* findEmbeddedResource (const juce::String& fileName, int& sizeInBytes);

/**
    Keys and crops a decoded logo. A logo on black (all four corners opaque near-black) gets as
    alpha the largest of its red, green and blue, so it sits on transparency; then a uniform margin
    (of the colour of the top-left pixel) is cut away. An image smaller than 2 x 2 or invalid comes
    back unchanged, and so does one without any margin or without any content.
*/
juce::Image prepareBrandImage (const juce::Image& decoded);

/** Decodes and prepares an embedded image; null when it is missing, empty or unreadable. */
juce::Image loadBrandImage (const juce::String& fileName);

/** The prepared image, decoded once per file name (a missing one is remembered too). */
juce::Image getBrandImage (const juce::String& fileName);

/** The prepared image at exactly that size, made by halving at high quality before the final
    resampling and cached per size; null for a missing image or a size of 0. */
juce::Image getScaledBrandImage (const juce::String& fileName, int width, int height);

/**
    Draws the image into the area, at its left edge, vertically centred and never enlarged.
    Returns the rectangle drawn into, or an empty one when nothing was drawn.
*/
juce::Rectangle<int> drawBrandImage (juce::Graphics& g, const juce::String& fileName, juce::Rectangle<int> area);

} // namespace dunmoor::ui
