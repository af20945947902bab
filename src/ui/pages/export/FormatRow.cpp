#include "FormatRow.h"

#include "core/model/CodecCapabilities.h"
#include "ui/app/Seams.h"
#include "ui/look/Theme.h"

namespace dunmoor::ui
{

namespace
{
    int codecOf (const juce::ComboBox& combo)
    {
        return juce::jlimit (0, 3, combo.getSelectedId() - 1);
    }

    juce::String describeWordLength (SampleFormat format)
    {
        switch (format)
        {
            case SampleFormat::pcm16:   return "16-bit";
            case SampleFormat::pcm24:   return "24-bit";
            case SampleFormat::float32: return "32-bit float";
        }

        return {};
    }

    constexpr int lineHeight = 30;
    constexpr int lineGap = 5;
    constexpr int noteHeight = 17;
} // namespace

FormatRow::FormatRow (int rowIndex, Seams& seamsToUse, std::function<void()> onChangeToUse, std::function<juce::File()> exportFolderToUse)
    : index (rowIndex), seams (seamsToUse), onChange (std::move (onChangeToUse)), exportFolder (std::move (exportFolderToUse))
{
    const auto number = " " + juce::String (index + 1);
    setTitle ("Output format" + number);

    enableToggle.setTooltip ("Write this format.");
    enableToggle.setTitle ("Write format" + number);

    for (auto codec : getExportCodecs())
        formatCombo.addItem (codecToString (codec).toUpperCase(), (int) codec + 1);

    formatCombo.setTitle ("Format" + number);
    wordLengthCombo.setTitle ("Word length" + number);
    sampleRateCombo.setTitle ("Sample rate" + number);
    ditherCombo.setTitle ("Dither" + number);

    setPlaceholder (subFolderEditor, "sub-folder (optional)");
    subFolderEditor.setJustification (juce::Justification::centredLeft);
    subFolderEditor.setTooltip ("A folder underneath the export folder. Type a name, or use the button to pick one.");
    subFolderEditor.setTitle ("Sub-folder" + number);
    pickButton.setTooltip ("Pick a folder inside the export folder.");
    pickButton.setTitle ("Pick a sub-folder" + number);

    note.setFont (fontPlain12_5());
    setLabelTone (note, LabelTone::warning);
    note.setTitle ("Format note" + number);

    formatCombo.setSelectedId (1, juce::dontSendNotification);
    fillChoices();
    ditherCombo.setSelectedId ((int) DitherKind::tpdfShaped + 1, juce::dontSendNotification);

    addAllAndMakeVisible (*this, { &enableToggle, &formatCombo, &wordLengthCombo, &sampleRateCombo, &ditherCombo, &subFolderEditor,
                                   &pickButton, &note });

    formatCombo.onChange = [this]
    {
        fillChoices();

        if (! updating)
            userChanged();
    };

    for (auto* combo : { &wordLengthCombo, &sampleRateCombo, &ditherCombo })
        combo->onChange = [this]
        {
            if (! updating)
                userChanged();
        };

    enableToggle.onClick = [this]
    {
        if (! updating)
            userChanged();
    };

    // Typing alone commits nothing; leaving the field or Return does, once per change.
    subFolderEditor.onFocusLost = [this] { commitSubFolder (false); };
    subFolderEditor.onReturnKey = [this]
    {
        commitSubFolder (true);
        subFolderEditor.giveAwayKeyboardFocus();
    };

    pickButton.onClick = [this] { chooseSubFolder(); };
}

FormatRow::~FormatRow() = default;

void FormatRow::userChanged()
{
    committedSubFolder = subFolderEditor.getText().trim();
    updateNote();

    if (onChange != nullptr)
        onChange();
}

void FormatRow::commitSubFolder (bool always)
{
    if (updating || (! always && subFolderEditor.getText().trim() == committedSubFolder))
        return;

    userChanged();
}

void FormatRow::fillChoices()
{
    const auto codec = (Codec) codecOf (formatCombo);
    const auto wordLength = wordLengthCombo.getSelectedId();
    const auto rate = sampleRateCombo.getSelectedId();

    wordLengthCombo.clear (juce::dontSendNotification);

    for (auto format : getSampleFormatsFor (codec))
        wordLengthCombo.addItem (describeWordLength (format), (int) format + 1);

    wordLengthCombo.setSelectedId (wordLengthCombo.indexOfItemId (wordLength) >= 0 ? wordLength : (int) defaultSampleFormatFor (codec) + 1,
                                   juce::dontSendNotification);

    sampleRateCombo.clear (juce::dontSendNotification);
    sampleRateCombo.addItem ("Project rate", 1);

    for (auto hz : getSampleRatesFor (codec))
        sampleRateCombo.addItem (formatKilohertz (hz), (int) hz);

    sampleRateCombo.setSelectedId (sampleRateCombo.indexOfItemId (rate) >= 0 ? rate : 1, juce::dontSendNotification);

    if (ditherCombo.getNumItems() == 0)
    {
        int id = 1;

        for (auto* text : { "No dither", "TPDF auto-black", "Shaped TPDF auto-black", "TPDF continuous", "Shaped TPDF continuous" })
            ditherCombo.addItem (text, id++);
    }
}

OutputFormat FormatRow::getFormat() const
{
    OutputFormat format;
    format.enabled = enableToggle.getToggleState();
    format.codec = (Codec) codecOf (formatCombo);
    format.sampleFormat = validSampleFormatFor (format.codec, (SampleFormat) juce::jlimit (0, 2, wordLengthCombo.getSelectedId() - 1));
    format.sampleRate = sampleRateCombo.getSelectedId() > 1 ? (double) sampleRateCombo.getSelectedId() : 0.0;
    format.mp3Bitrate = 320;
    format.dither = (DitherKind) juce::jlimit (0, std::max (0, ditherCombo.getNumItems() - 1), ditherCombo.getSelectedId() - 1);
    format.subFolder = subFolderEditor.getText().trim();
    return format;
}

void FormatRow::showFormat (const OutputFormat& format, double rate)
{
    const juce::ScopedValueSetter<bool> filling (updating, true);
    const auto n = juce::dontSendNotification;
    projectRate = rate;

    const auto codec = isCodecAvailable (format.codec) ? format.codec : Codec::wav;
    enableToggle.setToggleState (format.enabled, n);
    formatCombo.setSelectedId ((int) codec + 1, n);
    fillChoices();
    wordLengthCombo.setSelectedId ((int) validSampleFormatFor (codec, format.sampleFormat) + 1, n);
    sampleRateCombo.setSelectedId (format.sampleRate > 0.0 ? (int) format.sampleRate : 1, n);
    ditherCombo.setSelectedId ((int) format.dither + 1, n);

    if (! subFolderEditor.hasKeyboardFocus (true))
        subFolderEditor.setText (format.subFolder, false);

    committedSubFolder = subFolderEditor.getText().trim();
    updateNote();
}

void FormatRow::updateNote()
{
    const auto format = getFormat();
    const auto rate = format.sampleRate > 0.0 ? format.sampleRate : projectRate;
    const auto best = bestOutputSampleRate (format.codec, rate);
    juce::String text;

    if (std::abs (best - rate) > 0.5)
        text = codecToString (format.codec).toUpperCase() + " cannot store " + juce::String (rate / 1000.0, 1) + " kHz: it will be resampled to "
             + juce::String (best / 1000.0, 1) + " kHz.";

    if (format.sampleFormat == SampleFormat::float32 && format.dither != DitherKind::none)
        text << (text.isNotEmpty() ? "  " : "") << "Dither is skipped for floating point output.";

    const auto wasShown = isNoteShown();
    note.setText (text, juce::dontSendNotification);

    if (wasShown != isNoteShown())
    {
        resized();

        if (onNoteShownChanged != nullptr)
            onNoteShownChanged();
    }
}

void FormatRow::chooseSubFolder()
{
    const auto root = exportFolder != nullptr ? exportFolder() : juce::File();

    FileChooserRequest request;
    request.mode = FileChooserRequest::Mode::openFolder;
    request.title = "Choose a sub-folder inside the export folder";
    request.initialLocation = root.isDirectory() ? root : juce::File::getSpecialLocation (juce::File::userMusicDirectory);

    juce::Component::SafePointer<FormatRow> safe (this);
    seams.showFileChooser (request, [safe, root] (const juce::Array<juce::File>& chosen)
                           {
                               if (safe == nullptr || chosen.isEmpty())
                                   return;

                               auto& row = *safe;
                               const auto folder = chosen.getFirst();

                               // Inside and not the folder itself, by the disk's own rule for letter case.
                               if (! root.isDirectory() || ! folder.isAChildOf (root))
                               {
                                   MessageBoxRequest box;
                                   box.title = "That folder is not inside the export folder";
                                   box.message = "A format's sub-folder has to sit underneath the export folder. Pick a folder inside it, or type a relative name.";
                                   box.associatedComponent = &row;
                                   row.seams.showMessageBox (box, nullptr);
                                   return;
                               }

                               row.subFolderEditor.setText (folder.getRelativePathFrom (root).replaceCharacter ('\\', '/'), false);

                               if (! row.updating)
                                   row.userChanged();
                           });
}

std::array<juce::Rectangle<int>, 7> FormatRow::getFormatColumns (juce::Rectangle<int> area, bool subFolderBelow)
{
    std::array<juce::Rectangle<int>, 7> columns;
    auto rest = area;

    auto take = [&rest] (int width) { return rest.removeFromLeft (std::min (width, rest.getWidth())); };

    constexpr int choiceWidths[] = { 72, 112, 116, 200 };
    constexpr int fixedWidth = 26 + 4 * 5;
    constexpr int choicesWidth = choiceWidths[0] + choiceWidths[1] + choiceWidths[2] + choiceWidths[3];
    const auto stretch = subFolderBelow ? std::max (1.0, (double) (area.getWidth() - fixedWidth) / (double) choicesWidth) : 1.0;
    const auto choice = [&] (int index) { return take ((int) std::floor (choiceWidths[index] * stretch)); };

    columns[0] = take (26);
    take (5);
    columns[1] = choice (0);
    take (5);
    columns[2] = choice (1);
    take (5);
    columns[3] = choice (2);
    take (5);
    columns[4] = choice (3);
    take (5);
    columns[6] = rest.removeFromRight (std::min (36, rest.getWidth()));
    rest.removeFromRight (std::min (5, rest.getWidth()));
    columns[5] = rest;
    return columns;
}

std::array<juce::Rectangle<int>, 3> FormatRow::getSubFolderLine (juce::Rectangle<int> area)
{
    const auto columns = getFormatColumns (area, true);
    auto rest = area.withLeft (columns[2].getX());
    const auto pick = rest.removeFromRight (std::min (36, rest.getWidth()));
    rest.removeFromRight (std::min (5, rest.getWidth()));
    return { columns[1], rest, pick };
}

int FormatRow::getSubFolderWidthNeeded() const
{
    // The framework draws the hint after the left indent, inside the border, and keeps 2 px for
    // the caret beside a typed text.
    const auto hint = measureTextWidthCeil (subFolderEditor.getFont(), subFolderEditor.getTextToShowWhenEmpty())
                      + subFolderEditor.getLeftIndent() + subFolderEditor.getBorder().getLeftAndRight() + 2;
    return std::max (hint, measureTextWidthCeil (fontPlain12_5(), subFolderCaption));
}

bool FormatRow::showsSubFolderBelow (int width) const
{
    return getFormatColumns ({ 0, 0, width, lineHeight })[5].getWidth() < getSubFolderWidthNeeded();
}

int FormatRow::getPreferredHeight (int width) const
{
    return lineHeight + (showsSubFolderBelow (width) ? lineGap + lineHeight : 0) + (isNoteShown() ? lineGap + noteHeight : 0);
}

std::vector<PaintedText> FormatRow::getPaintedTexts() const
{
    if (! showsSubFolderBelow (getWidth()))
        return {};

    auto bounds = getLocalBounds().withTrimmedTop (std::min (lineHeight + lineGap, getHeight()));
    const auto line = getSubFolderLine (bounds.removeFromTop (std::min (lineHeight, bounds.getHeight())));
    return { { subFolderCaption, line[0].toFloat(), fontPlain12_5(), currentPalette().textDisabled } };
}

void FormatRow::paint (juce::Graphics& g)
{
    drawPaintedTexts (g, getPaintedTexts());
}

void FormatRow::resized()
{
    auto bounds = getLocalBounds();
    const auto take = [&bounds] (int height) { return bounds.removeFromTop (std::min (height, bounds.getHeight())); };
    const auto columns = getFormatColumns (take (lineHeight), showsSubFolderBelow (getWidth()));

    enableToggle.setBounds (columns[0]);
    formatCombo.setBounds (columns[1]);
    wordLengthCombo.setBounds (columns[2]);
    sampleRateCombo.setBounds (columns[3]);
    ditherCombo.setBounds (columns[4]);

    if (showsSubFolderBelow (getWidth()))
    {
        take (lineGap);
        const auto line = getSubFolderLine (take (lineHeight));
        subFolderEditor.setBounds (line[1]);
        pickButton.setBounds (line[2]);
    }
    else
    {
        subFolderEditor.setBounds (columns[5]);
        pickButton.setBounds (columns[6]);
    }

    take (lineGap);
    note.setBounds (take (noteHeight).withLeft (columns[1].getX()));
}

//==============================================================================
FormatCaptions::FormatCaptions()
{
    setInterceptsMouseClicks (false, false);
    setTitle ("Output format captions");
}

void FormatCaptions::setSubFolderCaptionShown (bool shown)
{
    if (shown == subFolderCaptionShown)
        return;

    subFolderCaptionShown = shown;
    repaint();
}

std::vector<PaintedText> FormatCaptions::getPaintedTexts() const
{
    const auto columns = FormatRow::getFormatColumns (getLocalBounds(), ! subFolderCaptionShown);
    const auto colour = currentPalette().textDisabled;
    std::vector<PaintedText> texts;

    for (const auto* caption : { "Format", "Word length", "Sample rate", "Dither" })
        texts.push_back ({ caption, columns[texts.size() + 1].toFloat(), fontPlain12_5(), colour });

    if (subFolderCaptionShown)
        texts.push_back ({ subFolderCaption, columns[5].toFloat(), fontPlain12_5(), colour });

    return texts;
}

void FormatCaptions::paint (juce::Graphics& g)
{
    drawPaintedTexts (g, getPaintedTexts());
}

} // namespace dunmoor::ui
