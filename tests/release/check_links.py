#!/usr/bin/env python3
"""Every link and picture of the HTML pages in an unpacked zip points at a file in it, and a
link into a page at an anchor that page has. Usage: check_links.py <unpacked folder>"""
import html.parser
import pathlib
import sys
import urllib.parse


class Page(html.parser.HTMLParser):
    def __init__(self, path):
        super().__init__()
        self.targets, self.ids = [], set()
        self.feed(path.read_text(encoding="utf-8"))

    def handle_starttag(self, tag, attrs):
        for name, value in attrs:
            if name == "id":
                self.ids.add(value)
            elif name in ("href", "src") and not urllib.parse.urlsplit(value).scheme:
                self.targets.append(value)


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
print(f"{len(pages)} pages, {sum(len(p.targets) for p in pages.values())} links and pictures")
sys.exit("\n".join(failures) or None)
