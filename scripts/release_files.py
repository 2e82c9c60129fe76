"""The release zip's files that come from the build machine rather than the repository: the
notices of the runtime code linked into the binaries, and the toolchain that made the bytes."""
import pathlib
import re
import subprocess
import sys
import zlib

DOC = pathlib.Path("/usr/share/doc")
MINGW_COPYRIGHT = DOC / "mingw-w64-x86-64-dev" / "copyright"
GCC_COPYRIGHT = DOC / "gcc-mingw-w64-base" / "copyright"

# The paragraphs of the MinGW-w64 copyright file that cover code the link takes in besides
# public-domain files: the runtime as a whole, printf's number conversion (gdtoa) and the POSIX
# threads under libstdc++.
MINGW_PARAGRAPHS = [
    "*",
    "mingw-w64-crt/gdtoa/*",
    "mingw-w64-libraries/winpthreads/*",
    "mingw-w64-libraries/winpthreads/include/pthread.h",
]

# What the bytes of the two binaries and the guides' pages depend on; the zip's also depend on
# Python's zlib.
TOOLCHAIN_PACKAGES = [
    "g++-mingw-w64-x86-64-posix",
    "gcc-mingw-w64-x86-64-posix",
    "gcc-mingw-w64-base",
    "mingw-w64-x86-64-dev",
    "mingw-w64-common",
    "binutils-mingw-w64-x86-64",
    "cmake",
    "ninja-build",
    "pandoc",
]

INTRO = """\
Third-party notices
===================

Vimlet.exe contains code of the following runtime libraries, linked statically by the
MinGW-w64 GCC cross compiler: the MinGW-w64 C runtime start-up code and libmingwex, the
MinGW-w64 POSIX threads library (winpthreads), and GCC's libgcc and libstdc++. vimlet.dll
contains no third-party code beyond the MinGW-w64 import stubs for kernel32.dll, user32.dll
and msvcrt.dll. Everything else they use is part of Windows. The parts of the MinGW-w64
runtime that its copyright file marks as public domain carry no notice and are not listed.

The texts below are taken from the copyright files of the Debian packages the release was
built with (see BUILDINFO.txt):
{mingw}
{gcc}
"""


def paragraphs(text):
    return [p for p in re.split(r"\n\s*\n", text) if p.strip()]


def field(paragraph, name):
    match = re.match(rf"{name}:[ \t]*(\S*)", paragraph)
    return match.group(1) if match else None


def mingw_notices(text):
    """The chosen Files paragraphs, each followed by its licence's stand-alone text if it has one."""
    all_paragraphs = paragraphs(text)
    by_files = {field(p, "Files"): p for p in all_paragraphs if field(p, "Files")}
    licences = {field(p, "License"): p for p in all_paragraphs if p.startswith("License:")}
    out = []
    for files in MINGW_PARAGRAPHS:
        paragraph = by_files[files]
        out.append(paragraph)
        licence = re.search(r"^License: (\S+)$", paragraph, re.M)
        if licence and licence.group(1) in licences:
            out.append(licences[licence.group(1)])
    return "\n\n".join(out)


def between(text, start, end):
    """The text from the line starting with start up to the line starting with end."""
    match = re.search(rf"^{re.escape(start)}.*?(?=^{re.escape(end)})", text, re.M | re.S)
    if not match:
        raise SystemExit(f"{GCC_COPYRIGHT}: no text from '{start}' to '{end}'")
    return match.group(0).strip()


def gcc_notices(text):
    return "\n\n".join([
        between(text, "GCC is Copyright", "The libbacktrace library"),
        between(text, "GCC RUNTIME LIBRARY EXCEPTION", "libquadmath/"),
    ])


def third_party_notices():
    return "\n\n\n".join([
        INTRO.format(mingw=MINGW_COPYRIGHT, gcc=GCC_COPYRIGHT).strip(),
        "MinGW-w64 runtime and winpthreads\n---------------------------------\n\n"
        + mingw_notices(MINGW_COPYRIGHT.read_text()),
        "GCC runtime libraries (libgcc, libstdc++)\n-----------------------------------------\n\n"
        + gcc_notices(GCC_COPYRIGHT.read_text()),
    ]) + "\n"


def build_info(version):
    packages = subprocess.run(
        ["dpkg-query", "-W", "-f", "${Package} ${Version}\n", *TOOLCHAIN_PACKAGES],
        check=True, capture_output=True, text=True).stdout
    return "".join([
        f"Vimlet {version}\n\n",
        "Built on Debian with these packages:\n",
        packages,
        f"Zip written by Python {sys.version.split()[0]} with zlib {zlib.ZLIB_RUNTIME_VERSION}\n",
    ])
