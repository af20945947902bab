#include "AtomicFileWriter.h"

#include <new>

#include "PathRules.h"

namespace dunmoor
{

AtomicFileWriter::AtomicFileWriter (const juce::File& targetFile)
    : target (targetFile)
{
    if (target == juce::File())
    {
        error = "No destination file was given.";
        return;
    }

    if (! isPathLengthAcceptable (target))
    {
        error = "The destination path is too long.";
        return;
    }

    const auto folder = target.getParentDirectory();
    const auto created = folder.createDirectory();

    if (created.failed())
    {
        error = "Could not create '" + folder.getFullPathName() + "': " + created.getErrorMessage();
        return;
    }

    // Only the name is chosen here; the file appears when the caller opens it.
    temporaryFile = std::make_unique<juce::TemporaryFile> (target, juce::TemporaryFile::useHiddenFile);
}

AtomicFileWriter::~AtomicFileWriter()
{
    // juce::TemporaryFile deletes its file when it goes; after a commit there is none left.
    temporaryFile.reset();
}

juce::File AtomicFileWriter::getTemporaryFile() const
{
    return temporaryFile != nullptr ? temporaryFile->getFile() : juce::File();
}

bool AtomicFileWriter::commit()
{
    if (temporaryFile == nullptr)
        return false;

    if (! temporaryFile->getFile().existsAsFile())
    {
        error = "Nothing was written to the temporary file.";
        return false;
    }

    // Replacing goes through a delete of the target, which would quietly remove an empty
    // folder that happens to sit at the target path. Only ever replace files.
    if (target.isDirectory() || ! temporaryFile->overwriteTargetFileWithTemporary())
    {
        error = "Could not replace '" + target.getFullPathName() + "'.";
        return false;
    }

    committed = true;
    return true;
}

namespace
{
    bool writeTextThroughWriter (const juce::File& target,
                                 const juce::String& text,
                                 juce::String& error,
                                 LineEndings lineEndings)
    {
        AtomicFileWriter writer (target);

        if (! writer.hasTemporaryFile())
        {
            error = writer.getError();
            return false;
        }

        const auto content = lineEndings == LineEndings::lf ? text.removeCharacters ("\r") : text;
        const auto numBytes = content.getNumBytesAsUTF8();

        {
            juce::FileOutputStream stream (writer.getTemporaryFile(), 16384);

            if (stream.failedToOpen())
            {
                error = "Could not open a temporary file for writing.";
                return false;
            }

            if (! stream.write (content.toRawUTF8(), numBytes))
            {
                error = "Writing failed, the disk may be full.";
                return false;
            }

            stream.flush();

            if (stream.getStatus().failed())
            {
                error = stream.getStatus().getErrorMessage();
                return false;
            }
        }

        // A short write while flushing the last buffer does not set the stream's status,
        // so the size on disk is the final proof that every byte arrived.
        if (writer.getTemporaryFile().getSize() != (juce::int64) numBytes)
        {
            error = "Writing failed, the disk may be full.";
            return false;
        }

        if (! writer.commit())
        {
            error = writer.getError();
            return false;
        }

        error.clear();
        return true;
    }
} // namespace

bool writeTextFileAtomically (const juce::File& target,
                              const juce::String& text,
                              juce::String& error,
                              LineEndings lineEndings)
{
    try
    {
        return writeTextThroughWriter (target, text, error, lineEndings);
    }
    catch (const std::bad_alloc&)
    {
        error = "There is not enough memory to write '" + target.getFileName() + "'.";
        return false;
    }
}

} // namespace dunmoor
