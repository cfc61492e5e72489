// The classic codes of console keys without a character: a lead byte, 0 or
// 0xE0 (the keys that the 101-key keyboard added), and a key code that
// depends on Shift, Ctrl and Alt, as console key reads have returned them
// since DOS. Shared by the Windows console, the simulated one and the test
// typist, which also know the keys by the names a person gives them.
#pragma once

namespace platform {

enum KeyModifier { kShift = 1, kCtrl = 2, kAlt = 4 };

// A key press as the console reports it.
struct KeyPress {
    unsigned virtual_key;
    bool enhanced;           // a key of the block the 101-key keyboard added
    unsigned modifiers;      // KeyModifier bits held with it
    unsigned char character; // 0 for a key without one
};

// What a read returns for a key without a character: true with the lead
// byte (or, for a few keys, a character) and the code kept for the next
// read (0 for none); false for a key the table does not hold, which a read
// skips.
bool classic_key_code(const KeyPress &key, int &lead, int &code);

// A key by its name: a character, or a name such as "f1", "up", "pgdn",
// "volume-up", each optionally after "shift+", "ctrl+" and "alt+"
// ("ctrl+c" is the character 3, "ctrl+2" has none). False for a name
// that is not known.
bool key_by_name(const char *name, KeyPress &key);

} // namespace platform
