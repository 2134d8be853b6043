#pragma once

#include "framework/Text.h"
#include "instrument/REDI.h"

// A REDI whose program store is as the framework builds it, before any bank
// is loaded: 64 uninitialised programs named "empty", every parameter at its
// default and no WAV file.
class BlankREDI : public REDI {
 public:
  explicit BlankREDI(IHost* host) : REDI(host) {
    for (int i = 0; i < NPrograms(); ++i) {
      IProgram* program = GetProgram(i);
      program->initialised = false;
      CopyText(program->name, IProgram::kNameSize, "empty");
      program->state.Clear();
    }
    for (int i = 0; i < NParams(); ++i) GetParam(i)->SetClamped(GetParam(i)->Default());
    wavRequestedPath.clear();
  }
};
