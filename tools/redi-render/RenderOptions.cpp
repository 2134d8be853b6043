#include "RenderOptions.h"

#include <charconv>

const char* const kRenderUsage =
    "usage: redi-render [OPTIONS] --modulator VOICE -o OUT\n"
    "       redi-render [OPTIONS]                  (renders the built-in demo, a spoken\n"
    "                                               phrase over chords, to redi-demo.wav)\n"
    "       redi-render [--bank F] [--program N] [--set ...] --list-params | --list-programs\n"
    "\n"
    "Vocodes the modulator (a voice) with REDI's synthesizer, played by the MIDI file or\n"
    "the held notes, plus the optional external carrier. Inputs: any file libsndfile reads\n"
    "(WAV, FLAC, OGG, AIFF, ...). The render lasts until the later of the modulator's end\n"
    "and the last MIDI event, plus the tail.\n"
    "\n"
    "  --modulator FILE      the voice (MIC inputs)\n"
    "  --carrier FILE        an external carrier (EXT inputs)\n"
    "  --midi FILE.mid       notes and controllers from a Standard MIDI File\n"
    "  --notes 48,55,60      notes held from the start (default: C minor, 48,55,60,63)\n"
    "  --program N           program 0-63 (see --list-programs)\n"
    "  --bank FILE.fxb       load a bank file first, as the plug-in's own loader does\n"
    "  --set \"NAME=VALUE\"    set a parameter in the terms --list-params shows:\n"
    "                        \"Final Volume=-6\" (dB), \"Vibrato Depth=50\" (%),\n"
    "                        \"Out Balance=30:70\", \"Ensemble=on\" (choices in any case)\n"
    "  --rate HZ             render at this rate (inputs are converted); default: the\n"
    "                        modulator's rate\n"
    "  --tail SECONDS        time rendered after the end (default 1)\n"
    "  --block N             frames per processing call (default 512)\n"
    "  -o, --output FILE     .wav, .flac, .ogg or .aiff, chosen by the name; - writes WAV\n"
    "                        to standard output\n"
    "  --sample-format F     16, 24 or float (default: float for WAV and AIFF, 24 for FLAC)\n"
    "  --wav-folder DIR      the folder of the WAV files programs 23-31 play (default: the\n"
    "                        REDI-wav folder beside the plug-in)\n"
    "  --plugin FILE.so      the plug-in (default: REDI64.so beside this program, in\n"
    "                        ../lib/vst or in ~/.vst)\n"
    "  -q, --quiet           no progress, warnings or summary; errors only\n"
    "  --version, -h/--help\n"
    "\n"
    "Messages go to standard error. Exit status: 0 done, 1 failed.\n";

namespace {

bool ParseInt(const std::string& text, int minimum, int maximum, int* value) {
  int v = 0;
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, v);
  if (result.ec != std::errc() || result.ptr != end || v < minimum || v > maximum) return false;
  *value = v;
  return true;
}

bool ParseNotes(const std::string& text, std::vector<int>* notes) {
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = text.find(',', start);
    const std::string item =
        text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    int note = 0;
    if (!ParseInt(item, 0, 127, &note)) return false;
    notes->push_back(note);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return !notes->empty();
}

bool ParseSeconds(const std::string& text, double* value) {
  double v = 0.0;
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, v, std::chars_format::fixed);
  if (text.empty() || result.ec != std::errc() || result.ptr != end || !(v >= 0.0 && v <= 60.0))
    return false;
  *value = v;
  return true;
}

}  // namespace

bool ParseRenderOptions(const std::vector<std::string>& args, RenderOptions* options,
                        std::string* error) {
  RenderOptions o;
  bool listed = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= args.size()) {
        *error = "option " + a + " needs a value";
        return false;
      }
      *out = args[++i];
      return true;
    };
    std::string v;
    if (a == "--help" || a == "-h" || a == "--version") {
      o.mode = a == "--version" ? RenderOptions::Mode::kVersion : RenderOptions::Mode::kHelp;
      *options = o;
      return true;
    } else if (a == "-q" || a == "--quiet") {
      o.quiet = true;
    } else if (a == "--wav-folder") {
      if (!value(&o.wavFolder)) return false;
    } else if (a == "--tail") {
      if (!value(&v)) return false;
      if (!ParseSeconds(v, &o.tail)) {
        *error = "bad --tail '" + v + "' (0-60 seconds)";
        return false;
      }
    } else if (a == "--sample-format") {
      if (!value(&v)) return false;
      if (v == "16" || v == "24" || v == "float") {
        o.sampleFormat = v == "16"   ? SampleFormat::kInteger16
                         : v == "24" ? SampleFormat::kInteger24
                                     : SampleFormat::kFloat32;
      } else {
        *error = "bad --sample-format '" + v + "' (16, 24 or float)";
        return false;
      }
    } else if (a == "--list-params") {
      o.mode = RenderOptions::Mode::kListParams;
      listed = true;
    } else if (a == "--list-programs") {
      o.mode = RenderOptions::Mode::kListPrograms;
      listed = true;
    } else if (a == "--plugin") {
      if (!value(&o.plugin)) return false;
    } else if (a == "--modulator") {
      if (!value(&o.modulator)) return false;
    } else if (a == "--carrier") {
      if (!value(&o.carrier)) return false;
    } else if (a == "--midi") {
      if (!value(&o.midiFile)) return false;
    } else if (a == "--notes") {
      if (!value(&v)) return false;
      if (!ParseNotes(v, &o.notes)) {
        *error = "bad --notes list '" + v + "' (MIDI note numbers 0-127, separated by commas)";
        return false;
      }
    } else if (a == "--program") {
      if (!value(&v)) return false;
      if (!ParseInt(v, 0, 63, &o.program)) {
        *error = "bad --program '" + v + "' (0-63)";
        return false;
      }
    } else if (a == "--bank") {
      if (!value(&o.bank)) return false;
    } else if (a == "--set") {
      if (!value(&v)) return false;
      const std::size_t eq = v.find('=');
      if (eq == std::string::npos || eq == 0) {
        *error = "bad --set '" + v + "' (expected NAME=VALUE)";
        return false;
      }
      o.settings.emplace_back(v.substr(0, eq), v.substr(eq + 1));
    } else if (a == "--rate") {
      int rate = 0;
      if (!value(&v)) return false;
      if (!ParseInt(v, 1000, 768000, &rate)) {
        *error = "bad --rate '" + v + "' (1000-768000 Hz)";
        return false;
      }
      o.rate = rate;
    } else if (a == "--block") {
      if (!value(&v)) return false;
      if (!ParseInt(v, 1, 65536, &o.block)) {
        *error = "bad --block '" + v + "' (1-65536 frames)";
        return false;
      }
    } else if (a == "-o" || a == "--output") {
      if (!value(&o.output)) return false;
    } else {
      *error = "unknown option '" + a + "' (see --help)";
      return false;
    }
  }
  if (!o.midiFile.empty() && !o.notes.empty()) {
    *error = "give either --midi or --notes, not both";
    return false;
  }
  if (!listed) {
    // Without a modulator the demo voice is the modulator (and a chord
    // progression the notes, unless notes are given).
    o.mode = o.modulator.empty() ? RenderOptions::Mode::kDemo : RenderOptions::Mode::kRender;
    if (o.output.empty()) {
      if (o.mode == RenderOptions::Mode::kRender) {
        *error = "no output file given (-o OUT.wav, or -o - for standard output)";
        return false;
      }
      o.output = "redi-demo.wav";
    }
  }
  *options = o;
  return true;
}
