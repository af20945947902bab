#include "ui/shell/CompanyMark.h"

#include "ui/look/BrandImages.h"
#include "ui/look/Theme.h"

namespace dunmoor::ui
{

CompanyMark::CompanyMark()
{
    setTitle ("Tessaloomery");
}

void CompanyMark::paint (juce::Graphics& g)
{
    g.setOpacity (0.78f);
    if (! drawBrandImage (g, makerLogoFile, getLocalBounds()).isEmpty())
        return;

    g.setOpacity (1.0f);
    g.setColour (currentPalette().textSecondary);
    g.setFont (fontPlain13());
    g.drawText ("Tessaloomery", getLocalBounds(), juce::Justification::centredRight, true);
}

void CompanyMark::mouseUp (const juce::MouseEvent& e)
{
    if (! e.mouseWasDraggedSinceMouseDown() && onClick)
        onClick();
}

} // namespace dunmoor::ui
