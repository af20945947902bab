#include "ExportRenderBar.h"

#include "ui/look/Theme.h"

namespace dunmoor::ui
{

ExportRenderBar::ExportRenderBar()
{
    for (auto* child : std::initializer_list<juce::Component*> { &saveButton, &chooseFolderButton, &openFolderButton, &folderLabel,
                                                                  &analyseButton, &renderButton, &cancelButton, &phaseBar,
                                                                  &zoomOutButton, &zoomInButton, &wholeTakeButton, &shorterButton,
                                                                  &tallerButton })
        addAndMakeVisible (child);

    for (auto* button : std::initializer_list<juce::Button*> { &analyseButton, &renderButton, &cancelButton, &saveButton,
                                                                &chooseFolderButton, &openFolderButton })
        button->setTitle (button->getButtonText());

    zoomOutButton.setTooltip ("Show more of the take.");
    zoomInButton.setTooltip ("Show less of the take, in more detail.");
    wholeTakeButton.setTooltip ("Back to the whole take.");
    shorterButton.setTooltip ("Draw the tracks shorter, so more of them fit.");
    tallerButton.setTooltip ("Draw the tracks taller.");

    for (auto* button : std::initializer_list<juce::Button*> { &zoomOutButton, &zoomInButton, &wholeTakeButton, &shorterButton, &tallerButton })
    {
        button->setTitle (button->getName());
        button->setVisible (false);
    }

    cancelButton.setEnabled (false);
    folderLabel.setTitle ("Output folder");
    folderLabel.setColour (juce::Label::textColourId, currentPalette().textPrimary);
    folderLabel.setMinimumHorizontalScale (1.0f);
    setFolder ({});
}

void ExportRenderBar::setPreviewButtonsVisible (bool shouldBeVisible)
{
    for (auto* button : std::initializer_list<juce::Button*> { &zoomOutButton, &zoomInButton, &wholeTakeButton, &shorterButton, &tallerButton })
        button->setVisible (shouldBeVisible);

    resized();
}

void ExportRenderBar::setFolder (const juce::File& folder)
{
    shownFolder = folder;
    const auto path = folder.getFullPathName();
    folderLabel.setText (path.isEmpty() ? juce::String ("No folder chosen yet") : path, juce::dontSendNotification);
    folderLabel.setTooltip (path.isEmpty() ? juce::String ("Where the delivery is written.") : path);
}

void ExportRenderBar::paint (juce::Graphics& g)
{
    const auto palette = currentPalette();
    g.fillAll (palette.panelBackground);
    g.setColour (palette.outline);
    g.fillRect (0, 0, getWidth(), 1);

    if (folderLabel.isVisible() && folderLabel.getWidth() > 0 && folderLabel.getHeight() > 0)
    {
        g.setColour (juce::Colours::black.withAlpha (0.35f));
        g.fillRoundedRectangle (folderLabel.getBounds().toFloat(), 4.0f);
    }
}

void ExportRenderBar::resized()
{
    auto inner = getLocalBounds().reduced (12);
    inner.setSize (std::max (0, inner.getWidth()), std::max (0, inner.getHeight()));

    auto take = [] (juce::Rectangle<int>& row, int width, bool fromRight = false)
    {
        const auto w = std::min (width, row.getWidth());
        return fromRight ? row.removeFromRight (w) : row.removeFromLeft (w);
    };

    auto first = inner.removeFromTop (std::min (30, inner.getHeight()));

    if (zoomInButton.isVisible())
    {
        auto square = [&] (juce::Component& c) { c.setBounds (take (first, 30, true).withHeight (std::min (30, first.getHeight()))); };

        square (tallerButton);
        take (first, 3, true);
        square (shorterButton);
        take (first, 3 + 12, true);
        square (wholeTakeButton);
        take (first, 3, true);
        square (zoomOutButton);
        take (first, 3, true);
        square (zoomInButton);
        take (first, 3 + 12, true);
    }

    saveButton.setBounds (take (first, 150));
    take (first, 5);
    chooseFolderButton.setBounds (take (first, 170));
    take (first, 5);
    openFolderButton.setBounds (take (first, 110));
    take (first, 12);
    folderLabel.setBounds (first);

    inner.removeFromTop (std::min (12, inner.getHeight()));
    auto second = inner.removeFromTop (std::min (30, inner.getHeight()));
    analyseButton.setBounds (take (second, 150));
    take (second, 5);
    renderButton.setBounds (take (second, 170));
    take (second, 5);
    cancelButton.setBounds (take (second, 110));
    take (second, 12);
    phaseBar.setBounds (second);
}

} // namespace dunmoor::ui
