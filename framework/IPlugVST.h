#pragma once

#include "framework/IPlugBase.h"

// The VST 2 half of the framework. For now it only completes construction the
// way the host boundary will (channels connected, first block size); the
// effect record, dispatcher and process callbacks live here too.
class IPlugVST : public IPlugBase {
 public:
  IPlugVST(IHost* host, const Identity& identity);
  ~IPlugVST() override = default;
};
