#include <gtest/gtest.h>

#include "ui/pages/import/ImportRowModel.h"
#include "ui/pages/report/DeliveryRow.h"
#include "ui/widgets/ColumnFit.h"

namespace dunmoor::ui
{
namespace
{

struct Case
{
    int viewport;
    std::vector<int> widths; // in the order shown
};

void expectFits (const std::vector<ColumnRoom>& shown, const ColumnFitOrder& order, const std::vector<Case>& cases)
{
    for (const auto& c : cases)
    {
        const auto widths = fitColumnsToTable (shown, c.viewport, order);
        ASSERT_EQ (widths.size(), shown.size());

        for (size_t i = 0; i < widths.size(); ++i)
        {
            EXPECT_EQ (widths[i].column, shown[i].column);
            EXPECT_EQ (widths[i].width, c.widths[i]) << c.viewport << " px, column " << shown[i].column;
        }
    }
}

// Columns wider together than the table give way one after another, so the last ones never
// fall off its edge.
TEST (ColumnFit, ImportColumnsGiveWayInAFixedOrderDownToTheirMinimums)
{
    using namespace ImportColumn;
    expectFits ({ { file, 400, 140 }, { preview, 150, 80 }, { cue, 260, 70 }, { format, 80, 80 }, { stem, 160, 100 }, { clip, 74, 60 }, { status, 200, 120 } },
                getImportColumnFitOrder(),
                {
                    { 1400, { 400, 226, 260, 80, 160, 74, 200 } }, // room to spare: Preview takes it
                    { 1134, { 400, 80, 140, 80, 160, 74, 200 } },  // Preview gives way first, then Cue
                    { 964, { 400, 80, 70, 80, 100, 74, 160 } },    // Cue and Stem at their minimums, then Status
                    { 700, { 176, 80, 70, 80, 100, 74, 120 } },    // the file name last
                    { 500, { 140, 80, 70, 80, 100, 74, 120 } },    // too narrow for even the minimums
                });
}

TEST (ColumnFit, DeliveredFileColumnsLeaveTheFileNameItsRoomLongest)
{
    expectFits ({ { fileColumn, 380, 150 }, { previewColumn, 460, 70 }, { kindColumn, 60, 48 }, { tracksColumn, 60, 60 }, { peakColumn, 70, 50 },
                  { formatColumn, 150, 65 }, { lengthColumn, 64, 64 }, { sizeColumn, 60, 45 }, { statusColumn, 120, 60 } },
                getDeliveryColumnFitOrder(),
                {
                    { 1600, { 556, 460, 60, 60, 70, 150, 64, 60, 120 } }, // room to spare: File takes it
                    { 1400, { 380, 460, 60, 60, 70, 150, 64, 60, 96 } },  // Status gives way first
                    { 1100, { 380, 196, 60, 60, 70, 150, 64, 60, 60 } },  // then the waveform
                    { 900, { 380, 70, 60, 60, 50, 111, 64, 45, 60 } },    // the numbers, then Format
                    { 762, { 288, 70, 60, 60, 50, 65, 64, 45, 60 } },     // the file name last
                    { 500, { 150, 70, 60, 60, 50, 65, 64, 45, 60 } },     // too narrow for even the minimums
                });
}

} // namespace
} // namespace dunmoor::ui
