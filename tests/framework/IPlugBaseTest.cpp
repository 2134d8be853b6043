#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "RecordingHost.h"
#include "framework/IPlugBase.h"

namespace {

const IPlugBase::Identity kTestIdentity = {
    "Test Effect", "",       "Welmora", ('t' << 24) | ('e' << 16) | ('s' << 8) | 't',
    0x00010203,    "2-2 4-2"};

// Records every ParamChanged with the automations the host had seen by then.
class TestPlug : public IPlugBase {
 public:
  explicit TestPlug(IHost* host, const Identity& identity = kTestIdentity)
      : IPlugBase(host, identity) {
    GetParam(0)->DefineContinuous("Gain", 0.5, 0, 2, 0.01);
    GetParam(1)->DefineSwitch("Power", false);
  }
  void ParamChanged(int index) override {
    changed.push_back(index);
    automationsAtChange.push_back(recorder != nullptr ? recorder->automations.size() : 0);
  }
  std::vector<int> changed;
  std::vector<size_t> automationsAtChange;
  RecordingHost* recorder = nullptr;
};

class IPlugBaseTest : public ::testing::Test {
 protected:
  IPlugBaseTest() { plug.recorder = &host; }
  RecordingHost host;
  TestPlug plug{&host};
};

IPlugBase::Identity WithChannels(const char* channelIO) {
  IPlugBase::Identity identity = kTestIdentity;
  identity.channelIO = channelIO;
  return identity;
}

TEST_F(IPlugBaseTest, ConstructionCreatesRecordsIdentityAndChannels) {
  EXPECT_EQ(plug.NParams(), 107);
  EXPECT_EQ(plug.NPrograms(), 64);
  EXPECT_EQ(plug.GetParam(106)->GetKind(), IParameter::kUndefined);
  EXPECT_EQ(plug.GetParam(107), nullptr);
  EXPECT_EQ(plug.GetParam(-1), nullptr);
  EXPECT_EQ(plug.DecimalVersion(), 10203);
  EXPECT_EQ(plug.SampleRate(), 44100.0);

  EXPECT_EQ(plug.NInChannels(), 4);
  EXPECT_EQ(plug.NOutChannels(), 2);
  ASSERT_EQ(plug.ChannelPairs().size(), 2u);
  EXPECT_EQ(plug.ChannelPairs()[1].inputs, 4);
  EXPECT_EQ(plug.ChannelPairs()[1].outputs, 2);
  EXPECT_FALSE(plug.LegalIO(1, -1));  // no mono pair
  EXPECT_TRUE(plug.LegalIO(4, 2));
  EXPECT_TRUE(plug.LegalIO(2, -1));
  EXPECT_FALSE(plug.LegalIO(3, 2));
  for (int i = 0; i < 4; ++i) {
    EXPECT_FALSE(plug.IsInputConnected(i));
    EXPECT_TRUE(plug.InChannel(i)->label.empty());
  }
}

TEST(IPlugBaseChannels, MalformedPairsCountAsNothing) {
  TestPlug plug(nullptr, WithChannels("1-1 x-2 3 2-99999999999 1-3"));
  const auto& pairs = plug.ChannelPairs();
  ASSERT_EQ(pairs.size(), 5u);
  for (int i = 1; i < 4; ++i) {
    EXPECT_EQ(pairs[i].inputs, 0) << i;
    EXPECT_EQ(pairs[i].outputs, 0) << i;
  }
  EXPECT_EQ(plug.NInChannels(), 1);
  EXPECT_EQ(plug.NOutChannels(), 3);
  EXPECT_TRUE(plug.LegalIO(1, -1));

  TestPlug none(nullptr, WithChannels(""));
  EXPECT_TRUE(none.ChannelPairs().empty());
  EXPECT_EQ(none.NInChannels(), 0);
  TestPlug null(nullptr, WithChannels(nullptr));
  EXPECT_EQ(null.NOutChannels(), 0);
}

TEST(IPlugBaseIdentity, LongNamesAreCut) {
  const std::string longName(200, 'n');
  IPlugBase::Identity identity = kTestIdentity;
  identity.effectName = longName.c_str();
  identity.productName = nullptr;
  TestPlug plug(nullptr, identity);
  EXPECT_EQ(std::strlen(plug.EffectName()), static_cast<size_t>(IPlugBase::kNameSize - 1));
  EXPECT_STREQ(plug.ProductName(), "");
}

TEST_F(IPlugBaseTest, EditorChangeIsReportedBeforeTheHook) {
  plug.SetParamFromEditor(0, 0.25);
  EXPECT_DOUBLE_EQ(plug.GetParam(0)->Value(), 0.5);
  ASSERT_EQ(host.automations.size(), 1u);
  EXPECT_EQ(host.automations[0].index, 0);
  EXPECT_EQ(host.automations[0].value, 0.25f);
  ASSERT_EQ(plug.changed, std::vector<int>{0});
  EXPECT_EQ(plug.automationsAtChange[0], 1u);
}

TEST_F(IPlugBaseTest, EditorValuesAreLimitedAndNaNIgnored) {
  plug.SetParamFromEditor(0, std::numeric_limits<double>::quiet_NaN());
  plug.SetParamFromEditor(107, 0.5);
  EXPECT_TRUE(host.automations.empty());
  EXPECT_TRUE(plug.changed.empty());
  plug.SetParamFromEditor(0, 1.5);
  EXPECT_EQ(plug.GetParam(0)->Value(), 2.0);
  EXPECT_EQ(host.automations.back().value, 1.0f);
}

TEST_F(IPlugBaseTest, ReportAllAndNotifyAllGoInIndexOrder) {
  plug.ReportAllParams();
  ASSERT_EQ(host.automations.size(), 107u);
  for (int i = 0; i < 107; ++i) EXPECT_EQ(host.automations[i].index, i);
  EXPECT_EQ(host.automations[0].value, 0.25f);
  plug.NotifyAllParamsChanged();
  ASSERT_EQ(plug.changed.size(), 107u);
  for (int i = 0; i < 107; ++i) EXPECT_EQ(plug.changed[i], i);
}

TEST(IPlugBaseNoHost, NotificationsWithoutHostAreHarmless) {
  TestPlug plug(nullptr);
  plug.SetParamFromEditor(0, 1.0);
  plug.BeginParamGesture(0);
  plug.EndParamGesture(0);
  plug.ReportAllParams();
  plug.ReportProgramChange();
  EXPECT_FALSE(plug.SendMidiToHost(IMidiMessage{}));
  EXPECT_FALSE(plug.SendSysExToHost(ISysExMessage{}));
  EXPECT_FALSE(plug.IsRenderingOffline());
  EXPECT_EQ(plug.GetParam(0)->Value(), 2.0);
}

TEST_F(IPlugBaseTest, HostParameterCallsStayInTheListAndLimitTheRange) {
  EXPECT_EQ(plug.HostGetParameter(0), 0.25f);
  EXPECT_EQ(plug.HostGetParameter(107), 0.0f);
  EXPECT_EQ(plug.HostGetParameter(-1), 0.0f);
  plug.HostSetParameter(0, std::numeric_limits<float>::quiet_NaN());
  plug.HostSetParameter(107, 0.5f);
  plug.HostSetParameter(-1, 0.5f);
  EXPECT_TRUE(plug.changed.empty());
  EXPECT_EQ(plug.GetParam(0)->Value(), 0.5);

  plug.HostSetParameter(0, 3.0f);
  EXPECT_EQ(plug.GetParam(0)->Value(), 2.0);
  plug.HostSetParameter(0, -1.0f);
  EXPECT_EQ(plug.GetParam(0)->Value(), 0.0);
  plug.HostSetParameter(1, 0.75f);
  EXPECT_EQ(plug.GetParam(1)->Value(), 1.0);
  EXPECT_EQ(plug.changed, (std::vector<int>{0, 0, 1}));
  EXPECT_TRUE(host.automations.empty());  // host changes are not echoed back
}

TEST_F(IPlugBaseTest, HostTextEntryClampsAndRefusesWhatDoesNotRead) {
  EXPECT_TRUE(plug.HostSetParameterFromText(0, "7.5"));
  EXPECT_EQ(plug.GetParam(0)->Value(), 2.0);
  EXPECT_TRUE(plug.HostSetParameterFromText(0, "0.75"));
  EXPECT_EQ(plug.GetParam(0)->Value(), 0.75);
  EXPECT_FALSE(plug.HostSetParameterFromText(0, "nan"));
  EXPECT_FALSE(plug.HostSetParameterFromText(0, "-inf"));
  EXPECT_FALSE(plug.HostSetParameterFromText(1, "maybe"));
  EXPECT_FALSE(plug.HostSetParameterFromText(107, "1"));
  EXPECT_EQ(plug.GetParam(0)->Value(), 0.75);
  EXPECT_TRUE(plug.HostSetParameterFromText(1, "on"));
  EXPECT_EQ(plug.GetParam(1)->Value(), 1.0);
  EXPECT_EQ(plug.changed, (std::vector<int>{0, 0, 1}));
}

TEST(IPlugBaseProcess, DefaultCopiesInputsAndSilencesOutputsWithoutOne) {
  TestPlug plug(nullptr, WithChannels("1-3"));
  double in0[3] = {1, 2, 3};
  double out[3][3] = {{9, 9, 9}, {9, 9, 9}, {9, 9, 9}};
  double* inputs[] = {in0};
  double* outputs[] = {out[0], out[1], out[2]};
  plug.ProcessBlock(inputs, outputs, 3);
  for (int f = 0; f < 3; ++f) {
    EXPECT_EQ(out[0][f], in0[f]);
    EXPECT_EQ(out[1][f], 0.0);
    EXPECT_EQ(out[2][f], 0.0);
  }
}

TEST_F(IPlugBaseTest, BlockSizeChangeZeroesScratchAndRepointsSlots) {
  plug.ChangeBlockSize(16);
  EXPECT_EQ(plug.BlockSize(), 16);
  for (int i = 0; i < plug.NInChannels(); ++i) {
    IInputChannel* channel = plug.InChannel(i);
    ASSERT_EQ(channel->scratch.size(), 16u);
    EXPECT_EQ(*channel->slot, channel->scratch.data());
    EXPECT_EQ(channel->scratch[15], 0.0);
  }
  EXPECT_EQ(plug.OutChannel(1)->scratch.size(), 16u);
  plug.ChangeBlockSize(-5);
  EXPECT_EQ(plug.BlockSize(), 16);
  EXPECT_EQ(plug.InChannel(4), nullptr);
  EXPECT_EQ(plug.OutChannel(2), nullptr);
}

TEST_F(IPlugBaseTest, StereoLimitDisconnectsTheExtraInputs) {
  plug.ChangeBlockSize(8);
  double hostBuffer[8] = {};
  for (int i = 0; i < 4; ++i) {
    plug.InChannel(i)->connected = true;
    *plug.InChannel(i)->slot = hostBuffer;
  }
  plug.LimitToStereoInputs();
  EXPECT_TRUE(plug.IsInputConnected(0));
  EXPECT_TRUE(plug.IsInputConnected(1));
  for (int i = 2; i < 4; ++i) {
    EXPECT_FALSE(plug.IsInputConnected(i));
    EXPECT_EQ(*plug.InChannel(i)->slot, plug.InChannel(i)->scratch.data());
  }
  EXPECT_FALSE(plug.IsInputConnected(4));
  EXPECT_FALSE(plug.IsInputConnected(-1));
}

TEST_F(IPlugBaseTest, GesturesProgramChangesAndMidiReachTheHost) {
  plug.BeginParamGesture(4);
  plug.EndParamGesture(4);
  plug.ReportProgramChange();
  EXPECT_EQ(host.events, (std::vector<std::string>{"begin 4", "end 4", "update display"}));

  IMidiMessage note;
  note.offset = 17;
  note.data1 = 60;
  plug.HandleMidiMessage(note);  // the default echoes
  ASSERT_EQ(host.midi.size(), 1u);
  EXPECT_EQ(host.midi[0].offset, 17);
  EXPECT_EQ(host.midi[0].data1, 60);
  host.accepts = false;
  EXPECT_FALSE(plug.SendMidiToHost(note));
  const uint8_t bytes[] = {0xF0, 0x7E, 0xF7};
  ISysExMessage sysEx;
  sysEx.size = 3;
  sysEx.data = bytes;
  EXPECT_FALSE(plug.SendSysExToHost(sysEx));
  EXPECT_EQ(host.sysEx[0].data, bytes);
}

std::vector<uint8_t> LittleEndianValues(const IPlugBase& plug, int lead) {
  std::vector<uint8_t> bytes(static_cast<size_t>(lead), 0xAA);
  for (int i = 0; i < plug.NParams(); ++i) {
    uint64_t bits = 0;
    const double v = plug.GetParam(i)->Value();
    std::memcpy(&bits, &v, sizeof v);
    for (int b = 0; b < 8; ++b) bytes.push_back(static_cast<uint8_t>(bits >> (8 * b)));
  }
  return bytes;
}

TEST_F(IPlugBaseTest, CompareStateMatchesValuesAndStaysInBounds) {
  const std::vector<uint8_t> bytes = LittleEndianValues(plug, 3);
  const int size = static_cast<int>(bytes.size());
  EXPECT_TRUE(plug.CompareState(bytes.data(), size, 3));
  EXPECT_FALSE(plug.CompareState(bytes.data(), size, 2));
  EXPECT_FALSE(plug.CompareState(bytes.data(), size - 1, 3));
  EXPECT_FALSE(plug.CompareState(bytes.data(), size, -1));
  EXPECT_FALSE(plug.CompareState(nullptr, size, 3));
  plug.GetParam(106)->SetClamped(1.0);
  EXPECT_FALSE(plug.CompareState(bytes.data(), size, 3));
}

}  // namespace
