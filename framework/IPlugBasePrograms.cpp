#include <cstdio>
#include <cstring>

#include "framework/IPlugBase.h"
#include "framework/Text.h"

namespace {

constexpr const char* kUserPresetText = "user preset";

bool ValidIndex(int index, int count) { return index >= 0 && index < count; }

}  // namespace

IProgram* IPlugBase::GetProgram(int index) {
  return ValidIndex(index, NPrograms()) ? &programs[static_cast<std::size_t>(index)] : nullptr;
}

const char* IPlugBase::ProgramName(int index) const {
  return ValidIndex(index, NPrograms()) ? programs[static_cast<std::size_t>(index)].name : "";
}

bool IPlugBase::ApplyProgram(int index) {
  IProgram* program = GetProgram(index);
  if (program == nullptr) return false;

  bool ok = false;
  if (!program->initialised) {
    // An empty slot captures the live state under a fresh user-preset name;
    // the sound does not change.
    program->initialised = true;
    int taken = 0;
    for (const IProgram& p : programs)
      if (std::strstr(p.name, kUserPresetText) != nullptr) ++taken;
    std::snprintf(program->name, IProgram::kNameSize, "%s %d", kUserPresetText, taken + 1);
    program->state.Clear();
    ok = SaveState(program->state);
  } else {
    ok = LoadState(program->state, 0) > 0;
  }

  if (ok) {
    currentProgram = index;
    ProgramChangedByHost();
    RefreshParamControls();
  }
  return ok;
}

void IPlugBase::ModifyCurrentPreset(const char* name) {
  IProgram* program = GetProgram(currentProgram);
  if (program == nullptr) return;
  program->state.Clear();
  SaveState(program->state);
  if (name != nullptr && name[0] != '\0') CopyText(program->name, IProgram::kNameSize, name);
}

void IPlugBase::FillEmptyPrograms(int count) {
  for (int n = 0; n < count; ++n) {
    IProgram* empty = nullptr;
    for (IProgram& p : programs) {
      if (!p.initialised) {
        empty = &p;
        break;
      }
    }
    if (empty == nullptr) return;
    empty->initialised = true;
    CopyText(empty->name, IProgram::kNameSize, "Empty");
    empty->state.Clear();
    SaveState(empty->state);
  }
}
