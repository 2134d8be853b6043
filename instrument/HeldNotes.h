#pragma once

// The keys currently down, note number to velocity. Fixed storage so the
// audio thread never allocates.
class HeldNotes {
 public:
  void Set(int note, int velocity);  // velocity <= 0 removes the note
  void Remove(int note);
  void Clear();
  int Size() const { return count; }
  bool Contains(int note) const;
  int Velocity(int note) const;  // 0 when the note is not held

 private:
  static constexpr int kNotes = 128;
  static bool IsNote(int note) { return note >= 0 && note < kNotes; }
  int velocities[kNotes] = {};
  bool held[kNotes] = {};
  int count = 0;
};
