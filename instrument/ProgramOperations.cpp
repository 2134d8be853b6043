#include <cmath>
#include <string>

#include "framework/platform/Resources.h"
#include "instrument/Synth.h"

void Synth::LoadFactoryPrograms() {
  if (LoadBankFile(startupBank.c_str())) return;
  startupBank.clear();
  const unsigned char* bytes = nullptr;
  std::size_t size = 0;
  if (!FindLibraryResource("PROGDATA", "PROGINIT", &bytes, &size)) return;
  LoadBankFromMemory(bytes, size);
}

void Synth::LoadBankFromMemory(const unsigned char* bytes, std::size_t size) {
  IChunk chunk;
  if (size > 0x7FFFFFFFu || !chunk.PutBytes(bytes, static_cast<int>(size))) return;
  // The bank file header is skipped unread: two leading fields, six fields,
  // 124 reserved bytes and the chunk size.
  constexpr int kBankHeaderSize = 160;
  int pos = chunk.Size() >= kBankHeaderSize ? kBankHeaderSize : -1;
  if (pos < 0) return;
  ReadChunkHeader(chunk, &pos);
  UnserializePresets(chunk, pos);
  ReportProgramChange();
}

void Synth::InitProgram() {
  ScopedLock guard(Lock());
  for (int i = 0; i < NParams(); ++i) {
    const IParameter* p = GetParam(i);
    const double range = p->Max() - p->Min();
    const double normalized =
        range > 0.0 ? std::pow((p->Default() - p->Min()) / range, 1.0 / p->Shape()) : 0.0;
    SetParamFromEditor(i, normalized);
  }
  ModifyCurrentPreset("Init");
  RefreshParamControls();
  ReportAllParams();
}

void Synth::CopyProgram() {
  ScopedLock guard(Lock());
  ModifyCurrentPreset();
  clipboardSource = CurrentProgram();
  programClipboard.Clear();
  SaveState(programClipboard);
}

void Synth::PasteProgram() {
  if (programClipboard.Size() == 0) return;
  ScopedLock guard(Lock());
  LoadState(programClipboard, 0);
  const char* name =
      clipboardSource >= 0 && clipboardSource < NPrograms() ? ProgramName(clipboardSource) : "";
  // The source's name may live in the very field being written.
  const std::string copied = name;
  ModifyCurrentPreset(copied.c_str());
  RefreshParamControls();
  ReportAllParams();
}

void Synth::SelectProgram(int index) {
  ScopedLock guard(Lock());
  ModifyCurrentPreset();
  ApplyProgram(index);
  ReportProgramChange();
  ReportAllParams();
}
