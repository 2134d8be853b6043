// Builds the factory bank file from its readable source (resources/factory-bank.txt)
// with the plug-in's own state and bank writers.
//
//   make-factory-bank SOURCE.txt OUT.fxb

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "framework/Text.h"
#include "instrument/REDI.h"

namespace {

constexpr const char* kStoredProgramName = "RA-10 Standard";

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  const auto last = s.find_last_not_of(" \t\r");
  return s.substr(first, last - first + 1);
}

int FindParameter(REDI& plug, const std::string& name) {
  for (int i = 0; i < plug.NParams(); ++i)
    if (name == plug.GetParam(i)->Name()) return i;
  return -1;
}

void SetDefaults(REDI& plug) {
  for (int i = 0; i < plug.NParams(); ++i) {
    IParameter* p = plug.GetParam(i);
    p->SetClamped(p->Default());
  }
  plug.wavRequestedPath.clear();
}

// Stores the live values as program `index`. Every stored state carries the
// first program's index and name; loading skips both, so they are only a
// stamp of the bank's format.
bool StoreProgram(REDI& plug, int index, const std::string& name) {
  IProgram* program = plug.GetProgram(index);
  program->state.Clear();
  if (!plug.SaveState(program->state)) return false;
  program->initialised = true;
  CopyText(program->name, sizeof program->name, name.c_str());
  return true;
}

bool Fail(int line, const std::string& what) {
  std::cerr << "factory-bank.txt:" << line << ": " << what << "\n";
  return false;
}

bool BuildBank(REDI& plug, std::istream& in) {
  CopyText(plug.GetProgram(0)->name, IProgram::kNameSize, kStoredProgramName);
  int current = -1;
  std::string currentName;
  std::string line;
  for (int lineNo = 1; std::getline(in, line); ++lineNo) {
    const std::string text = Trim(line);
    if (text.empty() || text[0] == '#' || text.rfind("does:", 0) == 0) continue;
    if (line[0] != ' ') {  // a program header: number "name"
      if (current >= 0 && !StoreProgram(plug, current, currentName)) return Fail(lineNo, "save");
      const auto open = line.find('"');
      const auto close = line.rfind('"');
      if (open == std::string::npos || close <= open) return Fail(lineNo, "expected a name");
      double number = -1.0;
      ParseLeadingNumber(line.substr(0, open).c_str(), &number);
      if (number != current + 1 || current + 1 >= plug.NPrograms())
        return Fail(lineNo, "programs must be numbered 0, 1, 2, ... in order");
      current += 1;
      currentName = line.substr(open + 1, close - open - 1);
      SetDefaults(plug);
      continue;
    }
    const auto eq = text.find('=');
    if (eq == std::string::npos || current < 0) return Fail(lineNo, "expected NAME = VALUE");
    const std::string key = Trim(text.substr(0, eq));
    const std::string value = Trim(text.substr(eq + 1));
    if (key == "WAV") {
      plug.wavRequestedPath = value;
      continue;
    }
    const int index = FindParameter(plug, key);
    double v = 0.0;
    if (index < 0) return Fail(lineNo, "unknown parameter " + key);
    if (!ParseLeadingNumber(value.c_str(), &v)) return Fail(lineNo, "bad value " + value);
    plug.GetParam(index)->SetClamped(v);
  }
  return current < 0 || StoreProgram(plug, current, currentName);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make-factory-bank SOURCE.txt OUT.fxb\n";
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::cerr << "cannot read " << argv[1] << "\n";
    return 1;
  }
  REDI plug(nullptr);
  for (int i = 0; i < plug.NPrograms(); ++i) plug.GetProgram(i)->initialised = false;
  if (!BuildBank(plug, in)) return 1;
  for (int i = 0; i < plug.NPrograms(); ++i) {
    if (!plug.GetProgram(i)->initialised) {
      std::cerr << "program " << i << " is missing from the source\n";
      return 1;
    }
  }
  if (!plug.SaveBankFile(argv[2])) {
    std::cerr << "cannot write " << argv[2] << "\n";
    return 1;
  }
  std::cout << "wrote " << argv[2] << "\n";
  return 0;
}
