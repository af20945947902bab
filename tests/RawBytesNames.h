#pragma once

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include <gtest/gtest.h>

#include <juce_core/juce_core.h>

namespace dunmoor::testing
{

/**
    A String holding exactly these bytes, also where they are not valid UTF-8 (a last character
    cut short). The framework's constructors either decode and re-encode such bytes or size the
    String by decoding while copying the raw bytes, which can write past its buffer; here the
    bytes go into a buffer of the right size.
*/
inline juce::String stringOfRawBytes (const char* bytes)
{
    const auto numBytes = std::strlen (bytes);
    juce::String text;
    text.preallocateBytes (numBytes);
    std::memcpy (text.getCharPointer().getAddress(), bytes, numBytes + 1);
    return text;
}

/**
    Files and folders under names given as raw bytes (such as the Latin-1 "Voil\xe0"), made and
    removed without any String or File call. The framework's own folder walk, which
    deleteRecursively uses, must never meet such a name: declare this after the TemporaryFolder
    holding them, so that they are gone before it is removed.
*/
class RawNamedEntries
{
public:
    RawNamedEntries() = default;
    RawNamedEntries (const RawNamedEntries&) = delete;
    RawNamedEntries& operator= (const RawNamedEntries&) = delete;

    ~RawNamedEntries()
    {
        for (auto it = made.rbegin(); it != made.rend(); ++it)
        {
            std::error_code ignored;
            std::filesystem::remove_all (*it, ignored);
        }
    }

    /** A file of that name in the folder (which must exist) holding the bytes. */
    void makeFile (const juce::File& folder, const std::string& name, const juce::MemoryBlock& content = {})
    {
        const auto path = pathIn (folder, name);
        made.push_back (path);
        std::ofstream out (path, std::ios::binary);
        out.write (static_cast<const char*> (content.getData()), (std::streamsize) content.getSize());
        EXPECT_TRUE (out.good()) << path;
    }

    /** A folder of that name in the folder (which must exist). */
    void makeFolder (const juce::File& folder, const std::string& name)
    {
        const auto path = pathIn (folder, name);
        made.push_back (path);
        std::error_code error;
        EXPECT_TRUE (std::filesystem::create_directory (path, error)) << path;
    }

    /** True while everything made is still there. */
    bool allExist() const
    {
        for (const auto& path : made)
        {
            std::error_code error;

            if (! std::filesystem::exists (path, error))
                return false;
        }

        return true;
    }

private:
    static std::filesystem::path pathIn (const juce::File& folder, const std::string& name)
    {
        return std::filesystem::path (folder.getFullPathName().toStdString()) / name;
    }

    std::vector<std::filesystem::path> made;
};

} // namespace dunmoor::testing
