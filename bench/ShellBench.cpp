// The main window on a display (run under Xvfb when there is none:
// `xvfb-run -a -s "-screen 0 1920x1200x24" build/bench/ShellBench`): from creating the window
// to its first painted frame with an empty session, switching between the five pages (the
// switch and painting the window), and a full repaint of the window at 1360 x 860 with the
// Default palette at 100 % and 120 %. Settings and presets go to a temporary home folder.
//
// The first frame is the window's own first paint on the display. Later paints are drawn the
// way the window's peer draws them (the whole component into an image at the display scale):
// the peer itself skips a paint while the display still owes it the previous one, which a
// loop that never returns to the message loop would never receive.

#include <benchmark/benchmark.h>

#include <juce_gui_basics/juce_gui_basics.h>

#include "UiBenchmarkMain.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/MainComponent.h"
#include "ui/look/Theme.h"

namespace
{
using namespace dunmoor::ui;

/** Paints everything the window has waiting to be painted, now. */
void paintNow (juce::Component& window)
{
    if (auto* peer = window.getPeer())
        peer->performAnyPendingRepaintsNow();
}

/** Draws the whole component as its window would, at the desktop scale. */
void paintWhole (juce::Component& component)
{
    const auto scale = juce::Desktop::getInstance().getGlobalScaleFactor();
    juce::Image image (juce::Image::RGB, juce::roundToInt ((float) component.getWidth() * scale), juce::roundToInt ((float) component.getHeight() * scale), false);
    juce::Graphics g (image);
    g.addTransform (juce::AffineTransform::scale (scale));
    component.paintEntireComponent (g, true);
    benchmark::DoNotOptimize (image.getPixelAt (0, 0));
}

std::unique_ptr<MainWindow> openWindow()
{
    auto window = std::make_unique<MainWindow> ("Brackenfold");
    paintNow (*window);
    return window;
}

void BM_LaunchToFirstFrame (benchmark::State& state)
{
    for (auto _ : state)
    {
        auto window = openWindow();
        benchmark::DoNotOptimize (window.get());

        state.PauseTiming();
        window.reset();
        state.ResumeTiming();
    }
}
BENCHMARK (BM_LaunchToFirstFrame)->Unit (benchmark::kMillisecond)->Iterations (10);

void BM_SwitchPage (benchmark::State& state)
{
    auto window = openWindow();
    auto& main = *window->getMainComponent();
    int step = 0;

    for (auto _ : state)
    {
        step = (step + 1) % pageCount;
        main.showPage ((Page) step);
        paintWhole (main);
    }
}
BENCHMARK (BM_SwitchPage)->Unit (benchmark::kMillisecond);

void BM_FullRepaint (benchmark::State& state)
{
    const auto percent = (int) state.range (0);
    applyPalette (defaultPalette());
    applyUiScale (percent);

    auto window = openWindow();
    auto& main = *window->getMainComponent();
    main.setSize (1360, 860);
    window->setSize (main.getWidth(), main.getHeight());
    paintNow (*window);

    for (auto _ : state)
        paintWhole (main);

    state.SetLabel (juce::String (percent).toStdString() + " %, " + juce::String (main.getWidth()).toStdString() + " x " + juce::String (main.getHeight()).toStdString());
    window.reset();
    applyUiScale (100);
}
BENCHMARK (BM_FullRepaint)->Arg (100)->Arg (120)->Unit (benchmark::kMillisecond);

} // namespace

int main (int argc, char** argv)
{
    return dunmoor::bench::runUiBenchmarks (argc, argv, "brackenfold-shell-bench-");
}
