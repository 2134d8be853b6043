#include "instrument/REDI.h"

const IPlugBase::Identity REDI::kIdentity = {
    "REDI", "", "Welmora", ('r' << 24) | ('e' << 16) | ('d' << 8) | 'i', 0x00010101, "2-2 4-2"};

REDI::REDI(IHost* host) : Synth(host, kIdentity) {
  InitParameters();
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
