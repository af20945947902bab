#include "CueResultList.h"

namespace dunmoor::ui
{

CueResultList::CueResultList()
{
    setTitle ("Cues");
    setVisible (false);
}

void CueResultList::setRows (std::vector<Row> newRows)
{
    rows = std::move (newRows);
    setVisible (! rows.empty());
    repaint();
}

} // namespace dunmoor::ui
