#!/usr/bin/env python3
"""Packs the release zip from the built binaries: the same bytes from every build of one commit.

Usage: make-release-zip.py <repository> <folder with Vimlet.exe and vimlet.dll> <output folder>
Prints the zip's path and its SHA-256.
"""
import hashlib
import pathlib
import re
import subprocess
import sys
import zipfile

import release_files

# The earliest time a zip entry can carry; every entry gets it, so the build time never shows.
FIXED_TIME = (1980, 1, 1, 0, 0, 0)
UNIX = 3
FILE_MODE = 0o100644


def text_for_windows(path):
    return windows_text(path.read_text(encoding="utf-8"))


def windows_text(text):
    """UTF-8 with a byte-order mark and CR LF line ends, whatever the checkout did to the text."""
    text = text.replace("\r\n", "\n")
    return b"\xef\xbb\xbf" + text.replace("\n", "\r\n").encode("utf-8")


LINK = re.compile(r"\]\(([\w.-]+)\.(md|png)(#[^)\s]*)?\)")

# The fonts Windows ships for Japanese UI text; pandoc's default, Georgia, has no Japanese and
# leaves the page to a Mincho face.
JAPANESE_FONTS = '"Yu Gothic UI", Meiryo, sans-serif'


def html_page(text, language):
    """A Markdown page as a stand-alone HTML page: pandoc reads it from its input, so the page
    carries no path, and names no date. A line break between two Japanese characters is no
    space, as in Japanese text."""
    title = re.match(r"# (.+)", text).group(1)
    text = LINK.sub(lambda m: f"]({m[1]}.html{m[3] or ''})" if m[2] == "md" else m[0], text)
    fonts = [f"--variable=mainfont:{JAPANESE_FONTS}"] if language == "ja" else []
    return subprocess.run(
        ["pandoc", "--from=gfm+east_asian_line_breaks", "--to=html5", "--standalone",
         f"--metadata=pagetitle:{title}", f"--metadata=lang:{language}", *fonts],
        input=text.encode(), check=True, capture_output=True).stdout


def guides(repository):
    """The user guides as HTML pages with the pages and pictures they link to, in docs/."""
    docs = repository / "docs"
    contents = {}
    pending = ["guide.md", "guide.ja.md"]
    while pending:
        name = pending.pop()
        if not name.endswith(".md"):
            contents[f"docs/{name}"] = (docs / name).read_bytes()
            continue
        page = f"docs/{name[:-3]}.html"
        if page in contents:
            continue
        text = (docs / name).read_text(encoding="utf-8").replace("\r\n", "\n")
        contents[page] = html_page(text, "ja" if name.endswith(".ja.md") else "en")
        pending += [f"{m[1]}.{m[2]}" for m in LINK.finditer(text)]
    return contents


def main(repository, binaries, output):
    repository, binaries, output = map(pathlib.Path, (repository, binaries, output))
    version = (repository / "VERSION").read_text().split()[0]
    contents = {
        "Vimlet.exe": (binaries / "Vimlet.exe").read_bytes(),
        "vimlet.dll": (binaries / "vimlet.dll").read_bytes(),
        "LICENSE.txt": text_for_windows(repository / "LICENSE"),
        "README.txt": text_for_windows(repository / "package" / "README.txt"),
        "THIRD-PARTY-NOTICES.txt": windows_text(release_files.third_party_notices()),
        "BUILDINFO.txt": windows_text(release_files.build_info(version)),
        **guides(repository),
    }
    contents["SHA256SUMS"] = "".join(
        f"{hashlib.sha256(data).hexdigest()}  {name}\n" for name, data in sorted(contents.items())
    ).encode()

    output.mkdir(parents=True, exist_ok=True)
    zip_path = output / f"Vimlet-{version}.zip"
    with zipfile.ZipFile(zip_path, "w") as archive:
        for name in sorted(contents):
            entry = zipfile.ZipInfo(name, FIXED_TIME)
            entry.create_system = UNIX
            entry.external_attr = FILE_MODE << 16
            entry.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(entry, contents[name], compresslevel=9)
    print(zip_path)
    print(f"SHA-256 {hashlib.sha256(zip_path.read_bytes()).hexdigest()}")


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    main(*sys.argv[1:])
