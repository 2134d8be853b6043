#pragma once

// CONTRACT SKETCH (to be completed by the engine work): the sound engine of
// the vocoder. The plug-in class REDI owns one Vocoder and forwards its hooks:
//
//   class VocoderHost {             // implemented by REDI
//   public:
//     virtual bool IsInputConnected(int index) const = 0;
//     virtual void MapController(int controller, int value) = 0; // audio thread
//   protected:
//     ~VocoderHost() = default;
//   };
//
//   class Vocoder {
//   public:
//     Vocoder(VocoderHost& host, MidiQueue& queue, HeldNotes& heldNotes);
//     void ResetState(double sampleRate);            // allocates; engine part of the reset
//     void ApplyParameter(int index, double value);  // one row of the parameter table
//     void ProcessBlock(double** inputs, double** outputs, int frames) noexcept;
//     void NoteOn(int note, int velocity);
//     void NoteOff(int note);
//     void SetSustain(int value);
//     void AllNotesOff();
//     // WAV source
//     std::string wavRequestedPath, wavLoadedPath;
//     bool wavMissing = false;
//     // Opens wavRequestedPath (absolute, or relative to baseFolder); returns
//     // false when the file could not be opened.
//     bool LoadWavSource(const std::string& baseFolder);
//     double MeterLevel() const;  // meterPeak * invTickSamples
//     int TickSamples() const;
//   };
