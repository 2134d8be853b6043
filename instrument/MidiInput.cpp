#include "instrument/REDI.h"
#include "instrument/Synth.h"

// MIDI from the host: echo, immediate all-notes-off and program change, the
// learn capture, and queueing of notes, bends and controllers for the audio
// process. The host boundary calls in with the plug-in lock held.
void REDI::HandleMidiMessage(const IMidiMessage& message) {
  if (midiThru) SendMidiToHost(message);
  switch (message.status >> 4) {
    case 0x8:
    case 0x9:
    case 0xE:
      midiQueue.Add(message);
      break;
    case 0xB:
      if (message.data1 < kNumControllers) {
        if (learnActive) {
          learnController = message.data1;
          CommitLearn();
        } else {
          midiQueue.Add(message);
        }
      } else if (message.data1 == 120 || message.data1 == 123) {
        AllNotesOff();
      }
      break;
    case 0xC:
      if (!ignoreProgramChange) ApplyProgram(message.data1);
      break;
    default:
      break;
  }
}

void Synth::ParamChanged(int index) {
  ScopedLock guard(Lock());
  if (index < 0 || index >= NParams() || !learnActive) return;
  learnParameter = index;
  CommitLearn();
}

void Synth::ArmLearn(bool on, bool forget) {
  learnForget = forget;
  learnController = -1;
  learnParameter = -1;
  learnActive = on;
}

void Synth::CommitLearn() {
  if (!learnActive) return;
  if (!learnForget) {
    if (learnController < 0 || learnController >= kNumControllers || learnParameter < 0)
      return;  // wait for the other half
    for (int& entry : controllerMap)
      if (entry == learnParameter) entry = -1;  // one controller per parameter
    controllerMap[learnController] = learnParameter;
    learnActive = false;
    LearnCompleted();
    return;
  }
  if (learnController >= 0 && learnController < kNumControllers) {
    controllerMap[learnController] = -1;
  } else if (learnParameter >= 0) {
    for (int& entry : controllerMap)
      if (entry == learnParameter) entry = -1;
  } else {
    return;
  }
  learnActive = false;
  learnForget = false;
  LearnCompleted();
}
