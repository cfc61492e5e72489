// Text on the simulated desktop: a scenario's bytes (UTF-8, or Windows-1252)
// as the UTF-16 that the system's W calls give, back into the ANSI code
// page as the A calls give it, and case as the system compares titles.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

namespace sim {

// Bytes as UTF-16: UTF-8 when utf8, else Windows-1252.
std::u16string utf16_of(const std::string &bytes, bool utf8);
// UTF-16 as Windows-1252 bytes, "?" for each unit of what that code page
// lacks (the system's best-fit look-alikes are not simulated); lost
// (when given) gets one mark per byte, 1 where a character was lost.
std::string cp1252_of(const std::u16string &text, std::vector<unsigned char> *lost = nullptr);
// Copies UTF-16 text as the system's W calls do; returns the units copied.
int copy_utf16(const std::u16string &text, uint16_t *buffer, int size);
// Upper case for the letters the scenarios use: ASCII, Latin-1, Greek and
// Cyrillic.
uint16_t upper(uint16_t c);
// Whether two texts are the same but for case.
bool same_but_case(const std::u16string &a, const std::u16string &b);
// UTF-16 text with every unit beyond ASCII as "?", for the trace.
std::string ascii_of(const uint16_t *text);

} // namespace sim
