#include "ui/shell/TitleBanner.h"

#include "ui/shell/BrandImages.h"
#include "ui/shell/Theme.h"

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
