#include "GatedTrackList.h"

namespace dunmoor::ui
{

GatedTrackList::GatedTrackList()
{
    setTitle ("Noise floor cleanup preview");
    setVisible (false);
}

void GatedTrackList::setRows (std::vector<Row> newRows)
{
    rows = std::move (newRows);
    setVisible (! rows.empty());
    repaint();
}

} // namespace dunmoor::ui
