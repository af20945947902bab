#pragma once

#include <cxxabi.h>
#include <cstdlib>
#include <memory>
#include <vector>

#include <juce_gui_basics/juce_gui_basics.h>

#include "ui/look/AppLookAndFeel.h"
#include "ui/look/PaintedText.h"
#include "ui/look/ShortenedText.h"

namespace dunmoor::testing
{

/**
    Walks a component tree as it shows and lists what does not fit: a visible label, button, tick
    box, combo box text, table header, text field (its text and its hint) or text a component
    paints itself (PaintsTexts) that is wider than its room (unless it is a deliberate
    shortening, which ends or breaks off with "…" and shows its whole text in a tooltip; a choice
    keeps its closing count in brackets), a table column pushed past the table's edge, a control
    with no room at all, a child lying outside its parent and siblings that overlap where both
    show something. The text measures follow the framework's own fitted-text drawing, which
    squeezes a line that is wider than its room (down to a label's own smallest scale), wraps
    it when that is not enough and it has the lines, else cuts it: a squeezed line does not fit
    either.
*/
class FitCheck
{
public:
    /** One problem: where, and what. */
    struct Finding
    {
        juce::String where;
        juce::String what;
    };

    /** Everything that does not fit in the visible tree below (and including) the root. */
    static std::vector<Finding> check (juce::Component& root)
    {
        FitCheck fit;
        fit.visit (root, describe (root));
        return fit.findings;
    }

    /** The findings one to a line. */
    static juce::String toText (const std::vector<Finding>& findings)
    {
        juce::StringArray lines;

        for (const auto& f : findings)
            lines.add (f.where + ": " + f.what);

        return lines.joinIntoString ("\n");
    }

private:
    static constexpr float tolerance = 0.5f;
    static constexpr juce::juce_wchar ellipsis = ui::shorteningMark;

    std::vector<Finding> findings;

    void add (const juce::String& where, const juce::String& what) { findings.push_back ({ where, what }); }

    //==============================================================================
    static juce::String typeName (const juce::Component& c)
    {
        int status = 0;
        std::unique_ptr<char, void (*) (void*)> demangled (abi::__cxa_demangle (typeid (c).name(), nullptr, nullptr, &status), std::free);
        juce::String name (status == 0 && demangled != nullptr ? demangled.get() : typeid (c).name());
        return name.fromLastOccurrenceOf ("::", false, false);
    }

    static juce::String describe (juce::Component& c)
    {
        juce::String text;

        if (auto* label = dynamic_cast<juce::Label*> (&c))
            text = label->getText();
        else if (auto* button = dynamic_cast<juce::Button*> (&c))
            text = button->getButtonText();

        auto name = c.getTitle().isNotEmpty() ? c.getTitle() : c.getName();
        if (name.isEmpty())
            name = text;

        return typeName (c) + (name.isNotEmpty() ? " \"" + name.substring (0, 60) + "\"" : juce::String());
    }

    static juce::String tooltipOf (juce::Component& c)
    {
        if (auto* client = dynamic_cast<juce::TooltipClient*> (&c))
            if (auto tip = client->getTooltip(); tip.isNotEmpty())
                return tip;

        // A combo box shows its text in a label of its own; the tip is the box's.
        if (auto* box = dynamic_cast<juce::ComboBox*> (c.getParentComponent()))
            return box->getTooltip();

        return {};
    }

    /** Lines a word wrap into the width needs; 1000 when a single word is wider. */
    static int wrappedLines (const juce::Font& font, const juce::String& text, float width)
    {
        if (ui::hasWordWiderThan (font, text, width + tolerance))
            return 1000;

        return ui::countWrappedLines (font, text, width + tolerance);
    }

    /** Checks one text in its room: maxLines lines of the room's height may wrap it. A line too
        wide for its room is drawn squeezed down to the smallest scale (fitted-text drawing) and
        only past that wrapped or cut; a text that is never squeezed has a smallest scale of 1. */
    void checkText (juce::Component& c,
                    const juce::String& where,
                    const juce::String& text,
                    const juce::Font& font,
                    juce::Rectangle<int> room,
                    int maxLines,
                    bool shorteningAllowed,
                    float smallestScale = juce::Font::getDefaultMinimumHorizontalScaleFactor())
    {
        if (text.trim().isEmpty())
            return;

        if (room.getWidth() <= 0 || room.getHeight() <= 0)
        {
            add (where, "no room for \"" + text + "\"");
            return;
        }

        if (room.getHeight() + 1 < (int) std::floor (font.getHeight()))
            add (where, "\"" + text + "\" is " + juce::String (font.getHeight(), 1) + " px high in " + juce::String (room.getHeight()) + " px");

        const auto width = (float) room.getWidth();
        const auto oneLine = ! text.containsAnyOf ("\r\n");
        const auto needed = oneLine ? ui::measureLineWidth (font, text) : 0.0f;

        if (oneLine && needed <= width + tolerance)
        {
            checkShortening (c, where, text, shorteningAllowed);
            return;
        }

        // The framework wraps a text only when squeezing it to the smallest scale would not do,
        // and only into the lines its room has.
        const auto squeezes = oneLine && needed * smallestScale < width;
        if (maxLines > 1 && ! squeezes && wrappedLines (font, text, width) <= maxLines)
            return;

        add (where, "\"" + text + "\" needs " + juce::String (juce::roundToInt (needed)) + " px, has " + juce::String (room.getWidth())
                        + (! oneLine ? juce::String() : squeezes ? ", drawn squeezed" : ", cut off"));
    }

    void checkShortening (juce::Component& c, const juce::String& where, const juce::String& text, bool allowed)
    {
        if (! text.containsChar (ellipsis))
            return;

        if (! allowed)
        {
            add (where, "\"" + text + "\" is shortened; a caption gets its room");
            return;
        }

        const auto tip = tooltipOf (c);
        if (tip.length() <= text.length() - 1 || tip == text)
            add (where, "\"" + text + "\" is shortened without its whole text in a tooltip");
    }

    //==============================================================================
    void checkLabel (juce::Label& label, const juce::String& where)
    {
        if (label.isBeingEdited())
            return;

        const auto font = label.getLookAndFeel().getLabelFont (label);
        const auto room = label.getLookAndFeel().getLabelBorderSize (label).subtractedFrom (label.getLocalBounds());
        const auto lines = juce::jmax (1, (int) ((float) room.getHeight() / font.getHeight()));

        // A combo box's text keeps its whole text and draws what fits of it.
        if (auto* comboText = dynamic_cast<ui::ComboBoxText*> (&label))
        {
            const auto shown = comboText->getShownText();
            checkText (label, where, shown, font, room, 1, true, 1.0f);

            // A choice such as "2M14 The Long Way Round  (10 stems)" is told apart by its count.
            const auto whole = label.getText();
            const auto open = whole.lastIndexOfChar ('(');
            if (shown != whole && whole.endsWithChar (')') && open > 0 && juce::CharacterFunctions::isDigit (whole[open + 1])
                && ! shown.endsWith (whole.substring (open)))
                add (where, "\"" + shown + "\" loses the count of \"" + whole + "\"");
        }
        else
        {
            // A label squeezes its text down to its own smallest scale; none set means the
            // framework's default.
            const auto scale = label.getMinimumHorizontalScale();
            checkText (label, where, label.getText(), font, room, lines, true,
                       scale > 0.0f ? scale : juce::Font::getDefaultMinimumHorizontalScaleFactor());
        }
    }

    void checkTextButton (juce::TextButton& button, const juce::String& where)
    {
        // The framework's text button: indents from the height, centred, up to two lines, which
        // a 30 px button has no height for.
        const auto font = button.getLookAndFeel().getTextButtonFont (button, button.getHeight());
        const auto yIndent = juce::jmin (4, button.proportionOfHeight (0.3f));
        const auto cornerSize = juce::jmin (button.getHeight(), button.getWidth()) / 2;
        const auto fontHeight = juce::roundToInt (font.getHeight() * 0.6f);
        const auto left = juce::jmin (fontHeight, 2 + cornerSize / (button.isConnectedOnLeft() ? 4 : 2));
        const auto right = juce::jmin (fontHeight, 2 + cornerSize / (button.isConnectedOnRight() ? 4 : 2));
        const juce::Rectangle<int> room (left, yIndent, button.getWidth() - left - right, button.getHeight() - 2 * yIndent);
        const auto lines = juce::jmin (2, juce::jmax (1, (int) ((float) room.getHeight() / font.getHeight())));
        checkText (button, where, button.getButtonText(), font, room, lines, false);
    }

    void checkToggleButton (juce::ToggleButton& button, const juce::String& where)
    {
        // The framework's tick box: the text after the box, in a font that follows the height.
        const auto fontSize = juce::jmin (15.0f, (float) button.getHeight() * 0.75f);
        const auto tickWidth = fontSize * 1.1f;
        const juce::Font font (fontSize);
        const auto room = button.getLocalBounds().withTrimmedLeft (juce::roundToInt (tickWidth) + 10).withTrimmedRight (2);
        const auto lines = juce::jmax (1, (int) ((float) room.getHeight() / font.getHeight()));
        checkText (button, where, button.getButtonText(), font, room, lines, false);
    }

    void checkTextEditor (juce::TextEditor& editor, const juce::String& where)
    {
        // The framework draws the hint from the left indent to the right edge of the editor's
        // view (the editor less its border), and the text inside that view after the indents,
        // keeping 2 px for the caret. A single-line field never wraps.
        const auto font = editor.getFont();
        const auto view = editor.getBorder().subtractedFrom (editor.getLocalBounds());
        const juce::Rectangle<int> hintRoom (editor.getLeftIndent(), editor.getTopIndent(), view.getWidth() - editor.getLeftIndent(),
                                             editor.getHeight() - editor.getTopIndent());
        checkText (editor, where + " hint", editor.getTextToShowWhenEmpty(), font, hintRoom, 1, false, 1.0f);

        if (! editor.isMultiLine() && editor.getPasswordCharacter() == 0)
        {
            const auto textRoom = view.withTrimmedLeft (editor.getLeftIndent()).withTrimmedTop (editor.getTopIndent()).withTrimmedRight (2);
            checkText (editor, where, editor.getText(), font, textRoom, 1, false, 1.0f);
        }
    }

    void checkPaintedTexts (juce::Component& c, const ui::PaintsTexts& painter, const juce::String& where)
    {
        for (const auto& painted : painter.getPaintedTexts())
        {
            // What lies outside the component is cut off by its edges, unless the edges are those
            // of a view the text scrolls under.
            const auto area = painted.area.toNearestIntEdges();
            const auto room = painted.scrollsSideways ? area : area.getIntersection (c.getLocalBounds());
            checkText (c, where + " text \"" + painted.text.substring (0, 60) + "\"", painted.text, painted.font, room, 1, painted.mayBeShortened, 1.0f);
        }
    }

    void checkTableHeader (juce::TableHeaderComponent& header, const juce::String& where)
    {
        // The visible width of the table: a column beyond it is lost, as the tables never scroll
        // sideways.
        auto visibleWidth = header.getWidth();
        if (auto* table = dynamic_cast<juce::TableListBox*> (header.getParentComponent()))
            visibleWidth = table->getVisibleRowWidth();

        const auto font = juce::Font (14.0f, juce::Font::bold);

        for (int i = 0; i < header.getNumColumns (true); ++i)
        {
            const auto id = header.getColumnIdOfIndex (i, true);
            const auto name = header.getColumnName (id);
            const auto position = header.getColumnPosition (i);
            const auto columnWhere = where + " column \"" + name + "\"";

            if (position.getRight() > visibleWidth + 1)
            {
                add (columnWhere, position.getX() >= visibleWidth ? juce::String ("lies past the table's edge")
                                                                  : "is cut by the table's edge (" + juce::String (visibleWidth - position.getX()) + " of " + juce::String (position.getWidth()) + " px show)");
                continue;
            }

            if (name == "!")
                continue;

            auto content = juce::Rectangle<int> (8, 0, position.getWidth() > 16 ? position.getWidth() - 16 : 0, header.getHeight());
            if (header.getSortColumnId() == id)
                content.removeFromRight (juce::jmin (header.getHeight() / 2, content.getWidth()));

            checkText (header, columnWhere, name, font, content, 1, false);
        }
    }

    //==============================================================================
    static bool isControl (juce::Component& c)
    {
        return dynamic_cast<juce::Button*> (&c) != nullptr || dynamic_cast<juce::ComboBox*> (&c) != nullptr
               || dynamic_cast<juce::Slider*> (&c) != nullptr || dynamic_cast<juce::TextEditor*> (&c) != nullptr;
    }

    /** A viewport's viewed component is meant to be larger than the viewport and moves inside it;
        a list keeps its row components inside a view of its own size and moves them as it
        scrolls. */
    static bool isScrolledContent (juce::Component& parent, juce::Component& child)
    {
        if (auto* viewport = dynamic_cast<juce::Viewport*> (parent.getParentComponent()))
            return viewport->getViewedComponent() == &child;

        if (auto* holder = parent.getParentComponent())
            if (auto* viewport = dynamic_cast<juce::Viewport*> (holder->getParentComponent()))
                return viewport->getViewedComponent() == &parent && dynamic_cast<juce::ListBox*> (viewport->getParentComponent()) != nullptr;

        return false;
    }

    /** Whether the component shows nothing in that part of its parent: a drag grip laid over a
        heading draws nothing, and a control laid on the empty part of a panel (the room a player
        leaves for its host's buttons, a panel's plain heading) hides no text, mark or edge of
        it. Anything drawn there that differs from its neighbour by more than a gentle gradient
        does is something the sibling on top would hide. */
    static bool showsNothingIn (juce::Component& c, juce::Rectangle<int> areaInParent)
    {
        const auto area = (areaInParent - c.getPosition()).getIntersection (c.getLocalBounds());
        const auto image = c.createComponentSnapshot (area, true, 1.0f);

        const auto differs = [] (juce::Colour a, juce::Colour b)
        {
            constexpr int step = 12;
            return std::abs ((int) a.getRed() - (int) b.getRed()) > step || std::abs ((int) a.getGreen() - (int) b.getGreen()) > step
                   || std::abs ((int) a.getBlue() - (int) b.getBlue()) > step || std::abs ((int) a.getAlpha() - (int) b.getAlpha()) > step;
        };

        for (int y = 0; y < image.getHeight(); ++y)
        {
            for (int x = 0; x < image.getWidth(); ++x)
            {
                const auto pixel = image.getPixelAt (x, y);

                if ((x + 1 < image.getWidth() && differs (pixel, image.getPixelAt (x + 1, y)))
                    || (y + 1 < image.getHeight() && differs (pixel, image.getPixelAt (x, y + 1))))
                    return false;
            }
        }

        return true;
    }

    void visit (juce::Component& c, const juce::String& where)
    {
        if (c.getWidth() <= 0 || c.getHeight() <= 0)
        {
            if (isControl (c))
                add (where, "has no room (" + juce::String (c.getWidth()) + " x " + juce::String (c.getHeight()) + ")");
            return;
        }

        // A component that paints its own texts says what it paints; the framework's own
        // drawing of a button or label it derives from is not used.
        if (auto* painter = dynamic_cast<ui::PaintsTexts*> (&c))
            checkPaintedTexts (c, *painter, where);
        else if (auto* label = dynamic_cast<juce::Label*> (&c))
            checkLabel (*label, where);
        else if (auto* toggle = dynamic_cast<juce::ToggleButton*> (&c))
            checkToggleButton (*toggle, where);
        else if (auto* button = dynamic_cast<juce::TextButton*> (&c))
            checkTextButton (*button, where);
        else if (auto* header = dynamic_cast<juce::TableHeaderComponent*> (&c))
            checkTableHeader (*header, where);
        else if (auto* editor = dynamic_cast<juce::TextEditor*> (&c))
            checkTextEditor (*editor, where);

        std::vector<juce::Component*> shown;
        for (auto* child : c.getChildren())
            if (child->isVisible())
                shown.push_back (child);

        const auto bounds = c.getLocalBounds();

        for (size_t i = 0; i < shown.size(); ++i)
        {
            auto& child = *shown[i];
            const auto childWhere = where + " > " + describe (child);
            const auto childBounds = child.getBounds();

            if (! childBounds.isEmpty() && ! bounds.contains (childBounds) && ! isScrolledContent (c, child)
                && dynamic_cast<juce::TableHeaderComponent*> (&child) == nullptr)
                add (childWhere, "lies outside its parent (" + childBounds.toString() + " in " + bounds.toString() + ")");

            for (size_t j = i + 1; j < shown.size(); ++j)
            {
                const auto overlap = childBounds.getIntersection (shown[j]->getBounds());
                if (! overlap.isEmpty() && ! showsNothingIn (child, overlap) && ! showsNothingIn (*shown[j], overlap))
                    add (childWhere, "overlaps " + describe (*shown[j]) + " (" + overlap.toString() + ")");
            }

            visit (child, childWhere);
        }
    }
};

} // namespace dunmoor::testing
