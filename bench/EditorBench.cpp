// What the editor's tick costs while REDI plays a voice-like signal: the
// band display (and meter) move on every tick and redraw. "busy_per_second"
// is the time the ticks of one second take: 10 ms means 1 % of one core.
// The argument is the editor's size in percent. The editor draws headless here, as into a window's
// bitmap; the window's own copy to the screen is not counted.

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "editor/drawing/IGraphicsHeadless.h"
#include "instrument/REDI.h"

namespace {

class QuietHost : public IHost {
 public:
  void Automate(int, float) override {}
  void BeginEdit(int) override {}
  void EndEdit(int) override {}
  void UpdateDisplay() override {}
  void ProductString(char* text, int size) override {
    if (size > 0) text[0] = '\0';
  }
  void VendorString(char* text, int size) override {
    if (size > 0) text[0] = '\0';
  }
  int VendorVersion() override { return 0; }
  int ProcessLevel() override { return 0; }
  bool SendMidi(const IMidiMessage&) override { return false; }
  bool SendSysEx(const ISysExMessage&) override { return false; }
};

void BM_EditorTickWithLiveBands(benchmark::State& state) {
  QuietHost host;
  REDI plug(&host);
  auto* ui = new IGraphicsHeadless(&plug, REDI::kEditorWidth, REDI::kEditorHeight);
  ui->SetSizePercent(static_cast<int>(state.range(0)));
  plug.editorObject = ui;
  plug.editorControls = REDI::EditorControls();
  plug.BuildEditorLayout();
  plug.AttachEditor(ui);
  plug.ChangeSampleRate(48000.0);
  plug.ResetState();
  plug.Activate(true);
  ui->OpenWindow(nullptr);
  plug.EditorOpened();

  // One tick's worth of audio (40 ms): a tone whose pitch and loudness
  // wander, so that every band rises and falls.
  const int frames = 48000 / ui->FPS();
  std::vector<double> in(static_cast<size_t>(frames)), ext(in.size(), 0.0);
  std::vector<double> out[2] = {std::vector<double>(in.size()), std::vector<double>(in.size())};
  double phase = 0.0;
  long tick = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const double frequency = 150.0 * std::pow(2.0, 6.0 * (0.5 + 0.5 * std::sin(0.37 * tick)));
    const double amplitude = 0.3 * (0.55 + 0.45 * std::sin(1.3 * tick));
    for (double& x : in) {
      phase += 6.283185307179586 * frequency / 48000.0;
      x = amplitude * std::sin(phase);
    }
    double* inputs[4] = {in.data(), in.data(), ext.data(), ext.data()};
    double* outputs[2] = {out[0].data(), out[1].data()};
    plug.ProcessBlock(inputs, outputs, frames);
    ++tick;
    state.ResumeTiming();
    ui->Tick();
  }
  state.counters["busy_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations()) / ui->FPS(),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  plug.EditorClosed();
  ui->CloseWindow();
}
// At the editor's sizes of 100 and 200 %.
BENCHMARK(BM_EditorTickWithLiveBands)->Arg(100)->Arg(200)->Unit(benchmark::kMicrosecond);

}  // namespace
