#include "RenderOptions.h"

#include <charconv>
#include <cstdlib>

const char* const kRenderUsage =
    "usage: redi-render [--plugin PATH] --modulator IN.wav [--carrier EXT.wav]\n"
    "                   [--midi FILE.mid | --notes 48,52,55] [--program N] [--bank FILE.fxb]\n"
    "                   [--set \"NAME=VALUE\" ...] [--rate HZ] [--block N] -o OUT.wav\n"
    "       redi-render [--plugin PATH] --list-params | --list-programs\n"
    "       redi-render [OPTIONS]  (without --modulator: renders the built-in demo, a\n"
    "                               spoken phrase over a chord progression, to\n"
    "                               redi-demo.wav or -o OUT.wav)\n"
    "\n"
    "Vocodes the modulator (a voice) with REDI's synthesizer played by the MIDI file or the\n"
    "held notes, plus the optional external carrier, and writes the result as a WAV file.\n"
    "--set takes a parameter's exact name and a plain value (\"Final Volume=0.5\", \"Tune=-12\")\n"
    "or, for switches and lists, one of its display texts (\"Ensemble=on\").\n";

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
    if (a == "--help" || a == "-h") {
      o.mode = RenderOptions::Mode::kHelp;
      *options = o;
      return true;
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
        *error = "no output file given (-o OUT.wav)";
        return false;
      }
      o.output = "redi-demo.wav";
    }
  }
  *options = o;
  return true;
}
