#include "GatedTrackList.h"

#include "ui/look/Theme.h"

namespace dunmoor::ui
{

namespace
{
    using namespace CleanupView;

    /** A square button face centred in the box, as the row's two buttons draw it. */
    juce::Rectangle<float> drawRowButton (juce::Graphics& g, juce::Rectangle<int> box)
    {
        const auto palette = currentPalette();
        const auto side = (float) std::max (0, std::min (box.getWidth(), box.getHeight()) - 3);
        const auto face = juce::Rectangle<float> (side, side).withCentre (box.toFloat().getCentre());
        g.setColour (palette.controlBackground);
        g.fillRoundedRectangle (face, 4.0f);
        g.setColour (palette.outline);
        g.drawRoundedRectangle (face.reduced (0.5f), 4.0f, 1.0f);
        return face;
    }

    juce::Path rightTriangle (juce::Rectangle<float> r)
    {
        juce::Path p;
        p.addTriangle (r.getX(), r.getY(), r.getRight(), r.getCentreY(), r.getX(), r.getBottom());
        return p;
    }
} // namespace

//==============================================================================
GatedTrackList::GatedTrackList()
{
    setTitle ("Noise floor cleanup preview");
    setDescription ("Every track the cleanup read, with what it took down. Click a shaded stretch to hear where the sound comes back.");
    setWantsKeyboardFocus (true);
    setVisible (false);
}

GatedTrackList::~GatedTrackList()
{
    settleTimer.stopTimer();
}

void GatedTrackList::setRows (std::vector<Row> newRows)
{
    rows = std::move (newRows);
    collapsedCues.clear();
    details.assign (rows.size(), Detail());
    detailReads.cancel();

    const auto font = fontPlain13_5();
    float widest = 0.0f;

    for (const auto& row : rows)
        widest = std::max (widest, font.getStringWidthFloat (row.fileName));

    labelWidth = juce::jlimit (280, 620, (int) std::ceil (widest) + 174);
    rebuildItems();
    setVisible (! rows.empty());
    repaint();

    if (! rows.empty() && zoom.getWidth() <= detailZoomWidth)
        restartSettleTimer();
}

bool GatedTrackList::renameCue (const juce::String& cueKey, const juce::String& name)
{
    bool changed = false;

    for (auto& row : rows)
    {
        if (row.cueKey == cueKey && row.cueName != name)
        {
            row.cueName = name;
            changed = true;
        }
    }

    if (changed)
    {
        rebuildItems();
        repaint();
    }

    return changed;
}

void GatedTrackList::rebuildItems()
{
    items = buildItems (rows, collapsedCues, rowHeight);
    itemOfRow.assign (rows.size(), -1);

    for (int i = 0; i < (int) items.size(); ++i)
        if (! items[(size_t) i].isHeader)
            itemOfRow[(size_t) items[(size_t) i].row] = i;
}

//==============================================================================
void GatedTrackList::setZoomWindow (ZoomWindow window)
{
    zoom = window;
    repaint();
    restartSettleTimer();
}

void GatedTrackList::zoomBy (double factor)
{
    setZoomWindow (CleanupView::zoomBy (zoom, factor));
}

void GatedTrackList::makeRowsTaller()
{
    setRowHeight (tallerRowHeight (rowHeight));
}

void GatedTrackList::makeRowsShorter()
{
    setRowHeight (shorterRowHeight (rowHeight));
}

void GatedTrackList::setRowHeight (int height)
{
    if (height == rowHeight)
        return;

    rowHeight = height;
    rebuildItems();

    if (onHeightChanged != nullptr)
        onHeightChanged();

    repaint();
}

void GatedTrackList::toggleFold (const juce::String& cueName)
{
    if (collapsedCues.contains (cueName))
        collapsedCues.removeString (cueName);
    else
        collapsedCues.add (cueName);

    rebuildItems();

    if (onHeightChanged != nullptr)
        onHeightChanged();

    repaint();
    restartSettleTimer();
}

void GatedTrackList::restartSettleTimer()
{
    settleTimer.startTimer (settleMilliseconds);
}

void GatedTrackList::SettleTimer::timerCallback()
{
    stopTimer();
    list.fetchDetails();
}

//==============================================================================
void GatedTrackList::fetchDetails()
{
    if (rows.empty())
        return;

    // Reads of an earlier window go without waiting; whatever they still hand back is dropped.
    detailReads.newRequest();

    if (zoom.getWidth() > detailZoomWidth)
    {
        details.assign (rows.size(), Detail());
        repaint();
        return;
    }

    details.resize (rows.size());

    // The rows in view first: they are what the user is waiting for.
    auto visible = getLocalBounds();

    if (auto* viewport = findParentComponentOfClass<juce::Viewport>())
        if (auto* viewed = viewport->getViewedComponent())
            visible = getLocalArea (viewed, viewport->getViewArea()).getIntersection (getLocalBounds());

    std::vector<int> order;
    order.reserve (rows.size());

    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < (int) rows.size(); ++i)
            if (itemOfRow[(size_t) i] >= 0 && getRowBounds (i).intersects (visible) == (pass == 0))
                order.push_back (i);

    for (auto i : order)
    {
        const auto& row = rows[(size_t) i];

        if (detailNeedsFetch (details[(size_t) i], zoom) && row.path.existsAsFile())
            detailReads.add ([this, index = i, file = row.path, window = zoom] (const CancelCheck& cancelled) -> LatestRequestRunner::Delivery
                             {
                                 juce::String error;
                                 auto overview = overviewFromFileRange (file, window.start, window.end, detailBuckets, error, cancelled);

                                 // A read that failed leaves the row drawn from its own overview.
                                 if (overview.isEmpty())
                                     return {};

                                 return [this, index, file, window, overview = std::move (overview)]() mutable
                                 { receiveDetail (index, file, window.start, window.end, std::move (overview)); };
                             });
    }
}

void GatedTrackList::receiveDetail (int index, const juce::File& file, double start, double end, WaveformOverview overview)
{
    if (index < 0 || index >= (int) details.size() || rows[(size_t) index].path != file)
        return;

    auto& detail = details[(size_t) index];
    detail.start = start;
    detail.end = end;
    detail.overview = std::move (overview);
    repaint (getRowBounds (index));
}

//==============================================================================
bool GatedTrackList::handlePlayingRowKey (bool forward)
{
    if (isPlaying == nullptr)
        return false;

    for (int i = 0; i < (int) rows.size(); ++i)
        if (isPlaying (rows[(size_t) i]))
            return jumpToCleanedStretch (i, forward);

    return false;
}

bool GatedTrackList::jumpToCleanedStretch (int index, bool forward)
{
    if (index < 0 || index >= (int) rows.size())
        return false;

    const auto& row = rows[(size_t) index];
    const auto playhead = getPlayheadFraction != nullptr ? getPlayheadFraction (row) : -1.0;
    const auto target = jumpTargetSeconds (row, playhead, forward);

    if (! target.has_value() || onSeek == nullptr)
        return false;

    onSeek (row, *target);
    repaint();
    return true;
}

//==============================================================================
juce::Rectangle<int> GatedTrackList::getArea() const
{
    return getLocalBounds().reduced (margin);
}

juce::Rectangle<int> GatedTrackList::itemBounds (const Item& item) const
{
    const auto area = getArea();
    const juce::Rectangle<int> bounds (area.getX(), area.getY() + headerStripHeight + item.y, area.getWidth(), item.height);
    return bounds.getIntersection (area.withTop (area.getY() + headerStripHeight));
}

juce::Rectangle<int> GatedTrackList::getRowBounds (int row) const
{
    if (row < 0 || row >= (int) itemOfRow.size() || itemOfRow[(size_t) row] < 0)
        return {};

    return itemBounds (items[(size_t) itemOfRow[(size_t) row]]);
}

juce::Rectangle<int> GatedTrackList::getPlayButtonBounds (int row) const
{
    const auto r = getRowBounds (row);
    return { r.getX() + 4, r.getY() + 2, std::max (0, std::min (r.getWidth() - 4, 26)), std::max (0, r.getHeight() - 4) };
}

juce::Rectangle<int> GatedTrackList::getJumpButtonBounds (int row) const
{
    const auto r = getRowBounds (row);
    return { r.getX() + 32, r.getY() + 2, std::max (0, std::min (r.getWidth() - 32, 26)), std::max (0, r.getHeight() - 4) };
}

juce::Rectangle<int> GatedTrackList::getWaveformBounds (int row) const
{
    const auto r = getRowBounds (row);
    const auto x = r.getX() + labelWidth + 5;
    return { x, r.getY() + 2, std::max (0, r.getRight() - x), std::max (0, r.getHeight() - 4) };
}

juce::Rectangle<int> GatedTrackList::getWaveformColumn() const
{
    const auto area = getArea();
    const auto top = area.getY() + headerStripHeight;
    return { area.getX() + labelWidth + 5, top, std::max (area.getWidth() - labelWidth - 5, 0),
             std::max (0, area.getY() + std::max (area.getHeight(), headerStripHeight) - top) };
}

juce::Rectangle<int> GatedTrackList::getGroupHeaderBounds (const juce::String& cueName) const
{
    for (const auto& item : items)
        if (item.isHeader && rows[(size_t) item.row].cueName == cueName)
            return itemBounds (item);

    return {};
}

float GatedTrackList::xForFraction (juce::Rectangle<int> box, double fraction) const
{
    return (float) box.getX() + (float) ((fraction - zoom.start) / std::max (1e-12, zoom.getWidth())) * (float) box.getWidth();
}

//==============================================================================
void GatedTrackList::mouseDown (const juce::MouseEvent& e)
{
    grabKeyboardFocus();
    const auto point = e.getPosition();

    for (const auto& item : items)
    {
        const auto bounds = itemBounds (item);

        if (! bounds.contains (point))
            continue;

        const auto& row = rows[(size_t) item.row];

        if (item.isHeader)
        {
            toggleFold (row.cueName);
            return;
        }

        if (getPlayButtonBounds (item.row).contains (point))
        {
            if (onPlay != nullptr)
                onPlay (row, playStartSeconds (row));

            repaint();
            return;
        }

        if (getJumpButtonBounds (item.row).contains (point))
        {
            jumpToCleanedStretch (item.row, true);
            return;
        }

        const auto box = getWaveformBounds (item.row);

        if (box.contains (point) && onSeek != nullptr)
        {
            const auto width = box.getWidth() < 2 ? 1 : box.getWidth();
            const auto fraction = zoom.start + (double) (point.x - box.getX()) * zoom.getWidth() / (double) width;
            onSeek (row, clickSeconds (row, fraction));
            repaint();
        }

        return;
    }
}

void GatedTrackList::mouseDoubleClick (const juce::MouseEvent&)
{
    showWholeTake();
}

void GatedTrackList::mouseWheelMove (const juce::MouseEvent& e, const juce::MouseWheelDetails& wheel)
{
    const auto column = getWaveformColumn();

    if (! column.contains (e.getPosition()) || wheel.deltaY == 0.0f)
    {
        juce::Component::mouseWheelMove (e, wheel);
        return;
    }

    const auto width = column.getWidth() <= 1 ? 1 : column.getWidth();
    zoom = zoomAtPointer (zoom, wheel.deltaY > 0.0f, (double) (e.getPosition().x - column.getX()) / (double) width);
    repaint();
    restartSettleTimer();
}

bool GatedTrackList::keyPressed (const juce::KeyPress& key)
{
    const auto mods = key.getModifiers();

    if (mods.isShiftDown() || mods.isCtrlDown() || mods.isAltDown())
        return false;

    if (key.getKeyCode() == juce::KeyPress::spaceKey)
    {
        if (onTogglePlay == nullptr)
            return false;

        onTogglePlay();
        return true;
    }

    if (key.getKeyCode() == juce::KeyPress::rightKey || key.getKeyCode() == juce::KeyPress::leftKey)
        return handlePlayingRowKey (key.getKeyCode() == juce::KeyPress::rightKey);

    return false;
}

//==============================================================================
void GatedTrackList::paint (juce::Graphics& g)
{
    if (rows.empty())
        return;

    const auto palette = currentPalette();
    const auto area = getArea();
    const auto clip = g.getClipBounds();

    const auto strip = area.withHeight (std::min (headerStripHeight, area.getHeight()));
    g.setGradientFill (subtleGradient (palette.panelBackground, strip.toFloat()));
    g.fillRect (strip);
    g.setFont (fontPlain14_5());
    g.setColour (palette.textSecondary);
    g.drawText (describeCleanup (rows), strip.withTrimmedLeft (12).withTrimmedRight (std::min (189, std::max (0, strip.getWidth() - 12))),
                juce::Justification::centredLeft, true);

    g.setColour (palette.windowBackground);
    g.fillRect (area.withTrimmedTop (strip.getHeight()));

    for (const auto& item : items)
    {
        const auto bounds = itemBounds (item);

        if (bounds.isEmpty() || ! bounds.intersects (clip))
            continue;

        if (item.isHeader)
            paintGroupHeader (g, item, bounds);
        else
            paintRow (g, item.row, bounds);
    }
}

void GatedTrackList::paintGroupHeader (juce::Graphics& g, const Item& item, juce::Rectangle<int> r)
{
    const auto palette = currentPalette();
    g.setGradientFill (subtleGradient (palette.raisedBackground, r.toFloat()));
    g.fillRect (r);
    g.setColour (palette.subtleOutline);
    g.fillRect (r.getX(), r.getY(), r.getWidth(), 1);
    g.fillRect (r.getX(), r.getBottom() - 1, r.getWidth(), 1);

    // A disclosure triangle: right when folded, down when open.
    const auto triangle = juce::Rectangle<float> (10.0f, 10.0f).withPosition ((float) r.getX() + 6.0f, (float) r.getCentreY() - 5.0f);
    juce::Path p;

    if (item.folded)
        p.addTriangle (triangle.getX(), triangle.getY(), triangle.getRight(), triangle.getCentreY(), triangle.getX(), triangle.getBottom());
    else
        p.addTriangle (triangle.getX(), triangle.getY(), triangle.getRight(), triangle.getY(), triangle.getCentreX(), triangle.getBottom());

    g.setColour (palette.textSecondary);
    g.fillPath (p);

    auto text = rows[(size_t) item.row].cueName;

    if (item.folded)
        text << "   (" << item.groupSize << " tracks)";

    g.setFont (juce::Font (14.0f, juce::Font::bold));
    g.setColour (palette.textPrimary);
    g.drawText (text, r.withTrimmedLeft (std::min (22, r.getWidth())), juce::Justification::centredLeft, true);
}

void GatedTrackList::paintRow (juce::Graphics& g, int index, juce::Rectangle<int> r)
{
    const auto palette = currentPalette();
    const auto& row = rows[(size_t) index];

    if (index % 2 == 1)
    {
        g.setColour (palette.raisedBackground.withAlpha (0.32f));
        g.fillRect (r);
    }

    // Play: a square while this row plays, else a triangle.
    // The glyphs sit in the square faces, so a tall row does not stretch them.
    const auto playBox = getPlayButtonBounds (index);
    const auto playFace = drawRowButton (g, playBox);
    const auto playing = isPlaying != nullptr && isPlaying (row);
    const auto playGlyph = playFace.reduced (std::max (0.0f, 0.26f * (float) std::min (playBox.getWidth(), playBox.getHeight()) - 1.5f));

    if (playing)
    {
        g.setColour (palette.accent);
        g.fillRect (playGlyph);
    }
    else
    {
        g.setColour (palette.textPrimary);
        g.fillPath (rightTriangle (playGlyph));
    }

    // Next stretch: a triangle and a bar.
    const auto jumpBox = getJumpButtonBounds (index);
    const auto jumpFace = drawRowButton (g, jumpBox);
    const auto jumpGlyph = jumpFace.reduced (std::max (0.0f, 0.28f * (float) std::min (jumpBox.getWidth(), jumpBox.getHeight()) - 1.5f));
    g.setColour (row.regionCount > 0 ? palette.textPrimary : palette.textDisabled);
    g.fillPath (rightTriangle (jumpGlyph.withWidth (jumpGlyph.getWidth() * 0.78f)));
    g.fillRect (jumpGlyph.withTrimmedLeft (jumpGlyph.getWidth() * 0.82f));

    // Name and the figure beside it.
    const auto nameWidth = std::max (0, labelWidth - 164);
    g.setFont (fontPlain13_5());
    g.setColour (row.regionCount > 0 ? palette.textPrimary : palette.textSecondary);
    g.drawText (row.fileName, juce::Rectangle<int> (r.getX() + 64, r.getY(), nameWidth, r.getHeight()), juce::Justification::centredLeft, false);
    g.setFont (fontPlain12().withHeight (11.0f));
    g.setColour (palette.textSecondary);
    g.drawText (describeRow (row), juce::Rectangle<int> (r.getX() + 64 + nameWidth, r.getY(), 100, r.getHeight()), juce::Justification::centredRight,
                true);

    // The waveform: the source file itself where a detail covers the window, else the cleaned overview.
    const auto box = getWaveformBounds (index);

    if (box.isEmpty())
        return;

    g.setColour (opaqueBlack());
    g.fillRect (box);

    const auto& detail = details.size() > (size_t) index ? details[(size_t) index] : Detail();

    if (detailCovers (detail, zoom))
        drawWaveform (g, box.toFloat(), detail.overview, palette.stem, true, detail.start, detail.end, zoom.start, zoom.end);
    else
        drawWaveform (g, box.toFloat(), row.overview, palette.stem, true, 0.0, 1.0, zoom.start, zoom.end);

    juce::Graphics::ScopedSaveState state (g);
    g.reduceClipRegion (box);
    const auto top = (float) box.getY();
    const auto height = (float) box.getHeight();

    auto fillPart = [&] (double from, double to)
    {
        const auto x1 = xForFraction (box, from);
        const auto x2 = xForFraction (box, to);

        if (x2 - x1 < 1.0f)
            return;

        g.setColour (fadeColour.withAlpha (0.42f));
        g.fillRect (juce::Rectangle<float> (x1, top, x2 - x1, height));
        g.setColour (fadeColour.withAlpha (0.95f));
        g.fillRect (juce::Rectangle<float> (x1, top, 1.0f, height));
        g.fillRect (juce::Rectangle<float> (x2 - 1.0f, top, 1.0f, height));
    };

    for (const auto& region : row.regions)
    {
        if (region.end < zoom.start || region.start > zoom.end)
            continue;

        const auto x1 = xForFraction (box, region.start);
        const auto x2 = xForFraction (box, region.end);
        g.setColour (shadeColour.withAlpha (0.16f));
        g.fillRect (juce::Rectangle<float> (x1, top, std::max (0.0f, x2 - x1), height));

        if (region.fullyGatedStart > region.start)
            fillPart (region.start, region.fullyGatedStart);

        if (region.fullyGatedEnd < region.end)
            fillPart (region.fullyGatedEnd, region.end);
    }

    const auto playhead = getPlayheadFraction != nullptr ? getPlayheadFraction (row) : -1.0;

    if (playhead >= 0.0 && zoom.start <= playhead && playhead <= zoom.end)
    {
        g.setColour (palette.playhead);
        g.fillRect (juce::Rectangle<float> (xForFraction (box, playhead) - 1.0f, top, 2.0f, height));
    }
}

} // namespace dunmoor::ui
