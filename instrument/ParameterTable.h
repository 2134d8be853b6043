#pragma once

class IPlugBase;

// The vocoder's 107 parameters: set-up of every record and the display
// formatters some of them use. REDI::InitParameters applies the table.
void DefineVocoderParameters(IPlugBase& plug);

// Display formatters: plain value in, text of at most 32 bytes out.
void FormatDecibels(double value, char* text);    // "-oo" at 0 or below, else "%.1f" dB
void FormatOutBalance(double value, char* text);  // "Simulator" (0), "Mic" (1), else "70:30"
void FormatInBalance(double value, char* text);   // "KBD" (0), "Noise" (1), else "70:30"
void FormatPercent(double value, char* text);     // "35%"
