#pragma once

#include "ui/app/Seams.h"

namespace dunmoor::ui
{

/**
    Opens an existing folder in the desktop's file browser; when that fails, opens its parent
    folder instead (where the folder can be seen), and when that fails too, says so in a warning
    box. A folder that does not exist does nothing. No shell is involved, whatever the name.
*/
void openFolderInFileBrowser (Seams& seams, const juce::File& folder, juce::Component* associatedComponent = nullptr);

} // namespace dunmoor::ui
