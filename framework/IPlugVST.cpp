#include "framework/IPlugVST.h"

IPlugVST::IPlugVST(IHost* host, const Identity& identity) : IPlugBase(host, identity) {
  for (int i = 0; i < NInChannels(); ++i) InChannel(i)->connected = true;
  for (int i = 0; i < NOutChannels(); ++i) OutChannel(i)->connected = true;
  ChangeBlockSize(1024);
}
