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

} // namespace dunmoor
