// Bank files (.fxb) as the editor's file menu loads them.

#include "framework/IPlugVST.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::IsolateConfiguration();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::WriteFile("input.fxb", data, size);
  fuzz::Plugin& plug = fuzz::SharedPlugin();
  static_cast<IPlugVST*>(plug.effect->object)->LoadBankFile(path.c_str());
  plug.CheckParameters();
  plug.ProcessAndCheck(300);
  return 0;
}
