#include "instrument/REDI.h"

const IPlugBase::Identity REDI::kIdentity = {
    "REDI", "", "Welmora", ('r' << 24) | ('e' << 16) | ('d' << 8) | 'i', 0x00010101, "2-2 4-2"};

REDI::REDI(IHost* host) : Synth(host, kIdentity) { InitParameters(); }

REDI::~REDI() = default;
