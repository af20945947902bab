#include "ui/look/Theme.h"

#include "core/render/FileKindColours.h"
#include "ui/look/AppLookAndFeel.h"

namespace dunmoor::ui
{

namespace
{
    const std::array<PaletteEntryInfo, paletteEntryCount> paletteEntries { {
        { "windowBackground", "Window", "Behind everything", &Palette::windowBackground },
        { "panelBackground", "Panel", "Lists and the blocks of a page", &Palette::panelBackground },
        { "raisedBackground", "Raised panel", "Headers, menus, tooltips", &Palette::raisedBackground },
        { "controlBackground", "Control", "Buttons, fields, combo boxes", &Palette::controlBackground },
        { "controlHover", "Control hover", "A control under the pointer", &Palette::controlHover },
        { "outline", "Outline", "The border of a control", &Palette::outline },
        { "subtleOutline", "Subtle outline", "Dividers and the edges of lists", &Palette::subtleOutline },
        { "textPrimary", "Text", "Everything you read", &Palette::textPrimary },
        { "textSecondary", "Secondary text", "Captions, hints, figures", &Palette::textSecondary },
        { "textDisabled", "Disabled text", "A control that cannot be used yet", &Palette::textDisabled },
        { "accent", "Accent", "Focus, selection, progress", &Palette::accent },
        { "good", "Good", "Confident matches, a passed check", &Palette::good },
        { "warning", "Warning", "Needs review", &Palette::warning },
        { "bad", "Problem", "Ambiguous matches, a failed check", &Palette::bad },
        { "unassigned", "Unassigned", "A track with no stem", &Palette::unassigned },
        { "stem", "Stem", "A stem, here and in the HTML report", &Palette::stem },
        { "fullMix", "Full mix", "The full mix, here and in the report", &Palette::fullMix },
        { "alternativeMix", "Alternative mix", "An alternative mix, and in the report", &Palette::alternativeMix },
        { "playhead", "Playhead", "Where the audition has got to", &Palette::playhead },
        { "spectrogram", "Spectrogram quiet", "The colour of the quiet parts", &Palette::spectrogram },
        { "spectrogramPeak", "Spectrogram loud", "The colour the loud parts reach", &Palette::spectrogramPeak },
    } };

    Palette makeDefaultPalette()
    {
        Palette p;
        p.windowBackground = juce::Colour (0xff141618);
        p.panelBackground = juce::Colour (0xff232629);
        p.raisedBackground = juce::Colour (0xff2c3033);
        p.controlBackground = juce::Colour (0xff0c0d0e);
        p.controlHover = juce::Colour (0xff454b51);
        p.outline = juce::Colour (0xff545b62);
        p.subtleOutline = juce::Colour (0xff303437);
        p.textPrimary = juce::Colour (0xffe6e8ea);
        p.textSecondary = juce::Colour (0xff9aa0a6);
        p.textDisabled = juce::Colour (0xff62686d);
        p.accent = juce::Colour (0xff7fb2d9);
        p.good = juce::Colour (0xff7bbf7b);
        p.warning = juce::Colour (0xffd9b25f);
        p.bad = juce::Colour (0xffd97f7f);
        p.unassigned = juce::Colour (0xff8a8f94);
        p.stem = juce::Colour (0xff8fbf6b);
        p.fullMix = juce::Colour (0xff7fb2d9);
        p.alternativeMix = juce::Colour (0xff6fd8ee);
        p.playhead = juce::Colour (0xff1cb078);
        p.spectrogram = juce::Colour (0xff2f6d8f);
        p.spectrogramPeak = juce::Colour (0xff5fd0e8);
        return p;
    }

    // The palette every painted part reads. It holds the Default colours from static
    // initialisation on, before any window exists; only applyPalette replaces it.
    Palette globalPalette = makeDefaultPalette();

    const juce::Identifier labelToneProperty ("brackenfoldLabelTone");

    juce::Colour shiftChannels (juce::Colour colour, int delta)
    {
        const auto shift = [delta] (juce::uint8 channel)
        { return (juce::uint8) juce::jlimit (0, 255, (int) channel + delta); };

        return juce::Colour (shift (colour.getRed()), shift (colour.getGreen()), shift (colour.getBlue()), colour.getAlpha());
    }

    bool isHexDigits (const juce::String& text)
    {
        return text.containsOnly ("0123456789abcdefABCDEF");
    }

    juce::Font sansFont (float height, int style) { return juce::Font (height, style); }

    juce::Font monoFont (float height)
    {
        return juce::Font (juce::Font::getDefaultMonospacedFontName(), height, juce::Font::plain);
    }
} // namespace

bool Palette::operator== (const Palette& other) const noexcept
{
    for (const auto& entry : paletteEntries)
        if (this->*entry.colour != other.*entry.colour)
            return false;

    return true;
}

const std::array<PaletteEntryInfo, paletteEntryCount>& getPaletteEntries() { return paletteEntries; }

Palette defaultPalette() { return makeDefaultPalette(); }

Palette brighterPalette()
{
    auto p = makeDefaultPalette();
    p.windowBackground = juce::Colour (0xff1c1e20);
    p.controlBackground = juce::Colour (0xff34383c);
    p.controlHover = juce::Colour (0xff3f4448);
    p.outline = juce::Colour (0xff44494e);
    return p;
}

Palette currentPalette() { return globalPalette; }

Palette paletteForChoice (PaletteChoice choice, const juce::PropertySet& settings)
{
    switch (choice)
    {
        case PaletteChoice::brighter:
            return brighterPalette();
        case PaletteChoice::custom:
            return parseCustomPalette (settings.getValue ("customPalette"));
        case PaletteChoice::defaultColours:
        default:
            return defaultPalette();
    }
}

PaletteChoice readPaletteChoice (const juce::PropertySet& settings)
{
    if (settings.containsKey ("paletteChoice"))
    {
        const auto value = settings.getIntValue ("paletteChoice", 1);
        return value >= 1 && value <= 3 ? (PaletteChoice) value : PaletteChoice::defaultColours;
    }

    // Older settings files only knew whether a custom palette was in use.
    return settings.getBoolValue ("useCustomPalette", false) ? PaletteChoice::custom
                                                             : PaletteChoice::defaultColours;
}

Palette parseCustomPalette (const juce::String& text)
{
    auto palette = defaultPalette();

    juce::StringArray tokens;
    tokens.addTokens (text, " ", "");
    tokens.removeEmptyStrings (true);

    for (const auto& token : tokens)
    {
        const auto colon = token.indexOfChar (':');
        if (colon <= 0)
            continue;

        const auto key = token.substring (0, colon);
        const auto value = token.substring (colon + 1);
        if (value.length() != 8 || ! isHexDigits (value))
            continue;

        for (const auto& entry : paletteEntries)
        {
            if (key == entry.key)
            {
                palette.*entry.colour = juce::Colour ((juce::uint32) value.getHexValue64());
                break;
            }
        }
    }

    return palette;
}

juce::String formatCustomPalette (const Palette& palette)
{
    juce::StringArray tokens;

    for (const auto& entry : paletteEntries)
        tokens.add (juce::String (entry.key) + ":" + juce::String::toHexString ((juce::int64) (palette.*entry.colour).getARGB()).paddedLeft ('0', 8));

    return tokens.joinIntoString (" ");
}

void applyPalette (const Palette& palette)
{
    globalPalette = palette;

    // The Report page and the HTML report draw written files in these, so they follow every
    // palette, the Default one included.
    const juce::Colour kindColours[] = { palette.stem, palette.fullMix, palette.alternativeMix };
    for (int kind = 0; kind < 3; ++kind)
    {
        const auto c = kindColours[kind];
        setFileKindColour (kind, { c.getARGB(), c.darker (0.55f).getARGB(), c.brighter (0.85f).getARGB() });
    }

    if (auto* lookAndFeel = dynamic_cast<AppLookAndFeel*> (&juce::LookAndFeel::getDefaultLookAndFeel()))
        AppLookAndFeel::applyColours (*lookAndFeel);

    auto& desktop = juce::Desktop::getInstance();
    for (int i = 0; i < desktop.getNumComponents(); ++i)
    {
        if (auto* window = desktop.getComponent (i))
        {
            applyLabelTones (*window);
            window->sendLookAndFeelChange();
            window->repaint();
        }
    }
}

int clampUiScalePercent (int percent) noexcept { return juce::jlimit (80, 120, percent); }

void applyUiScale (int percent)
{
    const auto scale = (float) clampUiScalePercent (percent) / 100.0f;
    auto& desktop = juce::Desktop::getInstance();
    const auto oldScale = desktop.getGlobalScaleFactor();

    // A window keeps its size on the screen through a change of the scale, so its content would
    // be cut off (larger scale) or surrounded by empty space (smaller one). Each keeps its size in
    // interface units instead, and the top-left corner stays where it is on the screen.
    std::vector<std::pair<juce::Component::SafePointer<juce::Component>, juce::Rectangle<int>>> windows;
    for (int i = 0; i < desktop.getNumComponents(); ++i)
        if (auto* window = desktop.getComponent (i))
            windows.emplace_back (window, window->getBounds());

    desktop.setGlobalScaleFactor (scale);

    for (const auto& [window, oldBounds] : windows)
    {
        if (window == nullptr)
            continue;

        auto bounds = oldBounds.withPosition ((oldBounds.getPosition().toFloat() * oldScale / scale).roundToInt());

        // The displays are reported in logical pixels of the new scale, so a window that no
        // longer fits its display's free area is moved back onto it, and shrunk to it when it is
        // larger: its right and bottom edges (and their resize corner) stay on the screen.
        if (const auto* display = desktop.getDisplays().getDisplayForRect (bounds))
            bounds = bounds.constrainedWithin (display->userArea);

        if (bounds != window->getBounds())
            window->setBounds (bounds);
    }
}

//==============================================================================
juce::Colour colourForTone (LabelTone tone)
{
    switch (tone)
    {
        case LabelTone::secondary:
            return globalPalette.textSecondary;
        case LabelTone::disabled:
            return globalPalette.textDisabled;
        case LabelTone::warning:
            return globalPalette.warning;
        case LabelTone::primary:
        default:
            return globalPalette.textPrimary;
    }
}

void setLabelTone (juce::Component& component, LabelTone tone)
{
    component.getProperties().set (labelToneProperty, (int) tone);
    component.setColour (juce::Label::textColourId, colourForTone (tone));
}

void applyLabelTones (juce::Component& root)
{
    if (auto* label = dynamic_cast<juce::Label*> (&root))
    {
        const auto* tone = label->getProperties().getVarPointer (labelToneProperty);
        if (tone != nullptr)
            label->setColour (juce::Label::textColourId, colourForTone ((LabelTone) (int) *tone));
    }

    if (auto* editor = dynamic_cast<juce::TextEditor*> (&root))
    {
        if (editor->getTextToShowWhenEmpty().isNotEmpty())
            editor->setTextToShowWhenEmpty (editor->getTextToShowWhenEmpty(), placeholderTextColour());

        if (! editor->isMultiLine())
            editor->setIndents (4, 7);
    }

    for (auto* child : root.getChildren())
        applyLabelTones (*child);
}

//==============================================================================
juce::Font fontPlain12() { return sansFont (12.0f, juce::Font::plain); }
juce::Font fontPlain12_5() { return sansFont (12.5f, juce::Font::plain); }
juce::Font fontPlain13() { return sansFont (13.0f, juce::Font::plain); }
juce::Font fontPlain13_5() { return sansFont (13.5f, juce::Font::plain); }
juce::Font fontPlain14() { return sansFont (14.0f, juce::Font::plain); }
juce::Font fontPlain14_5() { return sansFont (14.5f, juce::Font::plain); }
juce::Font fontBold14() { return sansFont (14.0f, juce::Font::bold); }
juce::Font fontBold14_5() { return sansFont (14.5f, juce::Font::bold); }
juce::Font fontBold16() { return sansFont (16.0f, juce::Font::bold); }
juce::Font fontBold17() { return sansFont (17.0f, juce::Font::bold); }
juce::Font fontBold24() { return sansFont (24.0f, juce::Font::bold); }
juce::Font fontMono12() { return monoFont (12.0f); }
juce::Font fontMono13_5() { return monoFont (13.5f); }

int measureTextWidthCeil (const juce::Font& font, const juce::String& text)
{
    juce::GlyphArrangement glyphs;
    glyphs.addLineOfText (font, text, 0.0f, 0.0f);
    return (int) std::ceil (glyphs.getBoundingBox (0, -1, true).getWidth());
}

//==============================================================================
juce::Colour colourForConfidence (Confidence confidence)
{
    switch (confidence)
    {
        case Confidence::confident:
            return globalPalette.good;
        case Confidence::review:
            return globalPalette.warning;
        case Confidence::ambiguous:
            return globalPalette.bad;
        case Confidence::unassigned:
        default:
            return globalPalette.unassigned;
    }
}

juce::Colour textColourOn (juce::Colour background)
{
    return background.getPerceivedBrightness() > 0.55f ? juce::Colour (0xff181a1c) : globalPalette.textPrimary;
}

juce::Colour dimmedBackground() { return globalPalette.windowBackground.darker (0.65f); }

juce::Colour placeholderTextColour() { return globalPalette.textDisabled.darker (0.4f); }

juce::Colour selectionTint (juce::Colour background, bool emphasised)
{
    return background.overlaidWith (globalPalette.accent.withAlpha (emphasised ? 0.35f * 1.5f : 0.35f));
}

juce::Colour opaqueBlack() { return juce::Colour (0xff000000); }

juce::ColourGradient subtleGradient (juce::Colour colour, juce::Rectangle<float> area)
{
    return juce::ColourGradient::vertical (shiftChannels (colour, 5), shiftChannels (colour, -5), area);
}

juce::ColourGradient boldGradient (juce::Colour colour, juce::Rectangle<float> area)
{
    auto gradient = juce::ColourGradient::vertical (shiftChannels (colour, 15), shiftChannels (colour, -15), area);
    gradient.addColour (0.5, colour);
    return gradient;
}

//==============================================================================
void drawDividerLine (juce::Graphics& g, int x, int top, int height)
{
    g.setColour (globalPalette.outline);
    g.fillRect (x, top, 1, height);
    g.setColour (juce::Colours::black.withAlpha (0.55f));
    g.fillRect (x + 1, top, 1, height);
}

void drawPanel (juce::Graphics& g, juce::Rectangle<int> area, juce::Colour colour)
{
    if (area.getWidth() <= 0 || area.getHeight() <= 0)
        return;

    const auto r = area.toFloat();
    constexpr float radius = 4.0f;

    // The sheen: white, 3.6 % at the top, 0.8 % at 60 % of the height, 0.6 % at the bottom.
    const auto sheenAt = [] (double p) { return p <= 0.6 ? 0.036 - 0.028 * p / 0.6 : 0.008 - 0.002 * (p - 0.6) / 0.4; };

    if (colour.isOpaque())
    {
        // Both gradients run top to bottom, so over an opaque colour they make one: a single
        // fill instead of two blended ones (panels are the largest areas the pages paint).
        const auto top = shiftChannels (colour, 5);
        const auto bottom = shiftChannels (colour, -5);
        auto combined = juce::ColourGradient::vertical (top.overlaidWith (juce::Colours::white.withAlpha ((float) sheenAt (0.0))),
                                                        bottom.overlaidWith (juce::Colours::white.withAlpha ((float) sheenAt (1.0))), r);

        for (auto p : { 0.2, 0.4, 0.6, 0.8 })
            combined.addColour (p, top.interpolatedWith (bottom, (float) p).overlaidWith (juce::Colours::white.withAlpha ((float) sheenAt (p))));

        g.setGradientFill (combined);
        g.fillRoundedRectangle (r, radius);
    }
    else
    {
        g.setGradientFill (subtleGradient (colour, r));
        g.fillRoundedRectangle (r, radius);

        auto sheen = juce::ColourGradient::vertical (juce::Colours::white.withAlpha ((float) sheenAt (0.0)), juce::Colours::white.withAlpha ((float) sheenAt (1.0)), r);
        sheen.addColour (0.6, juce::Colours::white.withAlpha ((float) sheenAt (0.6)));
        g.setGradientFill (sheen);
        g.fillRoundedRectangle (r, radius);
    }

    g.setColour (juce::Colours::white.withAlpha (0.07f));
    g.fillRect (juce::Rectangle<float> (r.getX() + 4.0f, r.getY() + 0.5f, juce::jmax (0.0f, r.getWidth() - 8.0f), 1.0f));

    g.setColour (globalPalette.subtleOutline);
    g.drawRoundedRectangle (r.getX() + 0.5f, r.getY() + 0.5f, juce::jmax (0.0f, r.getWidth() - 1.0f), juce::jmax (0.0f, r.getHeight() - 1.0f), radius, 1.0f);
}

void drawButtonFace (juce::Graphics& g, juce::Rectangle<float> area, juce::Colour colour, float cornerRadius)
{
    g.setGradientFill (juce::ColourGradient::vertical (colour.brighter (0.35f), colour.darker (0.35f), area));
    g.fillRoundedRectangle (area, cornerRadius);

    g.setColour (colour);
    g.drawRoundedRectangle (area.getX() + 0.5f, area.getY() + 0.5f, juce::jmax (0.0f, area.getWidth() - 1.0f), juce::jmax (0.0f, area.getHeight() - 1.0f), cornerRadius, 1.0f);
}

namespace
{
    void strokeChevron (juce::Graphics& g, juce::Point<float> centre, juce::Colour colour)
    {
        juce::Path chevron;
        chevron.startNewSubPath (centre.x - 4.0f, centre.y - 2.0f);
        chevron.lineTo (centre.x, centre.y + 3.0f);
        chevron.lineTo (centre.x + 4.0f, centre.y - 2.0f);

        g.setColour (colour);
        g.strokePath (chevron, juce::PathStrokeType (1.6f, juce::PathStrokeType::mitered, juce::PathStrokeType::butt));
    }
} // namespace

void drawDropDownField (juce::Graphics& g,
                        juce::Rectangle<float> area,
                        juce::Colour fill,
                        juce::Colour outline,
                        juce::Colour arrow,
                        float outlineThickness)
{
    g.setColour (fill);
    g.fillRoundedRectangle (area, 4.0f);
    g.setColour (outline);
    g.drawRoundedRectangle (area, 4.0f, outlineThickness);
    strokeChevron (g, { area.getRight() - 13.5f, area.getCentreY() }, arrow);
}

void drawChevron (juce::Graphics& g, juce::Point<float> centre, juce::Colour colour)
{
    strokeChevron (g, centre, colour);
}

void drawWarningGlyph (juce::Graphics& g, juce::Rectangle<float> area, juce::Colour colour)
{
    const auto s = juce::jmin (area.getWidth(), area.getHeight());
    if (s <= 0.0f)
        return;

    const auto x = area.getCentreX() - s / 2.0f;
    const auto y = area.getCentreY() - s / 2.0f;
    const auto thickness = juce::jmax (1.2f, 0.09f * s);
    const juce::PathStrokeType stroke (thickness, juce::PathStrokeType::curved, juce::PathStrokeType::rounded);

    juce::Path triangle;
    triangle.addTriangle (x + s / 2.0f, y + 0.06f * s, x + 0.97f * s, y + 0.88f * s, x + 0.03f * s, y + 0.88f * s);

    juce::Path bar;
    bar.startNewSubPath (x + s / 2.0f, y + 0.38f * s);
    bar.lineTo (x + s / 2.0f, y + 0.62f * s);

    g.setColour (colour);
    g.strokePath (triangle, stroke);
    g.strokePath (bar, stroke);

    const auto dot = 0.12f * s;
    g.fillEllipse (x + s / 2.0f - dot / 2.0f, y + 0.75f * s - dot / 2.0f, dot, dot);
}

void drawWaveform (juce::Graphics& g,
                   juce::Rectangle<float> area,
                   const WaveformOverview& overview,
                   juce::Colour colour,
                   bool compact,
                   double dataStart,
                   double dataEnd,
                   double visibleStart,
                   double visibleEnd)
{
    if (area.getWidth() < 2.0f || area.getHeight() < 2.0f)
        return;

    const auto middle = std::floor (area.getCentreY());
    g.setColour (globalPalette.outline.withAlpha (0.6f));
    g.fillRect (juce::Rectangle<float> (area.getX(), middle, area.getWidth(), 1.0f));

    const auto bucketCount = overview.getNumBuckets();
    if (bucketCount == 0 || overview.peak <= 0.0f)
    {
        g.setColour (globalPalette.textDisabled);
        g.setFont (fontPlain14_5().withHeight (compact ? 10.0f : 12.0f));
        g.drawText (bucketCount == 0 ? "no waveform" : "silence", area, juce::Justification::centred, false);
        return;
    }

    const auto scale = 0.92 / (double) overview.peak;
    const auto x = (double) area.getX();
    const auto width = (double) area.getWidth();
    const auto halfHeight = (double) area.getHeight() / 2.0;
    const auto mid = (double) area.getCentreY();
    const auto dataLength = dataEnd - dataStart;
    const auto lastBucket = bucketCount - 1;

    const auto bucketAt = [&] (double g01)
    {
        const auto position = visibleStart + g01 * (visibleEnd - visibleStart);
        if (dataLength <= 0.0)
            return 0;
        return (int) std::floor ((double) lastBucket * (position - dataStart) / dataLength);
    };

    struct Column
    {
        int x;
        float top, bottom;
    };
    std::vector<Column> columns;

    const auto firstColumn = (int) std::floor (x);
    const auto endColumn = (int) std::ceil (x + width);
    columns.reserve ((size_t) juce::jmax (0, endColumn - firstColumn));

    for (int i = firstColumn; i < endColumn; ++i)
    {
        auto left = bucketAt (((double) i - x) / width);
        auto right = bucketAt (((double) i + 1.0 - x) / width);
        if (right < 0 || left > lastBucket)
            continue;

        left = juce::jmax (0, left);
        right = juce::jlimit (left, lastBucket, right);

        auto minimum = overview.minimums[(size_t) left];
        auto maximum = overview.maximums[(size_t) left];
        for (int k = left + 1; k <= right; ++k)
        {
            minimum = juce::jmin (minimum, overview.minimums[(size_t) k]);
            maximum = juce::jmax (maximum, overview.maximums[(size_t) k]);
        }

        auto top = mid - halfHeight * juce::jlimit (-1.0, 1.0, (double) maximum * scale);
        auto bottom = mid - halfHeight * juce::jlimit (-1.0, 1.0, (double) minimum * scale);
        if (bottom - top < 1.0)
        {
            // Quiet stretches still show as a one-pixel line.
            const auto mean = (top + bottom) / 2.0;
            top = mean - 0.5;
            bottom = mean + 0.5;
        }

        columns.push_back ({ i, (float) top, (float) bottom });
    }

    if (columns.empty())
        return;

    juce::Path path;
    path.startNewSubPath ((float) columns.front().x, columns.front().top);
    for (const auto& c : columns)
    {
        path.lineTo ((float) c.x, c.top);
        path.lineTo ((float) c.x + 1.0f, c.top);
    }
    for (auto it = columns.rbegin(); it != columns.rend(); ++it)
    {
        path.lineTo ((float) it->x + 1.0f, it->bottom);
        path.lineTo ((float) it->x, it->bottom);
    }
    path.closeSubPath();

    g.setGradientFill (juce::ColourGradient::vertical (colour.brighter (0.35f), colour.darker (0.45f), area));
    g.fillPath (path);
}

//==============================================================================
void addAllAndMakeVisible (juce::Component& parent, std::initializer_list<juce::Component*> children)
{
    for (auto* child : children)
        if (child != nullptr)
            parent.addAndMakeVisible (child);
}

void addAllHidden (juce::Component& parent, std::initializer_list<juce::Component*> children)
{
    for (auto* child : children)
        if (child != nullptr)
            parent.addChildComponent (child);
}

void setAllEnabled (std::initializer_list<juce::Component*> components, bool enabled)
{
    for (auto* component : components)
        if (component != nullptr)
            component->setEnabled (enabled);
}

void setAllBounds (std::initializer_list<juce::Component*> components, juce::Rectangle<int> bounds)
{
    for (auto* component : components)
        if (component != nullptr)
            component->setBounds (bounds);
}

void setPlaceholder (juce::TextEditor& editor, const juce::String& text)
{
    editor.setTextToShowWhenEmpty (text, placeholderTextColour());
}

juce::PopupMenu::Options popupMenuOptionsFor (juce::Component* component)
{
    if (component == nullptr)
        return {};

    return juce::PopupMenu::Options().withParentComponent (component->getTopLevelComponent());
}

} // namespace dunmoor::ui
