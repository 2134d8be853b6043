#pragma once

#include <cstddef>

// Text helpers shared by every fixed-size field and every number the plug-in
// shows or reads. Numbers always use a decimal point, whatever locale the host
// process has set.

// Copies src into dst (dstSize bytes), cut so that no UTF-8 sequence is split,
// always terminated. A null src copies the empty text. Returns dst.
char* CopyText(char* dst, std::size_t dstSize, const char* src);

// Length of the longest prefix of src (at most maxBytes) that ends on a UTF-8
// character boundary.
std::size_t Utf8FitLength(const char* src, std::size_t maxBytes);

// "%.*f" with a decimal point; writes at most size bytes, terminated.
// Returns the number of characters written (without the terminator).
int FormatFixed(char* dst, std::size_t size, double value, int precision);

// Reads the longest leading decimal number after leading white space
// (point as separator, optional sign and exponent). Returns false when no
// number is there; *value is then 0.
bool ParseLeadingNumber(const char* text, double* value);

// Case-insensitive (ASCII) comparison for equality.
bool EqualsIgnoringCase(const char* a, const char* b);
