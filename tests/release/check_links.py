#!/usr/bin/env python3
"""Every link and picture of the HTML pages in an unpacked zip points at a file in it, and a
link into a page at an anchor that page has; a Japanese page shows no space between two
Japanese characters or beside a Japanese punctuation mark. Usage: check_links.py <unpacked folder>"""
import html.parser
import pathlib
import re
import sys
import unicodedata
import urllib.parse

# Windows' own names that Japanese Windows spells with spaces.
SPACED_NAMES = ("スマート アプリ コントロール", "タスク マネージャー", "メイン ディスプレイ")
# Tags that a line of text runs through; any other starts or ends a block.
INLINE = {"a", "code", "em", "strong", "span"}


class Page(html.parser.HTMLParser):
    def __init__(self, path):
        super().__init__()
        self.targets, self.ids, self.blocks, self.language = [], set(), [""], None
        self.feed(path.read_text(encoding="utf-8"))

    def handle_starttag(self, tag, attrs):
        if tag not in INLINE:
            self.blocks.append("")
        for name, value in attrs:
            if name == "id":
                self.ids.add(value)
            elif name in ("href", "src") and not urllib.parse.urlsplit(value).scheme:
                self.targets.append(value)
            elif tag == "html" and name == "lang":
                self.language = value

    def handle_endtag(self, tag):
        if tag not in INLINE:
            self.blocks.append("")

    def handle_data(self, data):
        self.blocks[-1] += data

    def spaces_in_japanese(self):
        """Where a space stands between two Japanese characters or beside a Japanese punctuation
        mark, as a browser shows a line break of the source there."""
        found = []
        for block in self.blocks:
            text = " ".join(block.split())
            for name in SPACED_NAMES:
                text = text.replace(name, name.replace(" ", ""))
            found += [text[max(0, m.start() - 6):m.end() + 6] for m in re.finditer(r"(\S) (?=(\S))", text)
                      if japanese(m[1]) and japanese(m[2]) or punctuation(m[1]) or punctuation(m[2])]
        return found


def japanese(character):
    return unicodedata.east_asian_width(character) in "WF"


def punctuation(character):
    return japanese(character) and unicodedata.category(character).startswith("P")


folder = pathlib.Path(sys.argv[1]).resolve()
pages = {path: Page(path) for path in folder.rglob("*.html")}
failures = []
for path, page in pages.items():
    for target in page.targets:
        file, _, anchor = urllib.parse.unquote(target).partition("#")
        resolved = (path.parent / file).resolve() if file else path
        if not resolved.is_relative_to(folder) or not resolved.is_file():
            failures.append(f"{path.relative_to(folder)}: {target} is not in the zip")
        elif anchor and anchor not in (pages[resolved].ids if resolved in pages else ()):
            failures.append(f"{path.relative_to(folder)}: {target} has no such anchor")
    if page.language == "ja":
        failures += [f"{path.relative_to(folder)}: a space in \"{text}\"" for text in page.spaces_in_japanese()]
print(f"{len(pages)} pages, {sum(len(p.targets) for p in pages.values())} links and pictures")
sys.exit("\n".join(failures) or None)
