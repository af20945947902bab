#include "StemAdder.h"

#include "StemAdditions.h"
#include "StemFieldEdits.h"
#include "StemTemplateMenu.h"
#include "core/model/BuiltInPresets.h"

namespace dunmoor::ui
{

StemAdder::StemAdder (PresetPageContext& contextToUse, juce::Component& ownerToUse)
    : context (contextToUse),
      session (contextToUse.session),
      templateStore (contextToUse.appState.templateStore),
      owner (ownerToUse)
{
}

void StemAdder::added (const Preset& edited, const juce::String& addedStemId)
{
    if (onStemsAdded != nullptr)
        onStemsAdded (edited, addedStemId);
}

void StemAdder::askAboutName (const juce::String& name, std::function<void()> add)
{
    if (confirmName != nullptr)
        confirmName (name, std::move (add));
    else
        add();
}

bool StemAdder::refuseWhenFull (const StemSchema& schema)
{
    // A schema over the limit could be neither saved nor opened again in a project.
    if (StemAdditions::room (schema) > 0)
        return false;

    context.showFailure (StemAdditions::noRoomTitle, StemAdditions::noRoomMessage());
    return true;
}

void StemAdder::showTemplateMenu (juce::Component& button)
{
    const auto built = StemTemplateMenu::build (templateStore.getTemplates(), getBuiltInTemplates(),
                                                StemAdditions::room (session.getPreset().schema) > 0);

    context.seams.showPopupMenu (built.menu, popupMenuOptionsFor (&owner).withTargetComponent (&button),
                                 [safe = juce::Component::SafePointer<juce::Component> (&owner), this, built] (int result)
                                 {
                                     if (safe == nullptr)
                                         return;

                                     using Kind = StemTemplateMenu::Choice::Kind;
                                     const auto choice = built.decode (result);

                                     switch (choice.kind)
                                     {
                                         case Kind::newTemplate: showTemplateEditor(); break;
                                         case Kind::forgetUserTemplate: confirmForgetTemplate (choice.index); break;
                                         case Kind::userTemplate: addFromUserTemplate (choice.index); break;
                                         case Kind::builtInTemplate:
                                         {
                                             const auto index = choice.index;
                                             askAboutName (getBuiltInTemplates()[(size_t) index].displayName, [safe, this, index]
                                             {
                                                 if (safe != nullptr)
                                                     addStemFromTemplate (index);
                                             });
                                             break;
                                         }
                                         case Kind::nothing: break;
                                     }
                                 });
}

void StemAdder::addStemFromTemplate (int catalogueIndex)
{
    const auto& catalogue = getBuiltInTemplates();

    if (catalogueIndex < 0 || catalogueIndex >= (int) catalogue.size())
        return;

    auto copy = session.getPreset();

    if (refuseWhenFull (copy.schema))
        return;

    const auto id = StemAdditions::addFromTemplate (copy.schema, catalogue[(size_t) catalogueIndex]);
    added (copy, id);
}

void StemAdder::addFromUserTemplate (int index)
{
    const auto& templates = templateStore.getTemplates();

    if (index < 0 || index >= (int) templates.size())
        return;

    if (refuseWhenFull (session.getPreset().schema))
        return;

    const auto stemTemplate = templates[(size_t) index];

    askAboutName (stemTemplate.displayName, [this, stemTemplate]
    {
        auto copy = session.getPreset();

        if (refuseWhenFull (copy.schema))
            return;

        // The code is numbered as a built-in one is: a taken code would fail validation.
        const auto id = StemAdditions::addFromTemplate (copy.schema, stemTemplate);
        added (copy, id);
    });
}

void StemAdder::showCountMenu (juce::Component& button)
{
    const int room = StemAdditions::room (session.getPreset().schema);

    if (refuseWhenFull (session.getPreset().schema))
        return;

    context.seams.showPopupMenu (StemAdditions::buildCountMenu (room), popupMenuOptionsFor (&owner).withTargetComponent (&button),
                                 [safe = juce::Component::SafePointer<juce::Component> (&owner), this] (int result)
                                 {
                                     if (safe == nullptr || result <= 0)
                                         return;

                                     if (result == StemAdditions::askForCountId)
                                         askForStemCount();
                                     else
                                         addPlainStems (result);
                                 });
}

void StemAdder::askForStemCount()
{
    context.askForName ("Add several stems", "How many?", "24", [this] (const juce::String& text)
    {
        const int count = StemAdditions::parseCount (text);

        if (count > 0)
            addPlainStems (count);
        else
            context.showFailure ("That is not a number of stems", "Type how many to add, as a figure.");
    });
}

void StemAdder::addPlainStems (int count)
{
    if (count <= 0)
        return;

    auto copy = session.getPreset();

    if (refuseWhenFull (copy.schema))
        return;

    const auto plain = StemAdditions::addPlainStems (copy.schema, count);
    added (copy, plain.lastId);

    if (plain.added < count)
        context.showFailure ("Not all of them fitted", StemAdditions::notAllFittedMessage (plain.added, count));
}

void StemAdder::showTemplateEditor()
{
    TextPromptRequest request;
    request.title = "New stem template";
    request.message = "A name, and the words that find it. Keywords are separated by commas.";
    request.fields = { { "name", "Name", {}, maxFieldCharacters },
                       { "code", "Short code", {}, maxFieldCharacters },
                       { "keywords", "Keywords", {}, maxFieldCharacters },
                       { "excludes", "Never match", {}, maxFieldCharacters } };
    request.okText = "Save";

    context.askForTexts (request, [this] (const juce::StringArray& texts)
    {
        const auto made = makeTemplateFromForm (texts[0], texts[1], texts[2], texts[3], (int) templateStore.getTemplates().size());
        juce::String error;

        // A store whose file could not be read refuses, naming the file: nothing is added then.
        if (! templateStore.addOrReplace (made, error))
        {
            context.showFailure ("The template was not saved", error);
            return;
        }

        const auto& templates = templateStore.getTemplates();

        for (size_t i = 0; i < templates.size(); ++i)
        {
            if (templates[i].displayName == made.displayName)
            {
                addFromUserTemplate ((int) i);
                return;
            }
        }
    });
}

void StemAdder::confirmForgetTemplate (int index)
{
    const auto& templates = templateStore.getTemplates();

    if (index < 0 || index >= (int) templates.size())
        return;

    const auto name = templates[(size_t) index].displayName;

    context.ask (juce::MessageBoxIconType::QuestionIcon, "Forget this template?",
                 "'" + name + "' is removed from the Add stem menu.\n\nStems already made from it are not touched: a template is a "
                              "starting point, and once a stem exists it is its own.",
                 [this, name] (bool confirmed)
    {
        if (! confirmed)
            return;

        juce::String error;

        if (! templateStore.remove (name, error))
            context.showFailure ("The template was not forgotten", error);
    });
}

} // namespace dunmoor::ui
