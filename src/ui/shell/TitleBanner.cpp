#include "ui/shell/TitleBanner.h"

#include "ui/look/BrandImages.h"
#include "ui/look/Theme.h"

namespace dunmoor::ui
{

TitleBanner::TitleBanner()
{
    setInterceptsMouseClicks (false, false);
}

void TitleBanner::paint (juce::Graphics& g)
{
    if (! drawBrandImage (g, productLogoFile, getLocalBounds()).isEmpty())
        return;

    g.setColour (currentPalette().textPrimary);
    g.setFont (fontBold24());
    g.drawText ("Brackenfold", getLocalBounds(), juce::Justification::centredLeft, true);
}

} // namespace dunmoor::ui
