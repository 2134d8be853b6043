// Writes a fixed sequence of INI changes into files in the given folder and
// prints what reading them back gives. Built for both the native and the
// Windows tree, so the two outputs can be compared byte for byte (after
// dropping the CRs of Windows line ends).
#include <cstdio>
#include <string>

#include "framework/platform/IniFile.h"

namespace {

void Print(const char* section, const char* key, int maxChars, const std::string& path) {
  const std::string value = IniFile::GetString(section, key, "(missing)", maxChars, path);
  std::printf("[%s] %s (%d) = <%s>\n", section, key, maxChars, value.c_str());
}

// Settings file as the plug-in writes it: start-up bank, switches, controllers.
void WritePluginSequence(const std::string& path) {
  if (std::FILE* file = std::fopen(path.c_str(), "wb")) std::fclose(file);
  IniFile::WriteSection("Startup Bank", "", path);
  IniFile::WriteString("Startup Bank", "File", "", path);
  IniFile::WriteString("MIDI Global", "MIDI Thru", "false", path);
  IniFile::WriteString("MIDI Global", "Ignore Program Change", "false", path);
  IniFile::WriteSection("MIDI Control", "", path);
  IniFile::WriteString("MIDI Control", "CC7", "12", path);
  IniFile::WriteString("MIDI Control", "CC119", "106", path);
  IniFile::WriteString("Global", "Path to WAV Files", "C:\\Samples\\Voices", path);
  IniFile::WriteString("Global", "Path to Program Files", std::string(70, 'p').c_str(), path);
  IniFile::WriteSection("Startup Bank", "", path);
  IniFile::WriteString("Startup Bank", "File", "D:\\Banks\\start.fxb", path);
  IniFile::WriteString("MIDI Global", "MIDI Thru", "true", path);
  IniFile::WriteSection("MIDI Control", "", path);
  IniFile::WriteString("MIDI Control", "CC1", "0", path);
  IniFile::WriteSection("Startup Bank", "", path);

  Print("Startup Bank", "File", 258, path);
  Print("MIDI Global", "MIDI Thru", 63, path);
  Print("midi global", "IGNORE PROGRAM CHANGE", 63, path);
  Print("MIDI Control", "CC1", 63, path);
  Print("MIDI Control", "CC7", 63, path);
  Print("Global", "Path to Program Files", 63, path);
  Print("Global", "Path to WAV Files", 5, path);
}

// The writer's rules on a file that does not exist yet.
void WriteGeneralSequence(const std::string& path) {
  std::remove(path.c_str());
  IniFile::WriteString("First", "a", "1", path);
  IniFile::WriteString("Second", "b", "2", path);
  IniFile::WriteString("first", "A", "one", path);
  IniFile::WriteString("FIRST", "c", "3", path);
  IniFile::WriteString("Second", "quoted", "\"in quotes\"", path);
  IniFile::WriteString("Second", "single", "'x'", path);
  IniFile::WriteString("Second", "empty", "", path);
  IniFile::WriteString("Second", "inner space", "a  b", path);
  IniFile::WriteSection("Third", "k=v\0l=w\0", path);
  IniFile::WriteSection("Second", "", path);
  IniFile::WriteSection("Missing", "", path);
  IniFile::WriteString("Second", "after", "clear", path);
  IniFile::WriteString("Third", "padded", "  both sides  ", path);
  IniFile::WriteString("  Third ", " spaced key ", "x", path);
  IniFile::WriteSection("Fourth", "m=  body value\0no equals sign\0", path);

  Print("First", "a", 63, path);
  Print("First", "c", 63, path);
  Print("Second", "after", 63, path);
  Print("Second", "quoted", 63, path);
  Print("Third", "L", 63, path);
  Print("Missing", "x", 63, path);
  Print("Third", "padded", 63, path);
  Print("Fourth", "m", 63, path);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
#ifdef _WIN32
  const std::string separator = "\\";
#else
  const std::string separator = "/";
#endif
  WritePluginSequence(folder + separator + "plugin.ini");
  WriteGeneralSequence(folder + separator + "general.ini");
  return 0;
}
