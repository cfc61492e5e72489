#!/usr/bin/env python3
"""Checks the release build of each Windows preset:

- reproducible: built twice, from two copies of the sources in different
  folders into different build folders at different times, every exe and
  the zip come out byte for byte the same, and no exe holds a path of the
  machine that built it;
- every exe carries its version information and its application manifest
  (read back out of the exe): runs as invoker, the supported Windows
  versions, per-monitor DPI aware (window places are the screen's pixels),
  and UTF-8 as active code page in quillex-utf8.exe only;
- every exe is at most 54 KiB;
- the package holds both exes, the user's guide as one HTML page (which
  parses, carries no test markers, and whose every in-page link reaches its
  target), the readme for Windows users, the license and a SHA256SUMS file
  that matches them, the text files with Windows line ends;
- the winget and Scoop manifests made beside the packages validate against
  the official schemas (tests/release/schemas) and name each zip's real
  hash and file name: for one architecture after the first preset, for
  both after the second.

    check_release.py [PRESET...]     (default: win32-i686 win32-x86_64)
"""
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, HERE)
import pe_resources  # noqa: E402

EXES = ("quillex.exe", "quillex-utf8.exe")
DOCUMENTS = ("guide.html", "README.txt", "LICENSE.txt")
TEXT_FILES = ("README.txt", "LICENSE.txt", "SHA256SUMS")
COPYRIGHT = "Copyright (c) 2026 The Quillex developers. MIT License."
ARCH_OF = {"win32-i686": "x86", "win32-x86_64": "x64"}
REPOSITORY = "https://example.org/quillex"
SIZE_LIMIT = 54 * 1024
SUPPORTED_OS = ("e2011457-1546-43c5-a5fe-008deee3d3f0", "35138b9a-5d96-4fbd-8e2d-a2440225f93a",
                "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38", "1f676c76-80e1-4239-95bb-83d0f6d0da78",
                "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a")
UTF8_SETTING = ('<activeCodePage xmlns="http://schemas.microsoft.com/SMI/2019/WindowsSettings">'
                'UTF-8</activeCodePage>')

sys.path.insert(0, os.path.join(HERE, "..", "wine"))
from suite import Report  # noqa: E402

report = Report()


def check(what, ok, seen=""):
    report.check(what, ok, seen or None)


def project_version():
    text = open(os.path.join(ROOT, "CMakeLists.txt")).read()
    return re.search(r"project\(quillex VERSION ([\d.]+)", text).group(1)


def copy_sources(target):
    """The project's files, without builds or history."""
    def ignore(folder, names):
        return [n for n in names if n in (".git", "build", "__pycache__")]
    shutil.copytree(ROOT, target, ignore=ignore)


def build(source, folder, preset, release_dir):
    for argv in (["cmake", "--preset", preset, "-B", folder, "-DQUILLEX_RELEASE_DIR=" + release_dir,
                  "-DQUILLEX_REPOSITORY_URL=" + REPOSITORY],
                 ["cmake", "--build", folder, "--target", "package"]):
        p = subprocess.run(argv, cwd=source, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if p.returncode != 0:
            raise RuntimeError("%s failed:\n%s" % (" ".join(argv), p.stdout.decode()[-3000:]))
    return [os.path.join(folder, "tool", e) for e in EXES] + \
        [os.path.join(folder, n) for n in os.listdir(folder) if n.endswith(".zip")]


def sha256(path):
    return hashlib.sha256(open(path, "rb").read()).hexdigest()


def check_reproducible(preset, tmp, release_dir):
    first = build(ROOT, os.path.join(tmp, "first-build"), preset, release_dir)
    time.sleep(2)  # another clock
    source = os.path.join(tmp, "elsewhere", "sources")
    copy_sources(source)
    second = build(source, os.path.join(tmp, "second", "build"), preset,
                   os.path.join(tmp, "second", "release"))
    for a, b in zip(first, second):
        name = os.path.basename(a)
        same = open(a, "rb").read() == open(b, "rb").read()
        check("%s: %s built twice is the same bytes" % (preset, name), same,
              "sha256 %s" % sha256(a) if same else "%s and %s" % (sha256(a), sha256(b)))
    for exe in first[:len(EXES)] + second[:len(EXES)]:
        data = open(exe, "rb").read()
        paths = [p for p in (ROOT, tmp) if p.encode() in data]
        check("%s: %s holds no build machine path" % (preset, os.path.basename(exe)),
              not paths, ", ".join(paths))
    return first


def check_resources(preset, exe, version):
    name = os.path.basename(exe)
    strings, fixed = pe_resources.version_strings(exe) or ({}, None)
    numbers = tuple(int(n) for n in (version.split(".") + ["0", "0", "0"])[:4])
    check("%s: %s version information" % (preset, name),
          strings.get("FileDescription") == "List, Show, Hide, Close any Window"
          and strings.get("ProductName") == "Quillex"
          and strings.get("ProductVersion") == version
          and strings.get("OriginalFilename") == name and fixed == numbers
          and strings.get("LegalCopyright") == COPYRIGHT,
          "%s %s" % (fixed, strings))
    manifest = pe_resources.manifest(exe) or ""
    check("%s: %s manifest runs as invoker, on Windows Vista to 11" % (preset, name),
          'level="asInvoker"' in manifest and all(g in manifest for g in SUPPORTED_OS))
    check("%s: %s manifest declares per-monitor DPI awareness" % (preset, name),
          ">true/pm</dpiAware>" in manifest and ">PerMonitorV2, PerMonitor</dpiAwareness>" in manifest)
    check("%s: %s manifest %s UTF-8 as its code page" % (
        preset, name, "declares" if "utf8" in name else "leaves out"),
        (UTF8_SETTING in manifest) == ("utf8" in name))


def check_package(preset, package, exes):
    with zipfile.ZipFile(package) as z:
        names = sorted(z.namelist())
        top = os.path.basename(package)[:-4]
        wanted = sorted(top + "/" + n for n in EXES + DOCUMENTS + ("SHA256SUMS",))
        check("%s: %s holds the exes, the guide, the readme, the license and SHA256SUMS" % (
            preset, os.path.basename(package)), names == wanted, ", ".join(names))
        sums = dict(reversed(l.split("  ")) for l in
                    z.read(top + "/SHA256SUMS").decode().splitlines())
        right = all(hashlib.sha256(z.read(top + "/" + n)).hexdigest() == h
                    for n, h in sums.items())
        check("%s: SHA256SUMS matches the packaged files" % preset,
              right and sorted(sums) == sorted(n.split("/")[1] for n in wanted
                                               if not n.endswith("/SHA256SUMS")))
        bare = [n for n in TEXT_FILES if re.search(rb"(?<!\r)\n", z.read(top + "/" + n))]
        check("%s: the text files have Windows line ends" % preset, not bare, ", ".join(bare))
        check_guide_page(preset, z.read(top + "/guide.html"))
    for exe in exes:
        size = os.path.getsize(exe)
        check("%s: %s is at most 54 KiB" % (preset, os.path.basename(exe)), size <= SIZE_LIMIT,
              "%d bytes" % size)


def check_guide_page(preset, page):
    import xml.etree.ElementTree as ET
    try:
        root = ET.fromstring(page)
    except ET.ParseError as e:
        check("%s: guide.html parses" % preset, False, str(e))
        return
    ids = {e.get("id") for e in root.iter() if e.get("id")}
    links = [e.get("href")[1:] for e in root.iter("a") if (e.get("href") or "").startswith("#")]
    broken = sorted(set(l for l in links if l not in ids))
    check("%s: guide.html parses; its %d in-page links all reach a heading" % (preset, len(links)),
          links and not broken, ", ".join(broken))
    check("%s: guide.html has no test markers" % preset, b"<!--" not in page)
    # A command reference's order: syntax, parameters (a table with a row
    # per switch), exit codes, output, remarks, scheduled tasks, related
    # commands, examples, recipes.
    order = [e.get("id") for e in root.iter("h2")]
    rows = [r for t in root.iter("table") for r in t.iter("tr")
            if "".join(r.itertext()).strip().startswith("/exist")]
    check("%s: guide.html opens with the syntax and the parameters, then exit codes, output, "
          "remarks, scheduled tasks, related commands, examples and recipes" % preset,
          order == ["syntax", "parameters", "exit-codes", "output", "remarks", "scheduled-tasks",
                    "related-commands", "examples", "recipes"] and rows, " ".join(order))


def validate(schema_file, document):
    import jsonschema  # Debian's python3-jsonschema
    schema = json.load(open(os.path.join(HERE, "schemas", schema_file)))
    errors = sorted(jsonschema.Draft7Validator(schema).iter_errors(document), key=str)
    return "; ".join(e.message for e in errors[:3])


def check_manifests(release_dir, version, packages):
    """packages: {arch: zip path} of the builds made into release_dir."""
    import yaml  # Debian's python3-yaml
    arches = "+".join(sorted(packages))
    hashes = {a: sha256(p) for a, p in packages.items()}
    urls = {a: "%s/releases/download/v%s/%s" % (REPOSITORY, version, os.path.basename(p))
            for a, p in packages.items()}
    winget = {}
    for kind, file_name in (("version", "Quillex.Quillex.yaml"),
                            ("installer", "Quillex.Quillex.installer.yaml"),
                            ("defaultLocale", "Quillex.Quillex.locale.en-US.yaml")):
        winget[kind] = yaml.safe_load(open(os.path.join(release_dir, file_name)))
        problems = validate("winget-1.12.0/manifest.%s.1.12.0.json" % kind, winget[kind])
        check("%s: winget %s manifest validates" % (arches, kind), not problems, problems)
    installers = {i["Architecture"]: i for i in winget["installer"]["Installers"]}
    check("%s: winget installers name each zip's address and hash" % arches,
          sorted(installers) == sorted(packages) and all(
              installers[a]["InstallerUrl"] == urls[a]
              and installers[a]["InstallerSha256"].lower() == hashes[a] for a in packages),
          str(installers))
    check("%s: winget installs quillex.exe as the command quillex" % arches, all(
        {"RelativeFilePath": os.path.basename(p)[:-4] + "\\quillex.exe",
         "PortableCommandAlias": "quillex"} in installers[a]["NestedInstallerFiles"]
        for a, p in packages.items()) and winget["defaultLocale"]["License"] == "MIT")
    scoop = json.load(open(os.path.join(release_dir, "quillex.json")))
    problems = validate("scoop/schema.json", scoop)
    check("%s: Scoop manifest validates" % arches, not problems, problems)
    names = {"x86": "32bit", "x64": "64bit"}
    entries = ({names[a]: scoop["architecture"][names[a]] for a in packages}
               if len(packages) > 1 else {names[a]: scoop for a in packages})
    check("%s: Scoop names each zip's address and hash" % arches, all(
        entries[names[a]]["url"] == urls[a] and entries[names[a]]["hash"] == hashes[a]
        for a in packages) and scoop["license"] == "MIT", str(entries))
    sums = open(os.path.join(release_dir, "SHA256SUMS")).read()
    check("%s: the release folder's SHA256SUMS lists the zips" % arches, sums == "".join(
        "%s  %s\n" % (hashes[a], os.path.basename(packages[a]))
        for a in sorted(packages, key=lambda a: os.path.basename(packages[a]))), sums)


def main():
    presets = sys.argv[1:] or ["win32-i686", "win32-x86_64"]
    version = project_version()
    with tempfile.TemporaryDirectory(prefix="release") as root:
        release_dir = os.path.join(root, "release")
        packages = {}
        for preset in presets:
            tmp = os.path.join(root, preset)
            try:
                built = check_reproducible(preset, tmp, release_dir)
            except RuntimeError as e:
                check("%s: builds" % preset, False, str(e))
                continue
            exes, package = built[:len(EXES)], built[len(EXES)]
            for exe in exes:
                check_resources(preset, exe, version)
            check_package(preset, package, exes)
            print("# %s: %d bytes, sha256 %s" % (os.path.basename(package),
                                                 os.path.getsize(package), sha256(package)))
            packages[ARCH_OF[preset]] = package
            check_manifests(release_dir, version, packages)
    return report.close()


if __name__ == "__main__":
    sys.exit(main())
