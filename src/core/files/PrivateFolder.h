#pragma once

#include <juce_core/juce_core.h>

namespace dunmoor
{

/**
    A folder only this user can reach, for files the program writes to hand to another program
    (a report for the browser, a preview to play): "<name>-<user id>" in the given parent,
    normally the system's temporary folder, which every user may write to. It is made with
    access for its owner only; an existing one is used only when it is a real folder (not a
    link) that belongs to this user, and its access is narrowed to the owner. Anything else is
    refused, since another user could have planted it to read or replace what goes in.

    The empty file with the reason in error on refusal.
*/
[[nodiscard]] juce::File getPrivateFolder (const juce::File& parent, const juce::String& name, juce::String& error);

/** getPrivateFolder in the system's temporary folder. */
[[nodiscard]] juce::File getPrivateTemporaryFolder (const juce::String& name, juce::String& error);

/**
    Makes a new, empty file in folder named base + extension, or base + " (2)" + extension and
    so on when that name is taken. The name is claimed in one step, so that two processes
    writing into one shared folder are never handed the same file. The empty file with the
    reason in error when none could be made.
*/
[[nodiscard]] juce::File createFileOfItsOwn (const juce::File& folder, const juce::String& base, const juce::String& extension, juce::String& error);

} // namespace dunmoor
