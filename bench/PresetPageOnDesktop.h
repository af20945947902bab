#pragma once

// The Preset & Stems page as the benchmarks show it: built over the application state with the
// application's label tones, at the main window's size, on the desktop, its first messages handled.

#include <memory>

#include "UiBenchmarkMain.h"
#include "ui/app/AppState.h"
#include "ui/pages/preset/PresetPage.h"
#include "ui/look/Theme.h"

namespace dunmoor::bench
{

inline std::unique_ptr<ui::PresetPage> showPresetPage (ui::AppState& app)
{
    auto page = std::make_unique<ui::PresetPage> (app);
    ui::applyLabelTones (*page);
    page->setSize (1360, 860);
    page->addToDesktop (0);
    page->setVisible (true);
    pumpUntil ([] { return false; }, 50);
    return page;
}

} // namespace dunmoor::bench
