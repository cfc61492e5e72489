#!/usr/bin/env python3
"""Makes the release package of one architecture, byte for byte the same from
the same commit whatever the folder, the time or the machine, and the winget
and Scoop manifests of every package in the release folder.

    package.py --version 0.1 --arch x86|x64 --repository URL --out BUILD_DIR
               --release-dir DIR FILE=NAME...

The zip holds NAME for each FILE, under one folder named after the package,
with a SHA256SUMS file; its entries are sorted and all carry one fixed date.
A Markdown FILE packed as NAME.html is rendered to one self-contained page
(Debian's python3-markdown), without the test markers; text files (.txt and
SHA256SUMS) get Windows line ends, for Notepad and for certutil.
The zip is copied into the release folder, beside the zips of the other
architectures built there, and the manifests are written anew from all of
them, with their real hashes and download addresses built from URL.
"""
import argparse
import glob
import hashlib
import json
import os
import re
import shutil
import sys
import zipfile

ARCHES = {"x86": ("win32", "32bit"), "x64": ("win64", "64bit")}
FIXED_DATE = (2000, 1, 1, 0, 0, 0)
PACKAGE_ID = "Quillex.Quillex"
DESCRIPTION = "List, Show, Hide, Close any Window"
LONG_DESCRIPTION = ("A console program for batch files and PowerShell scripts that lists, "
                    "shows, hides, minimizes, restores and closes other programs' windows and "
                    "presses buttons in them, with exit codes a script can test.")
PUBLISHER = "The Quillex developers"


def sha256(data):
    return hashlib.sha256(data).hexdigest()


# The guide's marks for its tests, which a reader has no use for.
TEST_MARKER = re.compile(r"^<!-- (?:scenario|batch|batch-output|powershell|powershell-only): [^\n]*-->\n", re.M)
# Each example's shell, from its fence's language.
SHELLS = {"cmd": "cmd.exe", "bat": "batch file", "powershell": "PowerShell"}
PAGE = """<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8" />
<meta name="viewport" content="width=device-width, initial-scale=1" />
<title>%(title)s</title>
<style>
body { font-family: "Segoe UI", Arial, sans-serif; line-height: 1.5; max-width: 52em;
       margin: 2em auto; padding: 0 1em; color: #1b1b1b; }
pre { background: #f3f3f3; border: 1px solid #ddd; padding: 0.6em; overflow-x: auto; }
code { font-family: Consolas, "Courier New", monospace; }
pre code::before { display: block; color: #666; font-size: 0.85em; margin-bottom: 0.3em; }
%(labels)s
table { border-collapse: collapse; }
th, td { border: 1px solid #ccc; padding: 0.3em 0.6em; text-align: left; vertical-align: top; }
</style>
</head>
<body>
%(body)s
</body>
</html>
"""


def render_guide(text, version):
    """The guide as one HTML page: headings with ids its links reach."""
    import markdown  # Debian's python3-markdown
    body = markdown.markdown(TEST_MARKER.sub("", text),
                             extensions=["fenced_code", "tables", "toc"])
    labels = "\n".join('pre code.language-%s::before { content: "%s"; }' % item
                       for item in sorted(SHELLS.items()))
    return (PAGE % {"title": "Quillex %s user's guide" % version, "labels": labels,
                    "body": body}).encode("utf-8")


def windows_lines(data):
    return data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")


def packed(path, name, version):
    """The bytes that go into the zip as name."""
    data = open(path, "rb").read()
    if path.endswith(".md") and name.endswith(".html"):
        return render_guide(data.decode("utf-8"), version)
    if name.endswith(".txt"):
        return windows_lines(data)
    return data


def package_name(version, arch):
    return "quillex-%s-%s" % (version, ARCHES[arch][0])


def make_zip(path, folder, files):
    """files: [(name in the zip, bytes)]."""
    sums = "".join("%s  %s\r\n" % (sha256(data), name) for name, data in sorted(files))
    entries = sorted(files + [("SHA256SUMS", sums.encode())])
    with zipfile.ZipFile(path + ".part", "w") as z:
        for name, data in entries:
            info = zipfile.ZipInfo(folder + "/" + name, FIXED_DATE)
            info.create_system = 0  # made on Windows: no Unix permissions recorded
            info.external_attr = 0x20  # archive bit, as Explorer sets it
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, data, compresslevel=9)
    os.replace(path + ".part", path)


def download_url(repository, version, zip_name):
    return "%s/releases/download/v%s/%s" % (repository.rstrip("/"), version, zip_name)


def built_packages(release_dir, version):
    """{arch: (zip name, sha256)} of the packages of this version there."""
    found = {}
    for arch in ARCHES:
        path = os.path.join(release_dir, package_name(version, arch) + ".zip")
        if os.path.exists(path):
            found[arch] = (os.path.basename(path), sha256(open(path, "rb").read()))
    return found


def yaml_manifest(schema, fields):
    head = "# yaml-language-server: $schema=https://aka.ms/winget-manifest.%s.1.12.0.schema.json\n\n"
    return head % schema + fields + "ManifestType: %s\nManifestVersion: 1.12.0\n" % schema


def winget_manifests(version, repository, packages):
    ident = "PackageIdentifier: %s\nPackageVersion: \"%s\"\n" % (PACKAGE_ID, version)
    installers = ""
    for arch, (zip_name, digest) in sorted(packages.items()):
        folder = zip_name[:-4]
        installers += (
            "  - Architecture: %s\n"
            "    InstallerUrl: %s\n"
            "    InstallerSha256: %s\n"
            "    NestedInstallerFiles:\n"
            "      - RelativeFilePath: %s\\quillex.exe\n"
            "        PortableCommandAlias: quillex\n"
            "      - RelativeFilePath: %s\\quillex-utf8.exe\n"
            "        PortableCommandAlias: quillex-utf8\n" % (
                arch, download_url(repository, version, zip_name), digest.upper(), folder,
                folder))
    locale = (
        "PackageLocale: en-US\n"
        "Publisher: %s\n"
        "PublisherUrl: %s\n"
        "PackageName: Quillex\n"
        "PackageUrl: %s\n"
        "License: MIT\n"
        "LicenseUrl: %s/blob/v%s/LICENSE\n"
        "ShortDescription: %s\n"
        "Description: %s\n"
        "Moniker: quillex\n"
        "Tags:\n  - windows\n  - window-manager\n  - batch\n  - cli\n" % (
            PUBLISHER, repository, repository, repository, version, DESCRIPTION,
            LONG_DESCRIPTION))
    return {
        PACKAGE_ID + ".yaml": yaml_manifest("version", ident + "DefaultLocale: en-US\n"),
        PACKAGE_ID + ".installer.yaml": yaml_manifest("installer", ident + (
            "InstallerType: zip\nNestedInstallerType: portable\nCommands:\n  - quillex\n"
            "  - quillex-utf8\nInstallers:\n") + installers),
        PACKAGE_ID + ".locale.en-US.yaml": yaml_manifest("defaultLocale", ident + locale),
    }


def scoop_manifest(version, repository, packages):
    def entry(arch, zip_name, digest):
        return {"url": download_url(repository, version, zip_name), "hash": digest,
                "extract_dir": zip_name[:-4]}

    def update(arch):
        name = "quillex-$version-%s" % ARCHES[arch][0]
        return {"url": download_url(repository, "$version", name + ".zip"), "extract_dir": name}

    manifest = {"version": version, "description": DESCRIPTION + ": " + LONG_DESCRIPTION,
                "homepage": repository, "license": "MIT"}
    if len(packages) == 1:
        (arch, (zip_name, digest)), = packages.items()
        manifest.update(entry(arch, zip_name, digest))
        autoupdate = update(arch)
    else:
        manifest["architecture"] = {ARCHES[a][1]: entry(a, *packages[a]) for a in sorted(packages)}
        autoupdate = {"architecture": {ARCHES[a][1]: update(a) for a in sorted(packages)}}
    manifest["bin"] = ["quillex.exe", "quillex-utf8.exe"]
    manifest["checkver"] = "github"
    manifest["autoupdate"] = autoupdate
    return json.dumps(manifest, indent=4) + "\n"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--version", required=True)
    ap.add_argument("--arch", required=True, choices=sorted(ARCHES))
    ap.add_argument("--repository", required=True)
    ap.add_argument("--out", required=True)
    ap.add_argument("--release-dir", required=True)
    ap.add_argument("files", nargs="+", help="PATH=NAME")
    args = ap.parse_args()
    if not re.fullmatch(r"https://[^\s]+", args.repository):
        sys.exit("package: the repository URL must be an https address, not %r" % args.repository)
    files = []
    for pair in args.files:
        path, name = pair.rsplit("=", 1)
        files.append((name, packed(path, name, args.version)))
    name = package_name(args.version, args.arch)
    zip_path = os.path.join(args.out, name + ".zip")
    make_zip(zip_path, name, files)
    os.makedirs(args.release_dir, exist_ok=True)
    shutil.copyfile(zip_path, os.path.join(args.release_dir, name + ".zip"))

    packages = built_packages(args.release_dir, args.version)
    outputs = dict(winget_manifests(args.version, args.repository, packages))
    outputs["quillex.json"] = scoop_manifest(args.version, args.repository, packages)
    outputs["SHA256SUMS"] = "".join("%s  %s\n" % (digest, zip_name)
                                    for zip_name, digest in sorted(packages.values()))
    for old in glob.glob(os.path.join(args.release_dir, "*.yaml")):
        os.unlink(old)
    for file_name, text in outputs.items():
        with open(os.path.join(args.release_dir, file_name), "w", newline="\n") as f:
            f.write(text)
    print("%s.zip: %d bytes, sha256 %s" % (name, os.path.getsize(zip_path),
                                           packages[args.arch][1]))
    print("manifests in %s for %s" % (args.release_dir, ", ".join(sorted(packages))))


if __name__ == "__main__":
    main()
