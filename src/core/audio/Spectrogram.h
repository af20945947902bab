#pragma once

#include <vector>

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_core/juce_core.h>

#include "CancelCheck.h"

namespace dunmoor
{

/** A grid of magnitudes in dB: one column per analysed moment, one row per frequency bin.
    The value of column c and bin b is at values[c * bins + b]. An empty spectrogram has
    every number 0, no values and a floor of -90 dB. */
struct Spectrogram
{
    int columns = 0;
    int bins = 0;                 // fftSize / 2
    std::vector<float> values;    // dB, floorDb .. 0
    double sampleRate = 0.0;      // rate of the analysed signal in Hz
    double durationSeconds = 0.0; // length of the analysed signal
    int fftSize = 0;              // points per frame, a power of two from 64 to 16384
    float floorDb = -90.0f;

    /** The dB value, or floorDb when the column or the bin lies outside the grid. */
    float getValue (int column, int bin) const;

    /** Centre frequency of a bin, (bin + 0.5) * sampleRate / fftSize; 0 without an FFT size. */
    double getBinFrequency (int bin) const;
};

/** In-place forward radix-2 FFT of size points (real and imaginary parts). The size must be
    a power of two of at least 2; any other size asserts and leaves the arrays unchanged. */
void performFft (double* real, double* imag, int size);

/** The common core: Hann-windowed frames of 2^fftOrder points (order clamped to 6..14),
    spread evenly over the samples in columns (clamped to 16..4000) columns. A signal
    shorter than one frame, or without a positive rate, gives the empty spectrogram. */
Spectrogram analyseSpectrogram (const std::vector<float>& monoSamples,
                                double sampleRate,
                                int fftOrder,
                                int columns);

/** The spectrogram of the mean of a buffer's channels, at the given rate. */
Spectrogram computeSpectrogramOfBuffer (const juce::AudioBuffer<double>& buffer,
                                        double sampleRate,
                                        int fftOrder,
                                        int columns);

/** The spectrogram of a whole file at its own rate. Each column reads only its own frame of
    contiguous samples, so a long file costs no more than a short one and the full band is
    shown. Empty, with error set, when the file can't be probed or opened; error is cleared
    first. The cancel check is asked before every column; when it says yes the result is
    empty and the error is the cancelled text. */
Spectrogram computeSpectrogram (const juce::File& file,
                                juce::String& error,
                                int fftOrder,
                                int columns,
                                const CancelCheck& cancel = {});

/** The spectrogram of the stretch of a file between two fractions of its length (in either
    order), the frames chosen as overviewFromFileRange chooses them. Each column reads only
    its own frame, so a short stretch of a very long file costs no more than a short file.
    The same as computeSpectrogramOfBuffer of that stretch read at the file's own rate; its
    duration is the stretch's. Errors and cancelling as computeSpectrogram. */
Spectrogram computeSpectrogramOfRange (const juce::File& file,
                                       double startFraction,
                                       double endFraction,
                                       juce::String& error,
                                       int fftOrder,
                                       int columns,
                                       const CancelCheck& cancel = {});

} // namespace dunmoor
