#pragma once

#include <functional>

#include "PresetPageContext.h"

namespace dunmoor::ui
{

/**
    Adding stems to the working preset, for the stem list: from the "Add stem" menu (a built-in
    or one of the user's templates), as a run of plain stems from the "Add N stems" menu or its
    prompt, and keeping the user's templates (a new one from its dialog, forgetting one). Every
    add refuses once the schema holds maxStems.

    The owner is the component the menus and dialogs belong to; their answers arrive only while
    it exists.
*/
class StemAdder
{
public:
    StemAdder (PresetPageContext& context, juce::Component& owner);

    /** The "Add stem" menu, shown at the button. */
    void showTemplateMenu (juce::Component& button);

    /** The "Add N stems" menu, shown at the button. */
    void showCountMenu (juce::Component& button);

    void addStemFromTemplate (int catalogueIndex);
    void addFromUserTemplate (int index);
    void askForStemCount();
    void addPlainStems (int count);
    void showTemplateEditor();
    void confirmForgetTemplate (int index);

    /** Says so and returns true when the schema holds as many stems as it can. */
    bool refuseWhenFull (const StemSchema& schema);

    /** Asked before a stem takes a name: runs the add at once, or after the user agreed. */
    std::function<void (const juce::String& name, std::function<void()> add)> confirmName;

    /** With the edited copy of the working preset and the last stem added, which becomes current. */
    std::function<void (const Preset& edited, const juce::String& addedStemId)> onStemsAdded;

private:
    void added (const Preset& edited, const juce::String& addedStemId);
    void askAboutName (const juce::String& name, std::function<void()> add);

    PresetPageContext& context;
    Session& session;
    TemplateStore& templateStore;
    juce::Component& owner;

    JUCE_DECLARE_NON_COPYABLE (StemAdder)
};

} // namespace dunmoor::ui
