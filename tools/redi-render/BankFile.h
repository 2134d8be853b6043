#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A bank file (.fxb) checked as the plug-in's own bank loader checks it, in
// the two forms the plug-in reads.
struct BankFile {
  enum class Form { kChunk, kParameterList };
  struct Program {
    std::string name;
    std::vector<float> values;  // normalised, one per parameter
  };

  Form form = Form::kChunk;
  // kChunk: the bank state as the plug-in takes it from a host, always
  // beginning with the framework's chunk header.
  std::vector<uint8_t> chunk;
  // kParameterList: one record per program, and the program to select after.
  std::vector<Program> programs;
  int currentProgram = 0;
};

// Reads a bank file for the plug-in with the given four-character identifier
// and parameter count. Returns false with a reason for a file the plug-in
// would refuse.
bool ReadBankFile(const std::vector<uint8_t>& bytes, uint32_t pluginId, int numParams,
                  BankFile* bank, std::string* error);

// The program names in a bank state as the plug-in hands it to a host
// (framework header, then name, initialised flag and state of each program).
// Names are whole, unlike those the plug-in copies into a host's short name
// buffer. Returns false when the state cannot be walked to its end.
bool ProgramNamesInBankChunk(const std::vector<uint8_t>& chunk, int numParams,
                             std::vector<std::string>* names);

// The four characters of an identifier, for messages.
std::string IdentifierText(uint32_t id);
