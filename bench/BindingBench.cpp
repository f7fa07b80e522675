// The cost of the VST 3 binding: process() on an in-process binding beside
// ProcessBlock on the bare instance, at 32 and 256 frames, stereo 48 kHz,
// default settings. Goal: at 32 frames the binding (64-bit samples) costs
// at most 10 % more than the bare instance; 32-bit samples add the
// conversion to and from double.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

#include "plugin/TolmarDelay.h"
#include "vst3/IEffectVST3.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace
{
constexpr double kRate = 48000.0;

template <typename Sample>
std::vector<std::vector<Sample>> noise(int frames)
{
  std::mt19937 rng(1);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  std::vector<std::vector<Sample>> channels(2, std::vector<Sample>(static_cast<size_t>(frames)));
  for (auto& channel : channels)
    for (Sample& x : channel)
      x = static_cast<Sample>(dist(rng));
  return channels;
}

void setRealtime(benchmark::State& state, int frames)
{
  state.counters["realtime"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * frames / kRate, benchmark::Counter::kIsRate);
}

void BM_Engine(benchmark::State& state)
{
  const int frames = static_cast<int>(state.range(0));
  TolmarDelay delay;
  delay.OnParamReset(kReset);
  delay.SetSampleRate(kRate);
  delay.OnReset();
  auto in = noise<double>(frames);
  auto out = noise<double>(frames);
  double* inputs[2] = {in[0].data(), in[1].data()};
  double* outputs[2] = {out[0].data(), out[1].data()};
  for (auto _ : state)
  {
    delay.ProcessBlock(inputs, outputs, frames);
    benchmark::DoNotOptimize(out[0].data());
  }
  setRealtime(state, frames);
}

template <typename Sample>
void BM_Binding(benchmark::State& state)
{
  constexpr int32 kSize = sizeof(Sample) == sizeof(double) ? kSample64 : kSample32;
  const int frames = static_cast<int>(state.range(0));
  IPtr<IEffectVST3> effect(new IEffectVST3(std::make_unique<TolmarDelay>()), false);
  effect->initialize(nullptr);
  ProcessSetup setup{kRealtime, kSize, frames, kRate};
  effect->setupProcessing(setup);
  effect->setActive(true);
  effect->setProcessing(true);

  auto in = noise<Sample>(frames);
  auto out = noise<Sample>(frames);
  Sample* inputs[2] = {in[0].data(), in[1].data()};
  Sample* outputs[2] = {out[0].data(), out[1].data()};
  AudioBusBuffers inBus{}, outBus{};
  inBus.numChannels = outBus.numChannels = 2;
  if constexpr (kSize == kSample64)
  {
    inBus.channelBuffers64 = inputs;
    outBus.channelBuffers64 = outputs;
  }
  else
  {
    inBus.channelBuffers32 = inputs;
    outBus.channelBuffers32 = outputs;
  }
  ProcessData data;
  data.processMode = kRealtime;
  data.symbolicSampleSize = kSize;
  data.numSamples = frames;
  data.numInputs = 1;
  data.numOutputs = 1;
  data.inputs = &inBus;
  data.outputs = &outBus;
  for (auto _ : state)
  {
    effect->process(data);
    benchmark::DoNotOptimize(out[0].data());
  }
  setRealtime(state, frames);
  effect->setProcessing(false);
  effect->setActive(false);
  effect->terminate();
}
} // namespace

BENCHMARK(BM_Engine)->Arg(32)->Arg(256);
BENCHMARK_TEMPLATE(BM_Binding, double)->Arg(32)->Arg(256);
BENCHMARK_TEMPLATE(BM_Binding, float)->Arg(32)->Arg(256);
