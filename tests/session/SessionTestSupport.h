#pragma once

// Shared pieces of the session tests: tiny WAV files in temporary folder trees, a listener that
// records what it hears, and a small preset to match against.

#include <vector>

#include <gtest/gtest.h>

#include "audio/AudioTestFiles.h"
#include "core/model/BuiltInPresets.h"
#include "core/session/Session.h"

namespace dunmoor::testing
{

/** A valid 16-bit WAV of a few silent frames; missing parent folders are created. */
inline juce::File writeTinyWav (const juce::File& file, int sampleRate = 48000, int numChannels = 2, int frames = 16)
{
    file.getParentDirectory().createDirectory();
    const std::vector<char> silence ((size_t) (frames * numChannels * 2), 0);
    if (! writeBytes (file, makeWavBytes (1, numChannels, sampleRate, 16, silence.data(), silence.size())))
        ADD_FAILURE() << "could not write " << file.getFullPathName();

    return file;
}

/** Records every notification in order as "tracks", "assignments" or "preset". */
struct RecordingListener : Session::Listener
{
    explicit RecordingListener (Session& s)
        : session (s)
    {
        session.addListener (this);
    }
    ~RecordingListener() override { session.removeListener (this); }

    void tracksChanged() override { calls.add ("tracks"); }
    void assignmentsChanged() override { calls.add ("assignments"); }
    void presetChanged() override { calls.add ("preset"); }

    /** The calls since the last take, joined with ",". */
    juce::String take()
    {
        const auto text = calls.joinIntoString (",");
        calls.clear();
        return text;
    }

    Session& session;
    juce::StringArray calls;
};

/** Stems "Strings" (violins, strings), "Brass" (horns, trumpet) and "Percussion" (kick, snare). */
inline Preset makeOrchestraPreset()
{
    Preset preset = makeEmptyPreset();
    preset.id = "test-orchestra";
    preset.name = "Orchestra";
    preset.isBuiltIn = false;
    preset.schema.addStem (makeStem ("Strings", "STR", 0xff3366aa, false, 0, { makeKeywordRule ("violins", 0), makeKeywordRule ("strings", 0) }, {}));
    preset.schema.addStem (makeStem ("Brass", "BRS", 0xffaa6633, false, 0, { makeKeywordRule ("horns", 0), makeKeywordRule ("trumpet", 0) }, {}));
    preset.schema.addStem (makeStem ("Percussion", "PRC", 0xff66aa33, false, 0, { makeKeywordRule ("kick", 0), makeKeywordRule ("snare", 0) }, {}));
    return preset;
}

inline juce::String stemIdNamed (const Session& session, const juce::String& displayName)
{
    for (const auto& stem : session.getPreset().schema.stems)
        if (stem.displayName == displayName)
            return stem.id;

    return {};
}

/** The first track whose file is called fileName, or nullptr. */
inline const Track* trackNamed (const Session& session, const juce::String& fileName)
{
    for (const auto& track : session.getTracks())
        if (track.file.getFileName() == fileName)
            return &track;

    return nullptr;
}

inline juce::String trackIdNamed (const Session& session, const juce::String& fileName)
{
    const auto* track = trackNamed (session, fileName);
    return track != nullptr ? track->id : juce::String();
}

} // namespace dunmoor::testing
