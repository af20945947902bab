#pragma once

#include <memory>

#include <juce_core/juce_core.h>

namespace dunmoor
{

/** Writes a file through a hidden temporary file beside its target, and replaces the target
    in one step only once everything was written. A failed or abandoned write leaves the old
    target as it was (or absent) and no temporary file behind.

    Usage: construct, check hasTemporaryFile() (getError() says why not), write the whole
    content into getTemporaryFile() with your own stream, close the stream, then commit().
    One writer serves one target once; it is used by one thread at a time.
*/
class AtomicFileWriter
{
public:
    /** Checks the target and names the temporary file (".<name>_temp<hex><ext>" in the
        target's folder, creating that folder chain if needed). Nothing else is created. */
    explicit AtomicFileWriter (const juce::File& target);

    /** Deletes the temporary file unless it was committed. */
    ~AtomicFileWriter();

    AtomicFileWriter (const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator= (const AtomicFileWriter&) = delete;

    bool hasTemporaryFile() const noexcept { return temporaryFile != nullptr; }

    /** The file to write into, or the empty file when construction failed. */
    juce::File getTemporaryFile() const;

    /** Replaces the target with the temporary file. On failure sets the error and leaves
        the target untouched. */
    [[nodiscard]] bool commit();

    const juce::File& getTarget() const noexcept { return target; }
    const juce::String& getError() const noexcept { return error; }
    bool isCommitted() const noexcept { return committed; }

private:
    juce::File target;
    std::unique_ptr<juce::TemporaryFile> temporaryFile;
    juce::String error;
    bool committed = false;
};

/** How writeTextFileAtomically treats carriage returns in the text. */
enum class LineEndings
{
    lf,         // every carriage return is dropped, so CR LF pairs are stored as LF
    keepCrLf    // the text's bytes are stored as given (the plain-text report wants CR LF)
};

/** Writes the text as UTF-8 without a byte-order mark through an AtomicFileWriter.
    On success clears error; on failure returns false with the reason in error, and the
    target keeps its old content (or stays absent). */
[[nodiscard]] bool writeTextFileAtomically (const juce::File& target,
                                            const juce::String& text,
                                            juce::String& error,
                                            LineEndings lineEndings = LineEndings::lf);

} // namespace dunmoor
