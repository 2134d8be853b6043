#include <gtest/gtest.h>

#include "instrument/HeldNotes.h"

namespace {

TEST(HeldNotesTest, SetInsertsReplacesOrReleasesAndRemoveIgnoresKeysNotDown) {
  HeldNotes notes;
  notes.Set(60, 100);
  notes.Set(64, 90);
  notes.Set(60, 30);
  EXPECT_EQ(notes.Size(), 2);
  EXPECT_EQ(notes.Velocity(60), 30);
  EXPECT_FALSE(notes.Contains(62));
  EXPECT_EQ(notes.Velocity(62), 0);

  notes.Set(60, 0);
  notes.Set(64, -3);
  notes.Set(62, 0);  // never held: stays absent
  EXPECT_EQ(notes.Size(), 0);
  EXPECT_FALSE(notes.Contains(60));

  // Removing a key that is not down changes nothing.
  notes.Set(48, 64);
  notes.Remove(50);
  notes.Remove(50);
  EXPECT_EQ(notes.Size(), 1);
  notes.Remove(48);
  notes.Remove(48);
  EXPECT_EQ(notes.Size(), 0);
  for (int note = 0; note < 128; note += 3) notes.Set(note, 80);
  notes.Clear();
  EXPECT_EQ(notes.Size(), 0);
  EXPECT_FALSE(notes.Contains(0));
}

TEST(HeldNotesTest, OutOfRangeNotesAreIgnored) {
  HeldNotes notes;
  for (int note : {-1, 128, 1000, -100000}) {
    notes.Set(note, 100);
    notes.Remove(note);
    EXPECT_FALSE(notes.Contains(note));
    EXPECT_EQ(notes.Velocity(note), 0);
  }
  notes.Set(0, 1);
  notes.Set(127, 127);
  EXPECT_EQ(notes.Size(), 2);
}

}  // namespace
