#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "ui/FakeAudioDevice.h"
#include "ui/app/Seams.h"

namespace dunmoor::testing
{

/** One item of a popup menu as a test reads it (submenus flattened, depth counted). */
struct MenuItemInfo
{
    int id = 0;
    juce::String text;
    bool enabled = true;
    bool ticked = false;
    bool separator = false;
    bool sectionHeader = false;
    bool hasSubMenu = false;
};

/** Every item of the menu and its submenus, in order. */
inline std::vector<MenuItemInfo> listMenuItems (const juce::PopupMenu& menu)
{
    std::vector<MenuItemInfo> items;
    juce::PopupMenu::MenuItemIterator iterator (menu, true);

    while (iterator.next())
    {
        const auto& item = iterator.getItem();
        items.push_back ({ item.itemID, item.text, item.isEnabled, item.isTicked, item.isSeparator, item.isSectionHeader, item.subMenu != nullptr });
    }

    return items;
}

/**
    Seams that show nothing: every chooser, box, question, prompt, menu and call-out is recorded,
    and the test answers it by hand (the answer runs the callback at once, on the test's
    thread). The clipboard is a string. Opening folders, files and addresses is recorded and
    answered later on the message thread with `openOutcome`, or, while `holdOpens` is set, held
    until the test answers it, as a desktop that takes its time. Audio comes from the
    FakeAudioOutput given, or there is no audio device at all.
*/
class FakeSeams : public ui::Seams
{
public:
    explicit FakeSeams (std::shared_ptr<FakeAudioOutput> audioToUse = nullptr)
        : audio (std::move (audioToUse))
    {
    }

    //==============================================================================
    struct Chooser
    {
        ui::FileChooserRequest request;
        ChooserCallback callback;
    };

    struct Box
    {
        ui::MessageBoxRequest request;
        bool question = false;
        std::function<void()> onClosed;
        std::function<void (bool)> onAnswered;
        bool answered = false;
        std::function<void (ui::Seams::Answer)> onThreeWay; // a question with three buttons
    };

    struct Prompt
    {
        ui::TextPromptRequest request;
        std::function<void (bool, const juce::StringArray&)> onAnswered;
        bool answered = false;
    };

    struct Menu
    {
        juce::PopupMenu menu;
        juce::PopupMenu::Options options;
        std::function<void (int)> onChosen;
        bool answered = false;
    };

    struct Opened
    {
        OpenKind kind = OpenKind::file;
        juce::String target;
    };

    std::vector<Chooser> choosers;
    std::vector<Box> boxes;
    std::vector<Prompt> prompts;
    std::vector<Menu> menus;
    std::vector<Opened> opened;
    std::unique_ptr<juce::Component> callOutContent;
    juce::Rectangle<int> callOutArea;
    juce::String clipboard;
    ui::OpenResult openOutcome { true, {} };
    bool holdOpens = false;
    std::vector<std::function<void (const ui::OpenResult&)>> heldOpens;

    //==============================================================================
    // Answers. Each returns false when there was nothing open to answer.

    /** Answers the newest chooser with these files (none: cancelled). */
    bool answerChooser (const juce::Array<juce::File>& chosen)
    {
        if (choosers.empty() || choosers.back().callback == nullptr)
            return false;

        auto callback = std::move (choosers.back().callback);
        choosers.back().callback = nullptr;
        callback (chosen);
        return true;
    }

    /** Closes the oldest open message box, or answers the oldest open question. */
    bool closeBox (bool ok = true)
    {
        for (auto& box : boxes)
        {
            if (box.answered)
                continue;

            box.answered = true;

            if (box.onThreeWay != nullptr)
                box.onThreeWay (ok ? Answer::yes : Answer::cancel);
            else if (box.question && box.onAnswered != nullptr)
                box.onAnswered (ok);
            else if (! box.question && box.onClosed != nullptr)
                box.onClosed();

            return true;
        }

        return false;
    }

    /** Titles of the boxes the program took back, in order. */
    juce::StringArray withdrawn;

    /** Answers the oldest open three-way question; false when none is open. */
    bool answerThreeWay (Answer answer)
    {
        for (auto& box : boxes)
        {
            if (box.answered || box.onThreeWay == nullptr)
                continue;

            box.answered = true;
            box.onThreeWay (answer);
            return true;
        }

        return false;
    }

    /** The boxes and questions not answered yet. */
    int countOpenBoxes() const
    {
        return (int) std::count_if (boxes.begin(), boxes.end(), [] (const Box& b) { return ! b.answered; });
    }

    /** The newest box or question, or null. */
    const Box* lastBox() const { return boxes.empty() ? nullptr : &boxes.back(); }

    bool answerPrompt (bool ok, const juce::StringArray& texts)
    {
        for (auto& prompt : prompts)
        {
            if (prompt.answered)
                continue;

            prompt.answered = true;

            if (prompt.onAnswered != nullptr)
                prompt.onAnswered (ok, texts);

            return true;
        }

        return false;
    }

    /** Chooses an item of the newest open menu by id (0: dismissed). */
    bool chooseMenuItem (int id)
    {
        for (auto it = menus.rbegin(); it != menus.rend(); ++it)
        {
            if (it->answered)
                continue;

            it->answered = true;

            if (it->onChosen != nullptr)
                it->onChosen (id);

            return true;
        }

        return false;
    }

    /** Dismisses the newest open menu, as a click outside it would. */
    bool dismissMenu() { return chooseMenuItem (0); }

    /** Chooses the item of the newest open menu (submenus included) that reads this text, as a
        user picks it by what it says. False, choosing nothing, when no item or more than one item
        reads it. */
    [[nodiscard]] bool chooseMenuItemNamed (const juce::String& text)
    {
        return chooseMenuItemWhere ([&text] (const MenuItemInfo& item) { return item.text == text; });
    }

    /** Chooses the stem of this name in the newest open assign menu ("Strings" for the item
        "03  Strings"), not a template of the same name. */
    [[nodiscard]] bool chooseStemMenuItem (const juce::String& stemName)
    {
        return chooseMenuItemWhere ([&stemName] (const MenuItemInfo& item)
                                    {
                                        const auto index = item.text.upToFirstOccurrenceOf ("  ", false, false);
                                        return index.isNotEmpty() && index.containsOnly ("0123456789")
                                               && item.text.fromFirstOccurrenceOf ("  ", false, false) == stemName;
                                    });
    }

    /** The items of the newest menu. */
    std::vector<MenuItemInfo> lastMenuItems() const
    {
        return menus.empty() ? std::vector<MenuItemInfo>() : listMenuItems (menus.back().menu);
    }

    /** Chooses the one item of the newest open menu that fits; false when not exactly one fits. */
    bool chooseMenuItemWhere (const std::function<bool (const MenuItemInfo&)>& fits)
    {
        for (auto it = menus.rbegin(); it != menus.rend(); ++it)
        {
            if (it->answered)
                continue;

            std::vector<int> ids;

            for (const auto& item : listMenuItems (it->menu))
                if (! item.separator && ! item.sectionHeader && ! item.hasSubMenu && fits (item))
                    ids.push_back (item.id);

            return ids.size() == 1 && chooseMenuItem (ids.front());
        }

        return false;
    }

    /** Answers the oldest held open; false when none is held. */
    bool answerHeldOpen (const ui::OpenResult& result)
    {
        if (heldOpens.empty())
            return false;

        auto callback = std::move (heldOpens.front());
        heldOpens.erase (heldOpens.begin());

        if (callback != nullptr)
            callback (result);

        return true;
    }

    /** Deletes the call-out's content, as a click outside the box would. */
    void dismissCallOut() { callOutContent.reset(); }

    //==============================================================================
    void showFileChooser (const ui::FileChooserRequest& request, ChooserCallback onChosen) override
    {
        choosers.push_back ({ request, std::move (onChosen) });
    }

    void showMessageBox (const ui::MessageBoxRequest& request, std::function<void()> onClosed) override
    {
        boxes.push_back ({ request, false, std::move (onClosed), nullptr, false, nullptr });
    }

    void askOkCancel (const ui::MessageBoxRequest& request, std::function<void (bool)> onAnswered) override
    {
        boxes.push_back ({ request, true, nullptr, std::move (onAnswered), false, nullptr });
    }

    void askYesNoCancel (const ui::MessageBoxRequest& request, std::function<void (Answer)> onAnswered) override
    {
        boxes.push_back ({ request, true, nullptr, nullptr, false, std::move (onAnswered) });
    }

    void withdrawQuestion (const juce::String& title) override
    {
        // As the real one: the newest open box of that title closes as if cancelled.
        for (auto it = boxes.rbegin(); it != boxes.rend(); ++it)
        {
            if (it->answered || it->request.title != title)
                continue;

            withdrawn.add (title);
            it->answered = true;

            if (it->onThreeWay != nullptr)
                it->onThreeWay (Answer::cancel);
            else if (it->question && it->onAnswered != nullptr)
                it->onAnswered (false);
            else if (! it->question && it->onClosed != nullptr)
                it->onClosed();

            return;
        }
    }

    void askForText (const ui::TextPromptRequest& request,
                     std::function<void (bool, const juce::StringArray&)> onAnswered) override
    {
        prompts.push_back ({ request, std::move (onAnswered) });
    }

    using ui::Seams::askForText;

    void showPopupMenu (const juce::PopupMenu& menu,
                        const juce::PopupMenu::Options& options,
                        std::function<void (int)> onChosen) override
    {
        menus.push_back ({ menu, options, std::move (onChosen) });
    }

    void showCallOutBox (std::unique_ptr<juce::Component> content, juce::Rectangle<int> area, juce::Component*) override
    {
        callOutContent = std::move (content);
        callOutArea = area;
    }

    void copyTextToClipboard (const juce::String& text) override { clipboard = text; }
    juce::String getTextFromClipboard() override { return clipboard; }

    void openWithDesktop (OpenKind kind, const juce::String& target, std::function<void (const ui::OpenResult&)> onDone) override
    {
        opened.push_back ({ kind, target });

        // A failure names its target, as the desktop opener's messages do.
        auto outcome = openOutcome;
        outcome.error = outcome.error.replace ("{target}", target);

        if (holdOpens)
            heldOpens.push_back (std::move (onDone));
        else if (onDone != nullptr)
            juce::MessageManager::callAsync ([onDone, outcome] { onDone (outcome); });
    }

    std::unique_ptr<juce::AudioIODeviceType> createAudioDeviceType() override
    {
        return audio != nullptr ? audio->createType() : nullptr;
    }

    std::shared_ptr<FakeAudioOutput> audio;
};

} // namespace dunmoor::testing
