#include <cstdlib>

#include <gtest/gtest.h>

#include "support/AllocationCounter.h"
#include "support/DelayHarness.h"
#include "support/Signals.h"

// Everything the audio thread does, under an allocation counter: blocks with
// tempo changes, transport starts, freeze, and host automation of every
// parameter (which runs the change handler on the audio thread).
TEST(RealTimeSafety, ProcessingAndAutomationDoNotAllocate)
{
  DelayHarness delay(48000.0);
  delay.set(kDelaySync, 1.0);
  delay.set(kLFOSync, 1.0);
  delay.set(kLFODepth, 0.7);
  auto left = signals::noise(512, 1);
  auto right = signals::noise(512, 2);
  std::vector<double> outL(512), outR(512);
  double* in[2] = {left.data(), right.data()};
  double* out[2] = {outL.data(), outR.data()};
  delay->ProcessBlock(in, out, 512); // warm up

  AllocationGuard guard;
  for (int block = 0; block < 200; ++block)
  {
    ITimeInfo& transport = delay->GetTimeInfo();
    transport.tempo = 80.0 + block;
    transport.transportRunning = (block / 10) % 2 == 0;
    transport.ppqPosition = block * 0.37;
    if (block % 50 == 25)
      delay->doFreeze();
    const int paramIdx = block % kNumParams;
    IParam* param = delay->GetParam(paramIdx);
    param->SetNormalized((block % 7) / 6.0);
    delay->OnParamChange(paramIdx, kHost, 0);
    delay->ProcessBlock(in, out, 1 + block % 512);
  }
  EXPECT_EQ(guard.count(), 0u);
}

TEST(RealTimeSafety, TheCounterSeesAllocations)
{
  AllocationGuard guard;
  void* p = ::operator new(16);
  ::operator delete(p);
  void* (*volatile cMalloc)(size_t) = std::malloc;
  std::free(cMalloc(16));
  EXPECT_GE(guard.count(), 1u);
}
