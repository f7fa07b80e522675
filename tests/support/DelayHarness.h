#pragma once
#include <memory>
#include <vector>

#include "plugin/TolmarDelay.h"

// Drives a TolmarDelay the way a host binding does: initialisation delivers
// every parameter once, the setup stores the rate and resets.
class DelayHarness
{
public:
  explicit DelayHarness(double sampleRate = 44100.0) : delay(std::make_unique<TolmarDelay>())
  {
    delay->OnParamReset(kReset);
    setSampleRate(sampleRate);
  }

  void setSampleRate(double rate)
  {
    delay->SetSampleRate(rate);
    delay->OnReset();
  }

  // As a host or editor changes a parameter; the engine follows at the next
  // block, which sync() stands in for.
  void set(int paramIdx, double value)
  {
    delay->GetParam(paramIdx)->Set(value);
    delay->OnParamChange(paramIdx);
    sync();
  }

  // As the user turns a parameter's control in the editor.
  void touch(int paramIdx, double value)
  {
    delay->BeginInformHostOfParamChangeFromUI(paramIdx);
    delay->SendParameterValueFromUI(paramIdx, delay->GetParam(paramIdx)->ToNormalized(value));
    delay->EndInformHostOfParamChangeFromUI(paramIdx);
    sync();
  }

  // The editor's buttons, pressed; the next block takes them up.
  void pressFreeze()
  {
    delay->doFreeze();
    sync();
  }
  void pressLearn(bool on, bool unlearn = false)
  {
    if (unlearn)
      delay->doMidiUnlearn(on);
    else
      delay->doMidiLearn(on);
    sync();
  }

  // What the start of the next block does: takes up posted changes.
  void sync() { delay->ApplyPendingChanges(); }

  // Processes the two channels in blocks; returns left and right outputs.
  std::vector<std::vector<double>> process(const std::vector<double>& left, const std::vector<double>& right,
                                           int blockSize = 256)
  {
    std::vector<std::vector<double>> out(2, std::vector<double>(left.size(), 0.0));
    for (size_t pos = 0; pos < left.size(); pos += static_cast<size_t>(blockSize))
    {
      const int n = static_cast<int>(std::min(left.size() - pos, static_cast<size_t>(blockSize)));
      double* in[2] = {const_cast<double*>(left.data() + pos), const_cast<double*>(right.data() + pos)};
      double* o[2] = {out[0].data() + pos, out[1].data() + pos};
      delay->ProcessBlock(in, o, n);
    }
    return out;
  }

  std::vector<double> processMono(const std::vector<double>& x, int blockSize = 256)
  {
    return process(x, x, blockSize)[0];
  }

  TolmarDelay& operator*() { return *delay; }
  TolmarDelay* operator->() { return delay.get(); }

private:
  std::unique_ptr<TolmarDelay> delay;
};
