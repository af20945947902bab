#include "ui/shell/StepBar.h"

#include "ui/look/Theme.h"

namespace dunmoor::ui
{

StepBar::StepBar()
{
    setWantsKeyboardFocus (true);
    setTitle ("Workflow steps");
}

const char* StepBar::getCaption (int step)
{
    static const char* const captions[] = { "Import", "Preset & Stems", "Review", "Levels & Export", "Report" };
    return step >= 0 && step < pageCount ? captions[step] : "";
}

void StepBar::setCurrentStep (int step)
{
    if (step != currentStep)
    {
        currentStep = step;
        repaint();
    }
}

void StepBar::setStepEnabled (int index, bool enabled)
{
    if (index < 0 || index >= pageCount || stepEnabled[(size_t) index] == enabled)
        return;

    stepEnabled[(size_t) index] = enabled;
    repaint();
}

int StepBar::stepAt (juce::Point<int> position) const
{
    const auto stepWidth = getStepWidth();
    if (stepWidth <= 0 || position.y < 0 || position.y > getHeight() - 1 || position.x < 0)
        return -1;

    const auto step = position.x / stepWidth;
    return step < pageCount ? step : -1;
}

void StepBar::mouseMove (const juce::MouseEvent& e)
{
    const auto step = stepAt (e.getPosition());
    if (step != hoverStep)
    {
        hoverStep = step;
        repaint();
    }
}

void StepBar::mouseExit (const juce::MouseEvent&)
{
    if (hoverStep != -1)
    {
        hoverStep = -1;
        repaint();
    }
}

void StepBar::mouseUp (const juce::MouseEvent& e)
{
    // Only where the button is released counts, so a press can be dragged to another step.
    const auto step = stepAt (e.getPosition());
    if (step >= 0 && stepEnabled[(size_t) step] && onStepClicked)
        onStepClicked ((Page) step);
}

bool StepBar::keyPressed (const juce::KeyPress& key)
{
    const auto left = key.isKeyCode (juce::KeyPress::leftKey);
    if (! left && ! key.isKeyCode (juce::KeyPress::rightKey))
        return false;

    const auto direction = left ? -1 : 1;
    auto step = currentStep;
    for (int i = 0; i < pageCount; ++i)
    {
        step = (step + direction + pageCount) % pageCount;
        if (stepEnabled[(size_t) step])
            break;
    }

    if (onStepClicked)
        onStepClicked ((Page) step);

    return true;
}

std::vector<PaintedText> StepBar::getPaintedTexts() const
{
    const auto p = currentPalette();
    const auto height = getHeight();
    const auto stepWidth = getStepWidth();
    std::vector<PaintedText> texts;

    for (int i = 0; i < pageCount && stepWidth > 0; ++i)
    {
        const auto current = i == currentStep;
        const auto enabled = stepEnabled[(size_t) i];

        const juce::Rectangle<int> box (i * stepWidth + 6, 6, stepWidth < 13 ? 0 : stepWidth - 12, juce::jmax (0, height - 12));
        auto rest = box;
        const auto numberRow = rest.removeFromTop (juce::jmin (19, box.getHeight()));

        texts.push_back ({ "STEP " + juce::String (i + 1), numberRow.toFloat(), fontPlain13_5(), enabled ? p.textSecondary : p.textDisabled,
                           juce::Justification::centred });
        texts.push_back ({ getCaption (i), rest.toFloat(), fontBold17(), current ? p.textPrimary : (enabled ? p.textSecondary : p.textDisabled),
                           juce::Justification::centredTop });
    }

    return texts;
}

void StepBar::paint (juce::Graphics& g)
{
    const auto p = currentPalette();
    const auto height = getHeight();
    const auto cellHeight = juce::jmax (0, height - 3);
    const auto stepWidth = getStepWidth();

    g.fillAll (p.panelBackground);

    for (int i = 0; i < pageCount && stepWidth > 0; ++i)
    {
        const juce::Rectangle<int> cell (i * stepWidth, 0, stepWidth, cellHeight);
        const auto current = i == currentStep;
        const auto enabled = stepEnabled[(size_t) i];

        auto colour = p.panelBackground;
        if (current)
            colour = p.raisedBackground;
        else if (i == hoverStep && enabled)
            colour = p.panelBackground.interpolatedWith (p.raisedBackground, 0.5f);

        g.setGradientFill (boldGradient (colour, cell.toFloat()));
        g.fillRect (cell);

        if (current)
        {
            g.setColour (p.accent);
            g.fillRect (cell.withTop (cell.getBottom() - juce::jmin (3, cellHeight)));
        }

        if (i > 0)
            drawDividerLine (g, i * stepWidth - 1, 0, height - 3);
    }

    drawPaintedTexts (g, getPaintedTexts());

    const auto edgeRows = juce::jmin (3, height);
    const auto shadowRows = juce::jmin (2, edgeRows);
    g.setColour (juce::Colours::black.withAlpha (0.55f));
    g.fillRect (0, height - shadowRows, getWidth(), shadowRows);
    g.setColour (p.outline);
    g.fillRect (0, height - edgeRows, getWidth(), edgeRows - shadowRows);
}

} // namespace dunmoor::ui
