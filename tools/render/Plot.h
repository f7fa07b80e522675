#pragma once
#include "WaveformSummary.h"

#include <string>
#include <vector>

namespace tolmar::render
{
struct PlotRequest
{
    std::string title;    // what went through what
    std::string subtitle; // the settings
    std::string footer;   // the output's levels
    double sampleRate = 48000;
    std::string inputLabel;
    const WaveformSummary* input = nullptr;
    const WaveformSummary* output = nullptr;
    double inputSeconds = 0; // where the tail begins

    // An impulse response: the close-up of its start with the echoes
    // marked, and the output level in dBFS over the whole render.
    bool impulse = false;
    const ClipRecorder* clip = nullptr;
    double delaySeconds = 0;          // spacing of the echoes, 0 when unknown
    std::vector<double> echoSeconds;  // where the echoes were found
    double silenceDb = -90;
};

// Draws the picture; returns the bytes of a PNG file.
std::vector<char> drawPlot(const PlotRequest& request);
} // namespace tolmar::render
