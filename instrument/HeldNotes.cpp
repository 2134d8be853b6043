#include "instrument/HeldNotes.h"

void HeldNotes::Set(int note, int velocity) {
  if (!IsNote(note)) return;
  if (velocity <= 0) {
    Remove(note);
    return;
  }
  if (!held[note]) {
    held[note] = true;
    ++count;
  }
  velocities[note] = velocity;
}

void HeldNotes::Remove(int note) {
  if (!IsNote(note) || !held[note]) return;
  held[note] = false;
  velocities[note] = 0;
  --count;
}

void HeldNotes::Clear() {
  for (int note = 0; note < kNotes; ++note) {
    held[note] = false;
    velocities[note] = 0;
  }
  count = 0;
}

bool HeldNotes::Contains(int note) const { return IsNote(note) && held[note]; }

int HeldNotes::Velocity(int note) const { return Contains(note) ? velocities[note] : 0; }
