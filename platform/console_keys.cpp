// The classic key codes and the key names.
#include "console_keys.h"

#include <ctype.h>
#include <stdlib.h>
#include <string.h>

namespace platform {

namespace {

// A lead byte and the code kept for the next read; {0, 0}: no code.
struct Code {
    unsigned char lead, code;
};

// One key: its codes alone, with Shift, with Ctrl and with Alt (Alt wins
// over Ctrl, Ctrl over Shift).
struct ClassicKey {
    unsigned char virtual_key;
    bool enhanced;
    Code plain, shift, ctrl, alt;
};

const unsigned char E0 = 0xE0;
const Code kNone = {0, 0};

// The documented codes of the PC keyboard. Keys that carry a character
// (letters, digits, Enter, Esc...) are read as that character and never
// come here, but for the few combinations that carry none: Ctrl+2 (code 3,
// as Ctrl+C), Shift+Tab, and the numeric keypad with NumLock off, where
// Shift gives the digit. A key not listed (F13-F24, volume and IME keys,
// lone modifiers) has no code.
const ClassicKey kClassicKeys[] = {
    {0x70, false, {0, 59}, {0, 84}, {0, 94}, {0, 104}},   // F1
    {0x71, false, {0, 60}, {0, 85}, {0, 95}, {0, 105}},   // F2
    {0x72, false, {0, 61}, {0, 86}, {0, 96}, {0, 106}},   // F3
    {0x73, false, {0, 62}, {0, 87}, {0, 97}, {0, 107}},   // F4
    {0x74, false, {0, 63}, {0, 88}, {0, 98}, {0, 108}},   // F5
    {0x75, false, {0, 64}, {0, 89}, {0, 99}, {0, 109}},   // F6
    {0x76, false, {0, 65}, {0, 90}, {0, 100}, {0, 110}},  // F7
    {0x77, false, {0, 66}, {0, 91}, {0, 101}, {0, 111}},  // F8
    {0x78, false, {0, 67}, {0, 92}, {0, 102}, {0, 112}},  // F9
    {0x79, false, {0, 68}, {0, 93}, {0, 103}, {0, 113}},  // F10
    {0x7A, false, {E0, 133}, {E0, 135}, {E0, 137}, {E0, 139}}, // F11
    {0x7B, false, {E0, 134}, {E0, 136}, {E0, 138}, {E0, 140}}, // F12
    // The cursor block of the 101-key keyboard.
    {0x24, true, {E0, 71}, {E0, 71}, {E0, 119}, {0, 151}},  // Home
    {0x26, true, {E0, 72}, {E0, 72}, {E0, 141}, {0, 152}},  // Up
    {0x21, true, {E0, 73}, {E0, 73}, {E0, 132}, {0, 153}},  // Page Up
    {0x25, true, {E0, 75}, {E0, 75}, {E0, 115}, {0, 155}},  // Left
    {0x27, true, {E0, 77}, {E0, 77}, {E0, 116}, {0, 157}},  // Right
    {0x23, true, {E0, 79}, {E0, 79}, {E0, 117}, {0, 159}},  // End
    {0x28, true, {E0, 80}, {E0, 80}, {E0, 145}, {0, 160}},  // Down
    {0x22, true, {E0, 81}, {E0, 81}, {E0, 118}, {0, 161}},  // Page Down
    {0x2D, true, {E0, 82}, {E0, 82}, {E0, 146}, {0, 162}},  // Insert
    {0x2E, true, {E0, 83}, {E0, 83}, {E0, 147}, {0, 163}},  // Delete
    // The numeric keypad with NumLock off.
    {0x24, false, {0, 71}, {'7', 0}, {0, 119}, kNone},
    {0x26, false, {0, 72}, {'8', 0}, {0, 141}, kNone},
    {0x21, false, {0, 73}, {'9', 0}, {0, 132}, kNone},
    {0x25, false, {0, 75}, {'4', 0}, {0, 115}, kNone},
    {0x0C, false, kNone, {'5', 0}, {0, 143}, kNone},
    {0x27, false, {0, 77}, {'6', 0}, {0, 116}, kNone},
    {0x23, false, {0, 79}, {'1', 0}, {0, 117}, kNone},
    {0x28, false, {0, 80}, {'2', 0}, {0, 145}, kNone},
    {0x22, false, {0, 81}, {'3', 0}, {0, 118}, kNone},
    {0x2D, false, {0, 82}, {'0', 0}, {0, 146}, kNone},
    {0x2E, false, {0, 83}, {'.', 0}, {0, 147}, kNone},
    {0x6A, false, {'*', 0}, {'*', 0}, {0, 150}, {0, 55}},   // keypad *
    {0x6D, false, {'-', 0}, {'-', 0}, {0, 142}, {0, 74}},   // keypad -
    {0x6B, false, {'+', 0}, {'+', 0}, {0, 144}, {0, 78}},   // keypad +
    {0x6F, true, {'/', 0}, {'/', 0}, {0, 149}, {0, 164}},   // keypad /
    {0x0D, true, {13, 0}, {13, 0}, {10, 0}, {0, 166}},      // keypad Enter
    {0x0D, false, {13, 0}, {13, 0}, {10, 0}, {0, 28}},      // Enter
    {0x09, false, {9, 0}, {0, 15}, {0, 148}, {0, 165}},     // Tab
    {0x08, false, {8, 0}, {8, 0}, {127, 0}, {0, 14}},       // Backspace
    {0x1B, false, {27, 0}, {27, 0}, {27, 0}, {0, 1}},       // Esc
    {'2', false, kNone, kNone, {0, 3}, kNone},
};

// Keys by name; a name not here is a character, or "f" and a number.
struct NamedKey {
    const char *name;
    unsigned char virtual_key;
    bool enhanced;
    unsigned char character;
};

const NamedKey kNamedKeys[] = {
    {"enter", 0x0D, false, 13},  {"esc", 0x1B, false, 27},    {"space", 0x20, false, ' '},
    {"tab", 0x09, false, 9},     {"backspace", 0x08, false, 8},
    {"home", 0x24, true, 0},     {"up", 0x26, true, 0},       {"pgup", 0x21, true, 0},
    {"left", 0x25, true, 0},     {"right", 0x27, true, 0},    {"end", 0x23, true, 0},
    {"down", 0x28, true, 0},     {"pgdn", 0x22, true, 0},     {"ins", 0x2D, true, 0},
    {"del", 0x2E, true, 0},      {"num-home", 0x24, false, 0}, {"num-up", 0x26, false, 0},
    {"num-5", 0x0C, false, 0},   {"num-del", 0x2E, false, 0}, {"volume-mute", 0xAD, true, 0},
    {"volume-down", 0xAE, true, 0}, {"volume-up", 0xAF, true, 0},
};

const struct {
    const char *prefix;
    unsigned modifier;
} kModifierNames[] = {{"shift+", kShift}, {"ctrl+", kCtrl}, {"alt+", kAlt}};

bool function_key(const char *name, KeyPress &key) {
    if (name[0] != 'f' || !isdigit(static_cast<unsigned char>(name[1]))) return false;
    char *end;
    const long n = strtol(name + 1, &end, 10);
    if (*end || n < 1 || n > 24) return false;
    key.virtual_key = 0x6F + static_cast<unsigned>(n);
    return true;
}

} // namespace

bool classic_key_code(const KeyPress &key, int &lead, int &code) {
    for (const ClassicKey &k : kClassicKeys) {
        if (k.virtual_key != key.virtual_key || k.enhanced != key.enhanced) continue;
        const Code &c = key.modifiers & kAlt    ? k.alt
                        : key.modifiers & kCtrl  ? k.ctrl
                        : key.modifiers & kShift ? k.shift
                                                 : k.plain;
        if (c.lead == 0 && c.code == 0) return false;
        lead = c.lead;
        code = c.code;
        return true;
    }
    return false;
}

bool key_by_name(const char *name, KeyPress &key) {
    key = KeyPress{0, false, 0, 0};
    for (bool more = true; more;) {
        more = false;
        for (const auto &m : kModifierNames) {
            const size_t n = strlen(m.prefix);
            if (strncmp(name, m.prefix, n) == 0 && name[n]) {
                key.modifiers |= m.modifier;
                name += n;
                more = true;
            }
        }
    }
    for (const NamedKey &k : kNamedKeys) {
        if (strcmp(name, k.name) != 0) continue;
        key.virtual_key = k.virtual_key;
        key.enhanced = k.enhanced;
        key.character = k.character;
        return true;
    }
    if (function_key(name, key)) return true;
    if (!name[0] || name[1]) return false;
    // A character key: Ctrl makes a letter a control character and leaves
    // a digit without one; Shift and Alt leave the character as it is.
    const unsigned char c = static_cast<unsigned char>(name[0]);
    key.virtual_key = isalnum(c) ? static_cast<unsigned>(toupper(c)) : 0;
    key.character = c;
    if (key.modifiers & kCtrl) key.character = isalpha(c) ? (toupper(c) & 0x1F) : 0;
    else if (key.modifiers & kShift) key.character = static_cast<unsigned char>(toupper(c));
    return true;
}

} // namespace platform
