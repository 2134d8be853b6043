#include "instrument/REDI.h"

#include "editor/IGraphics.h"
#include "framework/Text.h"

const IPlugBase::Identity REDI::kIdentity = {
    "REDI", "", "Welmora", ('r' << 24) | ('e' << 16) | ('d' << 8) | 'i', 0x00010101, "2-2 4-2"};

REDI::REDI(IHost* host) : Synth(host, kIdentity), vocoder(*this, midiQueue, heldNotes) {
  InitParameters();
  BuildEditorLayout();
  AttachEditor(editorObject);
  // The user's start-up bank when it loads, else the factory bank.
  if (!LoadBankFile(startupBank.c_str())) {
    startupBank.clear();
    LoadFactoryPrograms();
  }
}

REDI::~REDI() = default;

void REDI::InitProgram() {
  Synth::InitProgram();
  wavRequestedPath.clear();
}

void REDI::ResetState() {
  ScopedLock guard(Lock());
  Synth::ResetState();
  vocoder.ResetState(SampleRate());
}

void REDI::ParamChanged(int index) {
  ScopedLock guard(Lock());
  if (index < 0 || index >= NParams()) return;
  Synth::ParamChanged(index);
  vocoder.ApplyParameter(index, GetParam(index)->Value());
}

void REDI::ProcessBlock(double** inputs, double** outputs, int frames) {
  vocoder.ProcessBlock(inputs, outputs, frames);
}

void REDI::AllNotesOff() { vocoder.AllNotesOff(); }

void REDI::ProgramChangedByHost() { LoadWavSource(); }

bool REDI::LoadWavSource() {
  ScopedLock guard(Lock());
  if (wavRequestedPath.empty() ||
      EqualsIgnoringCase(wavRequestedPath.c_str(), wavLoadedPath.c_str()))
    return !wavMissing;
  vocoder.sourceLoading = true;
  wavLoadedPath = wavRequestedPath;
  const bool opened = OpenWavSource(vocoder.wavPlayer, wavRequestedPath, wavBaseFolder);
  wavMissing = !opened;
  if (!opened) vocoder.wavPlayer.CloseWav();
  vocoder.sourceLoading = false;
  return opened;
}
