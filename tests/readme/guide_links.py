#!/usr/bin/env python3
"""Builds the user guide offline and checks that no link of it is broken.

    guide_links.py SOURCE_DIR

`mkdocs build --strict` (a page missing from the navigation, a link to a
page that does not exist or leaves the guide: refused) into a scratch
folder, then every local href and src of every built HTML page must name
a file of the site, and every #fragment an id of the page it leads to.
Links to other hosts are not followed (nothing is fetched).
"""

import html.parser
import os
import shutil
import subprocess
import sys
import tempfile
from urllib.parse import unquote, urlsplit


class Links(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.links, self.ids = [], set()

    def handle_starttag(self, tag, attrs):
        for name, value in attrs:
            if name == "id" and value:
                self.ids.add(value)
            if name in ("href", "src") and value is not None:
                self.links.append(value)


def parse(path):
    p = Links()
    with open(path, encoding="utf-8") as f:
        p.feed(f.read())
    return p


def broken(site):
    """[(page, link, why)] of the built site."""
    pages, bad = {}, []
    for folder, _, files in os.walk(site):
        for name in files:
            if name.endswith(".html"):
                path = os.path.join(folder, name)
                pages[os.path.normpath(path)] = parse(path)
    for path, page in sorted(pages.items()):
        for link in page.links:
            parts = urlsplit(link)
            if parts.scheme or parts.netloc or link.startswith("mailto:"):
                continue
            # A path from the root (the 404 page's) is read from the site's root.
            base = site if parts.path.startswith("/") else os.path.dirname(path)
            target = os.path.normpath(os.path.join(base, unquote(parts.path).lstrip("/"))) \
                if parts.path else path
            if os.path.isdir(target):
                target = os.path.join(target, "index.html")
            if not os.path.exists(target):
                bad.append((path, link, "no such file"))
            elif parts.fragment and target.endswith(".html") and parts.fragment not in pages[target].ids:
                bad.append((path, link, f"no id {parts.fragment!r} on that page"))
    return bad


def main(argv):
    if len(argv) != 2:
        raise SystemExit(__doc__)
    source = os.path.abspath(argv[1])
    scratch = tempfile.mkdtemp(prefix="kelvane-guide-")
    try:
        site = os.path.join(scratch, "site")
        r = subprocess.run(["mkdocs", "build", "--strict", "--quiet", "-f", os.path.join(source, "mkdocs.yml"),
                            "-d", site], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        if r.returncode != 0:
            print(f"mkdocs build --strict failed (status {r.returncode}):\n{r.stdout}", file=sys.stderr)
            return 1
        bad = broken(site)
        for path, link, why in bad:
            print(f"{os.path.relpath(path, site)}: {link}: {why}", file=sys.stderr)
        print(f"{len(bad)} broken link(s)")
        return 1 if bad else 0
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
