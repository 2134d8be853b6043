#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "BlankREDI.h"
#include "framework/Text.h"
#include "instrument/ParameterIds.h"
#include "instrument/REDI.h"

namespace {

// Counts the hook calls that follow a successful program change.
class ObservedREDI : public BlankREDI {
 public:
  ObservedREDI() : BlankREDI(nullptr) {}
  void ProgramChangedByHost() override {
    ++programChanges;
    REDI::ProgramChangedByHost();
  }
  void RefreshParamControls() override {
    ++refreshes;
    REDI::RefreshParamControls();
  }
  int programChanges = 0;
  int refreshes = 0;
};

void SetValue(IPlugBase& plug, int index, double value) { plug.GetParam(index)->SetClamped(value); }
double Value(IPlugBase& plug, int index) { return plug.GetParam(index)->Value(); }

std::vector<uint8_t> Bytes(const IChunk& chunk) {
  return std::vector<uint8_t>(chunk.Data(), chunk.Data() + chunk.Size());
}

TEST(ProgramsTest, IndicesOutsideTheStoreChangeNothing) {
  ObservedREDI plug;
  plug.FillEmptyPrograms(64);
  ASSERT_TRUE(plug.ApplyProgram(5));
  SetValue(plug, kTune, 30);
  const int hooks = plug.programChanges;
  EXPECT_FALSE(plug.ApplyProgram(64));
  EXPECT_FALSE(plug.ApplyProgram(-1));
  EXPECT_EQ(plug.CurrentProgram(), 5);
  EXPECT_EQ(Value(plug, kTune), 30);
  EXPECT_EQ(plug.programChanges, hooks);
  EXPECT_STREQ(plug.ProgramName(64), "");
  EXPECT_STREQ(plug.ProgramName(-1), "");
  EXPECT_EQ(plug.GetProgram(64), nullptr);
  EXPECT_EQ(plug.GetProgram(-1), nullptr);
}

TEST(ProgramsTest, AnEmptyProgramCapturesTheLiveStateUnderTheNextUserPresetNumber) {
  ObservedREDI plug;
  CopyText(plug.GetProgram(3)->name, IProgram::kNameSize, "user preset 1");
  CopyText(plug.GetProgram(7)->name, IProgram::kNameSize, "my user preset");
  SetValue(plug, kTune, -40);

  ASSERT_TRUE(plug.ApplyProgram(9));
  EXPECT_STREQ(plug.ProgramName(9), "user preset 3");
  EXPECT_TRUE(plug.GetProgram(9)->initialised);
  EXPECT_EQ(plug.CurrentProgram(), 9);
  EXPECT_EQ(Value(plug, kTune), -40);  // the sound does not change
  EXPECT_EQ(plug.programChanges, 1);
  EXPECT_EQ(plug.refreshes, 1);

  // The captured state restores the value later.
  SetValue(plug, kTune, 10);
  ASSERT_TRUE(plug.ApplyProgram(9));
  EXPECT_EQ(Value(plug, kTune), -40);
}

TEST(ProgramsTest, AProgramWhoseStateFailsToLoadIsNotMadeCurrent) {
  ObservedREDI plug;
  plug.FillEmptyPrograms(64);
  // Only the 107 values: they load, but the missing WAV flag reports failure.
  IProgram* program = plug.GetProgram(4);
  program->state.Clear();
  SetValue(plug, kTune, 55);
  plug.SerializeParams(program->state);
  SetValue(plug, kTune, 0);

  EXPECT_FALSE(plug.ApplyProgram(4));
  EXPECT_EQ(Value(plug, kTune), 55);
  EXPECT_EQ(plug.CurrentProgram(), 0);
  EXPECT_EQ(plug.programChanges, 0);
  EXPECT_EQ(plug.refreshes, 0);
}

TEST(ProgramsTest, FillingInitialisesOnlyTheEmptySlotsWithTheSameState) {
  ObservedREDI plug;
  for (int i = 0; i < 10; ++i) {
    SetValue(plug, kTune, i);
    plug.FillEmptyPrograms(1);
    CopyText(plug.GetProgram(i)->name, IProgram::kNameSize, "bank");
  }
  SetValue(plug, kTune, 99);
  plug.FillEmptyPrograms(64);

  for (int i = 0; i < 10; ++i) EXPECT_STREQ(plug.ProgramName(i), "bank");
  const std::vector<uint8_t> first = Bytes(plug.GetProgram(10)->state);
  for (int i = 10; i < 64; ++i) {
    EXPECT_TRUE(plug.GetProgram(i)->initialised);
    EXPECT_STREQ(plug.ProgramName(i), "Empty");
    EXPECT_EQ(Bytes(plug.GetProgram(i)->state), first) << i;
  }
  ASSERT_TRUE(plug.ApplyProgram(3));
  EXPECT_EQ(Value(plug, kTune), 3);
  ASSERT_TRUE(plug.ApplyProgram(63));
  EXPECT_EQ(Value(plug, kTune), 99);
}

TEST(ProgramsTest, ModifyingTheCurrentProgramReplacesItsStateAndOptionallyItsName) {
  ObservedREDI plug;
  plug.FillEmptyPrograms(64);
  ASSERT_TRUE(plug.ApplyProgram(2));
  SetValue(plug, kTune, 12);
  plug.ModifyCurrentPreset("");
  EXPECT_STREQ(plug.ProgramName(2), "Empty");
  SetValue(plug, kTune, 0);
  plug.ModifyCurrentPreset();
  SetValue(plug, kTune, -12);
  plug.ModifyCurrentPreset("Robot");
  EXPECT_STREQ(plug.ProgramName(2), "Robot");

  SetValue(plug, kTune, 1);
  ASSERT_TRUE(plug.ApplyProgram(2));
  EXPECT_EQ(Value(plug, kTune), -12);
}

TEST(ProgramsTest, LongNamesAreCutToTheFieldWithoutSplittingACharacter) {
  ObservedREDI plug;
  plug.FillEmptyPrograms(64);
  // 127 two-byte characters and one more: 256 bytes, one too many.
  std::string name = "a";
  for (int i = 0; i < 127; ++i) name += "\xC3\xA9";
  name += "\xC3\xA9";
  plug.ModifyCurrentPreset(name.c_str());
  const std::string stored = plug.ProgramName(0);
  EXPECT_EQ(stored.size(), 255u);
  EXPECT_EQ(stored, name.substr(0, 255));
}

}  // namespace
