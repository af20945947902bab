// Any bytes as a file name, the way a drop, the chooser or a project hands one over: through
// the import's path gate and the keyword matcher. Each input must end in a track, a refusal
// or a match, never a read or write past a buffer.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/files/FolderListing.h"
#include "core/session/KeywordMatcher.h"
#include "core/session/Session.h"

namespace
{
    // A String holding exactly these bytes, also where they are not valid UTF-8, as the
    // framework hands over a decoded drop: its own constructors would repair or mis-size them.
    juce::String stringOfRawBytes (const std::string& bytes)
    {
        juce::String text;
        text.preallocateBytes (bytes.size());
        std::memcpy (text.getCharPointer().getAddress(), bytes.c_str(), bytes.size() + 1);
        return text;
    }
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    using namespace dunmoor;

    // A name ends at its first zero byte, as it does on every file system.
    const std::string name (reinterpret_cast<const char*> (data), strnlen (reinterpret_cast<const char*> (data), size));

    // The matcher on the name as it is; the gate on a path ending in it, which never exists.
    (void) analyseFileName (stringOfRawBytes (name));

    // One name, not a path: a separator would let ".." reach real folders and scan them.
    auto leaf = name;

    for (auto& c : leaf)
        c = c == '/' ? '_' : c;

    // Added, not listed in braces: a list built from values copies each by decoding it.
    juce::StringArray paths, refusals;
    paths.add (stringOfRawBytes ("/nonexistent-brackenfold-fuzz/" + leaf));
    const auto files = filesFromPathTexts (paths, refusals);

    Session session;
    const auto summary = session.importFiles (files, false);
    (void) summary.toText();

    for (const auto& file : files)
        (void) analyseFileName (file.getFileName());

    return 0;
}
