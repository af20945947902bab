#include "ui/app/OpenFolder.h"

namespace dunmoor::ui
{

void openFolderInFileBrowser (Seams& seams, const juce::File& folder, juce::Component* associatedComponent)
{
    if (! folder.isDirectory())
        return;

    juce::Component::SafePointer<juce::Component> associated (associatedComponent);
    auto* seamsPointer = &seams;

    seams.openFolder (folder, [seamsPointer, folder, associated] (const OpenResult& result)
                      {
                          if (result.ok)
                              return;

                          const auto parent = folder.getParentDirectory();
                          if (parent == folder)
                          {
                              seamsPointer->showWarning ("The folder was not opened", result.error, associated.getComponent());
                              return;
                          }

                          // Show where the folder is instead.
                          // When the parent fails too, the folder the user asked for is the one to name.
                          seamsPointer->openFolder (parent, [seamsPointer, associated, error = result.error] (const OpenResult& revealed)
                                                    {
                                                        if (! revealed.ok)
                                                            seamsPointer->showWarning ("The folder was not opened", error, associated.getComponent());
                                                    });
                      });
}

} // namespace dunmoor::ui
