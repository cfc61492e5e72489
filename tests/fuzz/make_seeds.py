#!/usr/bin/env python3
"""Writes the fuzz seed corpus from the scenario corpus and the parser's edge
cases. Run from anywhere; rewrites tests/fuzz/seeds/."""
import glob
import hashlib
import os

HERE = os.path.dirname(os.path.abspath(__file__))
SCENARIOS = os.path.join(HERE, "..", "scenarios", "corpus", "*.scn")

EDGE_TEXTS = [
    "/win:abc /dook:3 /nohide", "Notepad /show", "/show Notepad", "/foo /show", "/foo Bar",
    "abc def", "abc def/show", "/windowname:abc def", '/windowname:"My Window" /-show /l',
    '"a""b" /close', "/windowname:a/b", '/windowname:"a b"/show', "/windowname:  /show",
    '"unterminated text', "/", "/:5", "/=5", "/dook5", "/dook:x", "/DOOK=7", "/-dook:4",
    "/hide:yes", "/noshow", "/-noshow", "/nonoshow", "/show /noshow", "/no", "/noxyz", "??",
    "/??", "???", "/???", "?", "??x", "/nohide ???", " abc", "/dook:0x10", "/dook:-2",
    "/exact /exac /sho /ninecharsplus /never /ab /opt /opt=v /big:x /preset:y",
    "/int:5 /pair:3,4 /pct:9% /five:1 2 3 4 5 /textnum:ab12 /hexoct:ff 17 /small:300/7",
    "/float:1.5 2.5 /chars:abcd /set:abc]x /count:12 /skip:1 2 /plain /percent:% /four:1 2 3 4",
    "/star:x 0x10 /wide:ab c /broken:1 /text:t ??? /r0 /r99 /r100:z /??",
    "/st /wa:5 /g /he /lik /a /ha:1002A /j /wait 10 /nowait:5 /sta /gx /ab /likx /handle /helpme",
]


def write(target, data):
    folder = os.path.join(HERE, "seeds", target)
    os.makedirs(folder, exist_ok=True)
    name = hashlib.sha1(data).hexdigest()[:16]
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def main():
    lines, titles = [], []
    for path in sorted(glob.glob(SCENARIOS)):
        with open(path, encoding="latin-1") as f:
            for line in f:
                if line.startswith("cmdline "):
                    lines.append(line[8:].rstrip("\n").encode("latin-1"))
                if line.startswith(("window ", "child ")) and line.count('"') >= 2:
                    titles.append(line.split('"', 1)[1].rsplit('"', 1)[0])
    # Titles as UTF-16 (their bytes taken as UTF-8 where they are), for the
    # JSON writer alone and as the title a pattern of the same corpus meets.
    patterns = ["*", "?", "*Notepad*", "Report ?", "*?*", "a*b*c", "\ud83d*", "*\ud800"]
    for title in sorted(set(titles))[:12]:
        wide = title.encode("latin-1").decode("utf-8", "replace").encode("utf-16-le",
                                                                          "surrogatepass")
        write("fuzz_json_string", wide)
        for pattern in patterns:
            unit = pattern.encode("utf-16-le", "surrogatepass")
            write("fuzz_title_pattern", bytes([len(unit) // 2]) + unit + wide)
    for line in lines:
        write("fuzz_command_line_tail", line)
        tail = line.split(b".exe", 1)[1][1:] if b".exe" in line else line.partition(b" ")[2]
        write("fuzz_parse_switches", b"\x00" + tail)
        write("fuzz_next_token", tail)
    for i, text in enumerate(EDGE_TEXTS):
        data = text.encode("latin-1")
        for table in range(5):
            write("fuzz_parse_switches", bytes([table]) + data)
        write("fuzz_next_token", data)
        write("fuzz_command_line_tail", b"quillex.exe " + data)
    # Several arguments: NUL bytes separate them.
    write("fuzz_parse_switches", b'\x00/win:"ab\x00cd" /hide\x00/??')
    write("fuzz_command_line_tail", b"quillex app.exe")
    write("fuzz_command_line_tail", b'"C:\\Program Files\\QUILLEX.EXE" /hide')


if __name__ == "__main__":
    main()
