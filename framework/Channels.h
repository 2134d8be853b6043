#pragma once

#include <string>
#include <vector>

// One allowed combination of input and output channel counts.
struct IChannelPair {
  int inputs = 0;
  int outputs = 0;
};

// An audio input. slot points into the plug-in's input pointer array; when
// the channel is unconnected the slot points at the channel's own scratch.
struct IInputChannel {
  bool connected = false;
  double** slot = nullptr;
  std::vector<double> scratch;
  std::string label;
};

struct IOutputChannel {
  bool connected = false;
  double** slot = nullptr;
  float* hostDestination = nullptr;  // set per process call
  std::vector<double> scratch;
  std::string label;
};
