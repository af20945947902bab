#include "CueResultList.h"

#include "BatchSummary.h"
#include "ui/look/ShortenedText.h"
#include "ui/look/Theme.h"

namespace dunmoor::ui
{

namespace
{
    using namespace CueListModel;

    struct ResultColumn
    {
        int x;
        int width;
        const char* caption;
    };

    constexpr ResultColumn resultColumns[] { { CueListModel::resultsX, 80, "Duration" }, { 472, 90, "Peak" }, { 562, 90, "Gain" },
                                             { 652, 120, "Assigned stems" }, { 772, 110, "Empty stems" } };

    /** A column's box cut to the list's width: never past it, never below 0 wide. */
    juce::Rectangle<int> cutToWidth (int x, int y, int width, int height, int listWidth)
    {
        const auto left = std::min (x, std::max (0, listWidth));
        return { left, y, std::max (0, std::min (width, listWidth - left)), height };
    }

    juce::Rectangle<int> inset (juce::Rectangle<int> r)
    {
        return r.withTrimmedLeft (std::min (8, r.getWidth())).withTrimmedRight (std::min (8, std::max (0, r.getWidth() - 8)));
    }
} // namespace

CueResultList::CueResultList()
{
    setTitle ("Cues");
    setDescription ("One row per cue: tick, name, leading silence and levels.");
    setVisible (false);

    addChildComponent (editor);
    editor.setTitle ("Cue value");
    editor.addKeyListener (this);
    editor.onReturnKey = [this] { commitEdit (true); };
    editor.onEscapeKey = [this] { commitEdit (false); };
    editor.onFocusLost = [this] { commitEdit (true); };
}

CueResultList::~CueResultList()
{
    editor.removeKeyListener (this);
}

void CueResultList::setRows (std::vector<Row> newRows)
{
    commitEdit (false);
    rows = std::move (newRows);
    setVisible (! rows.empty());
    hoverNameRow = -1;
    hoverCutRow = -1;
    message.clear();
    repaint();
}

void CueResultList::syncWithCues (const std::vector<Cue>& cues, const CueRows::Problems& problems)
{
    const auto before = rows.size();
    const auto editedKey = editingRow >= 0 && editingRow < (int) rows.size() ? rows[(size_t) editingRow].key : juce::String();
    rows = CueRows::followCues (rows, cues, problems);

    const auto edited = std::find_if (rows.begin(), rows.end(), [&editedKey] (const Row& row) { return row.key == editedKey; });

    // An open edit follows its cue, keeping what was typed; a cue that is gone takes it along.
    if (editingRow >= 0 && edited == rows.end())
    {
        commitEdit (false);
    }
    else if (editingRow >= 0)
    {
        editingRow = (int) std::distance (rows.begin(), edited);
        editor.setBounds (CueListModel::editorBounds (editingRow, editKind, getWidth()));
    }

    setVisible (! rows.empty());
    repaint();

    if (rows.size() != before && onHeightChanged != nullptr)
        onHeightChanged();
}

//==============================================================================
juce::PopupMenu CueResultList::buildTrimMenu (int row) const
{
    juce::PopupMenu menu;

    if (row < 0 || row >= (int) rows.size())
        return menu;

    menu.setLookAndFeel (&getLookAndFeel());
    const auto& r = rows[(size_t) row];

    for (const auto& item : CueListModel::buildTrimMenu (r.silenceFoundSeconds, r.trimSeconds, (int) rows.size()))
    {
        if (item.isHeader)
            menu.addSectionHeader (item.text);
        else if (item.isSeparator)
            menu.addSeparator();
        else
            menu.addItem (item.id, item.text, true, item.ticked);
    }

    return menu;
}

void CueResultList::showTrimMenu (int row)
{
    commitEdit (true);

    if (row < 0 || row >= (int) rows.size())
        return;

    const auto found = rows[(size_t) row].silenceFoundSeconds;
    const auto field = CueListModel::cutField (row, getWidth());
    const auto target = localAreaToGlobal (juce::Rectangle<int> (CueListModel::cutFieldX, field.getY(), field.getWidth(), CueListModel::rowHeight));
    const auto options = popupMenuOptionsFor (this).withTargetScreenArea (target);

    juce::Component::SafePointer<CueResultList> safe (this);
    auto done = [safe, row, found] (int result)
    {
        if (safe != nullptr)
            safe->applyTrimChoice (row, found, result);
    };

    if (showMenu != nullptr)
        showMenu (buildTrimMenu (row), options, std::move (done));
    else
        buildTrimMenu (row).showMenuAsync (options, std::move (done));
}

void CueResultList::applyTrimChoice (int row, double found, int result)
{
    if (result == 0 || row < 0 || row >= (int) rows.size())
        return;

    if (result == CueListModel::typeAmount)
    {
        beginEdit (row, EditKind::cut);
        return;
    }

    for (const auto& change : CueListModel::changesForTrimChoice (rows, row, found, result))
        setTrim (change.row, change.seconds);
}

void CueResultList::setTrim (int row, double seconds)
{
    if (row < 0 || row >= (int) rows.size() || rows[(size_t) row].trimSeconds == seconds)
        return;

    rows[(size_t) row].trimSeconds = seconds;
    message.clear();
    repaint();

    if (onTrimChanged != nullptr)
        onTrimChanged (rows[(size_t) row].key, seconds);
}

//==============================================================================
void CueResultList::beginEdit (int row, EditKind kind)
{
    commitEdit (true);

    if (row < 0 || row >= (int) rows.size())
        return;

    placeEditor (row, kind);
    editor.setVisible (true);
    editor.toFront (false);
    editor.grabKeyboardFocus();
    editor.selectAll();
}

void CueResultList::placeEditor (int row, EditKind kind)
{
    editingRow = row;
    editKind = kind;
    message.clear();
    editor.setBounds (CueListModel::editorBounds (row, kind, getWidth()));

    const auto& r = rows[(size_t) row];
    editor.setText (kind == EditKind::name ? r.name : CueListModel::formatCutForEditing (r.trimSeconds), false);
    editor.selectAll();
    repaint();
}

bool CueResultList::commitEdit (bool apply)
{
    if (! editor.isVisible())
        return true;

    const auto text = editor.getText().trim();
    const auto row = editingRow;
    editingRow = -1;
    editor.setVisible (false);

    return apply ? validateEdit (row, text) : true;
}

bool CueResultList::validateEdit (int row, const juce::String& text)
{
    if (row < 0 || row >= (int) rows.size())
        return true;

    auto& r = rows[(size_t) row];

    if (editKind == EditKind::cut)
    {
        const auto reading = CueListModel::readCut (text);

        if (! reading.accepted)
        {
            message = CueListModel::cutRefusal;
            repaint();
            return false;
        }

        r.trimSeconds = reading.seconds;
        message.clear();
        repaint();

        if (onTrimChanged != nullptr)
            onTrimChanged (r.key, reading.seconds);

        return true;
    }

    if (text == r.name || onRename == nullptr)
        return true;

    const auto key = r.key;

    if (! onRename (key, text))
    {
        message = CueListModel::nameRefusal;
        repaint();
        return false;
    }

    // The callback may have re-read the rows from the session; find the cue again by its key.
    for (auto& each : rows)
        if (each.key == key)
            each.name = text;

    message.clear();
    repaint();
    return true;
}

bool CueResultList::handleEditorKey (const juce::KeyPress& key)
{
    if (key.getKeyCode() != juce::KeyPress::tabKey || ! isEditing())
        return false;

    const auto target = editingRow + (key.getModifiers().isShiftDown() ? -1 : 1);

    if (target < 0 || target >= (int) rows.size())
        return false;

    if (! validateEdit (editingRow, editor.getText().trim()))
    {
        editor.selectAll();
        return true;
    }

    placeEditor (target, editKind);
    return true;
}

bool CueResultList::keyPressed (const juce::KeyPress& key, juce::Component* originatingComponent)
{
    return originatingComponent == &editor && handleEditorKey (key);
}

//==============================================================================
void CueResultList::resized()
{
    if (isEditing())
        editor.setBounds (CueListModel::editorBounds (editingRow, editKind, getWidth()));
}

void CueResultList::mouseMove (const juce::MouseEvent& e)
{
    const auto hit = CueListModel::hitTest (e.getPosition(), (int) rows.size(), getWidth());
    const auto nameRow = hit.zone == CueListModel::Hit::name ? hit.row : -1;
    const auto cutRow = hit.zone == CueListModel::Hit::cut ? hit.row : -1;

    if (nameRow != hoverNameRow || cutRow != hoverCutRow)
    {
        hoverNameRow = nameRow;
        hoverCutRow = cutRow;
        repaint();
    }

    setMouseCursor (hit.zone != CueListModel::Hit::none ? juce::MouseCursor::PointingHandCursor : juce::MouseCursor::NormalCursor);
}

void CueResultList::mouseExit (const juce::MouseEvent&)
{
    setMouseCursor (juce::MouseCursor::NormalCursor);

    if (hoverNameRow >= 0 || hoverCutRow >= 0)
    {
        hoverNameRow = -1;
        hoverCutRow = -1;
        repaint();
    }
}

void CueResultList::mouseDown (const juce::MouseEvent& e)
{
    const auto hit = CueListModel::hitTest (e.getPosition(), (int) rows.size(), getWidth());

    if (hit.zone == CueListModel::Hit::tick)
    {
        commitEdit (true);

        if (hit.row >= (int) rows.size())
            return;

        auto& row = rows[(size_t) hit.row];
        row.included = ! row.included;
        repaint();

        if (onIncludedChanged != nullptr)
            onIncludedChanged (row.key, row.included);

        return;
    }

    if (hit.zone == CueListModel::Hit::cut)
    {
        showTrimMenu (hit.row);
        return;
    }

    commitEdit (true);
}

void CueResultList::mouseDoubleClick (const juce::MouseEvent& e)
{
    const auto hit = CueListModel::hitTest (e.getPosition(), (int) rows.size(), getWidth());

    if (hit.zone == CueListModel::Hit::tick || hit.zone == CueListModel::Hit::cut)
        return;

    beginEdit (hit.zone == CueListModel::Hit::name ? hit.row : -1, EditKind::name);
}

juce::String CueResultList::getTooltip()
{
    return getTooltipAt (getMouseXYRelative());
}

juce::String CueResultList::getTooltipAt (juce::Point<int> point) const
{
    const auto row = CueListModel::rowAt (point, (int) rows.size(), getWidth());

    if (row >= 0 && CueListModel::problemArea (row, getWidth()).contains (point))
    {
        const auto& problem = rows[(size_t) row].planProblem;

        if (! rows[(size_t) row].hasResult && problem.isNotEmpty() && getShownProblem (row) != problem)
            return problem;
    }

    return CueListModel::getTooltipText();
}

juce::String CueResultList::getShownProblem (int row) const
{
    if (row < 0 || row >= (int) rows.size())
        return {};

    return shortenToFit (rows[(size_t) row].planProblem, fontPlain14_5(), (float) CueListModel::problemArea (row, getWidth()).getWidth(),
                         Shortening::atEnd);
}

//==============================================================================
void CueResultList::paint (juce::Graphics& g)
{
    const auto palette = currentPalette();
    const auto width = getWidth();

    g.setFont (fontPlain12_5());
    g.setColour (message.isNotEmpty() ? palette.bad : palette.textSecondary);
    g.drawText (message.isNotEmpty() ? message : CueListModel::getHintText(), 0, 0, width, std::min (CueListModel::hintHeight, getHeight()),
                juce::Justification::centredLeft, true);

    paintHeader (g);

    const auto clip = g.getClipBounds();

    for (int r = 0; r < (int) rows.size(); ++r)
        if (clip.intersects (juce::Rectangle<int> (0, CueListModel::rowTop (r), width, CueListModel::rowHeight)))
            paintRow (g, r);
}

void CueResultList::paintHeader (juce::Graphics& g)
{
    const auto palette = currentPalette();
    const auto width = getWidth();
    const juce::Rectangle<int> band (0, CueListModel::headerTop, width, CueListModel::headerHeight);

    g.setGradientFill (subtleGradient (palette.raisedBackground, band.toFloat()));
    g.fillRect (band);

    g.setFont (fontBold14());
    g.setColour (palette.textSecondary);
    g.drawText ("Cue", cutToWidth (CueListModel::nameX, band.getY(), CueListModel::nameWidth, band.getHeight(), width),
                juce::Justification::centredLeft, true);
    g.drawText ("Leading silence", cutToWidth (CueListModel::cutFieldX, band.getY(), CueListModel::cutFieldWidth, band.getHeight(), width),
                juce::Justification::centredLeft, true);

    // The captions may run up to the next divider: "Assigned stems" needs all but 2 px of its column.
    for (const auto& column : resultColumns)
    {
        auto box = cutToWidth (column.x, band.getY(), column.width, band.getHeight(), width);
        box = box.withTrimmedLeft (std::min (8, box.getWidth())).withTrimmedRight (std::min (2, box.getWidth()));
        g.drawText (column.caption, box, juce::Justification::centredLeft, true);
    }

    for (auto x : { 248, 392, 472, 562, 652, 772 })
        if (x < width)
            drawDividerLine (g, x, CueListModel::headerTop, 27);

    g.setColour (getLookAndFeel().findColour (juce::TableHeaderComponent::outlineColourId));
    g.fillRect (0, 55, width, 1);
}

void CueResultList::paintRow (juce::Graphics& g, int index)
{
    const auto palette = currentPalette();
    const auto width = getWidth();
    const auto& row = rows[(size_t) index];
    const auto y = CueListModel::rowTop (index);
    const auto fade = row.included ? 1.0f : 0.4f;

    if (index % 2 == 1)
    {
        g.setColour (palette.raisedBackground.withAlpha (0.35f));
        g.fillRect (0, y, width, CueListModel::rowHeight);
    }

    // Tick: the tick box every other choice on the page has, so a cue in the delivery looks
    // ticked (a bare accent bar read as a colour mark, not as something to untick).
    getLookAndFeel().drawTickBox (g, *this, 4.0f, (float) y + 9.0f, 16.0f, 16.0f, row.included, isEnabled(), false, false);

    const auto problem = row.showsProblem();

    if (problem && width > 22)
    {
        g.setColour (palette.bad.withAlpha (0.16f));
        g.fillRoundedRectangle (juce::Rectangle<float> (22.0f, (float) y + 1.0f, (float) (width - 22), 32.0f), 3.0f);
    }

    g.setColour ((problem ? palette.bad : palette.good).withMultipliedAlpha (fade));
    g.fillRoundedRectangle (juce::Rectangle<float> (22.0f, (float) y + 3.0f, 4.0f, 28.0f), 2.0f);

    // Name, with an underline while the pointer is over it.
    const auto nameColour = (problem ? palette.bad : palette.textPrimary).withMultipliedAlpha (fade);
    const auto nameBox = CueListModel::nameCell (index, width);
    g.setFont (fontPlain14_5());
    g.setColour (nameColour);
    g.drawText (row.name, nameBox, juce::Justification::centredLeft, true);

    if (index == hoverNameRow)
    {
        const auto textWidth = std::min (nameBox.getWidth(), measureTextWidthCeil (fontPlain14_5(), row.name));
        g.setColour ((problem ? palette.bad : palette.textPrimary).withAlpha (0.6f));
        g.fillRect (nameBox.getX(), y + 30, textWidth, 1);
    }

    // The cut field: a closed drop-down showing the cut, the silence found or nothing.
    const auto field = CueListModel::cutField (index, width);

    if (field.getWidth() > 1)
    {
        const auto cutShown = row.trimSeconds > 0.0;
        const auto hovered = index == hoverCutRow && row.included;
        const auto fill = (hovered ? selectionTint (palette.controlBackground) : palette.controlBackground).withMultipliedAlpha (fade);
        const auto outline = (cutShown ? palette.accent : palette.outline).withMultipliedAlpha (fade);
        drawDropDownField (g, { (float) field.getX() + 0.5f, (float) y + 3.5f, (float) field.getWidth() - 1.0f, 27.0f }, fill, outline,
                           palette.textSecondary.withMultipliedAlpha (fade), 1.0f);

        g.setColour ((cutShown ? palette.accent : palette.textPrimary).withMultipliedAlpha (fade));
        g.setFont (fontPlain14_5());
        g.drawText (CueListModel::describeCut (row), juce::Rectangle<int> (field.getX() + 6, y + 3, std::max (0, field.getWidth() - 34), 28),
                    juce::Justification::centredLeft, true);
    }

    // A cue without results that cannot be rendered says why where its results would be.
    if (! row.hasResult)
    {
        g.setColour (nameColour);
        g.setFont (fontPlain14_5());
        g.drawText (getShownProblem (index), CueListModel::problemArea (index, width), juce::Justification::centredLeft, false);
        return;
    }

    const juce::String texts[] { formatDuration (row.durationSeconds), BatchSummary::formatRowLevel (row, row.peakDb),
                                 BatchSummary::formatRowLevel (row, row.gainDb), juce::String (row.assignedStems),
                                 row.emptyStems > 0 ? juce::String (row.emptyStems) : juce::String() };

    g.setColour (nameColour);

    for (size_t i = 0; i < std::size (resultColumns); ++i)
        g.drawText (texts[i], inset (cutToWidth (resultColumns[i].x, y, resultColumns[i].width, CueListModel::rowHeight, width)),
                    juce::Justification::centredLeft, true);
}

} // namespace dunmoor::ui
