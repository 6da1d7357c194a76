"""Renders the Japanese guide (Markdown) as one self-contained HTML page.

usage: /usr/bin/python3 guide_html.py GUIDE.md OUT.html [--link-base PREFIX] [--version TEXT]

Every picture is embedded as a data: URI and the page loads nothing from anywhere (its content security
policy forbids it), so it opens from the release zip on a PC without network. Links to other files next to
the guide get PREFIX (where the guide lies in the zip, seen from the page). The output depends on the input
alone: the same guide gives the same bytes. Needs Debian's python3-markdown (scripts/setup).
"""

import argparse
import base64
import html
import html.parser
import os
import re
import sys
import urllib.parse

import markdown
from markdown.extensions.toc import slugify_unicode
from markdown.treeprocessors import Treeprocessor

# Type by file name, and the bytes such a file starts with: a picture that is not what its name says (an
# empty file, a pointer file of a large-file store, an HTML error page) fails here, not in the reader's browser.
PICTURE_TYPES = {
    ".png": ("image/png", (b"\x89PNG\r\n\x1a\n",)),
    ".jpg": ("image/jpeg", (b"\xff\xd8\xff",)),
    ".jpeg": ("image/jpeg", (b"\xff\xd8\xff",)),
    ".gif": ("image/gif", (b"GIF87a", b"GIF89a")),
    ".webp": ("image/webp", (b"RIFF",)),
    ".svg": ("image/svg+xml", (b"<",)),
}

HAS_SCHEME = re.compile(r"^[A-Za-z][A-Za-z0-9+.-]*:|^//")


class GuideError(Exception):
    pass


def picture_data_uri(guide_dir, src):
    if HAS_SCHEME.match(src):
        raise GuideError(f"picture {src!r} is not a file beside the guide: the page must open without network")
    rel = urllib.parse.unquote(src.split("#", 1)[0].split("?", 1)[0])
    path = os.path.normpath(os.path.join(guide_dir, rel))
    if not os.path.isfile(path):
        raise GuideError(f"picture {src!r} not found (looked for {path})")
    ext = os.path.splitext(path)[1].lower()
    if ext not in PICTURE_TYPES:
        raise GuideError(f"picture {src!r}: unknown type {ext!r} (use one of {', '.join(sorted(PICTURE_TYPES))})")
    mime, magics = PICTURE_TYPES[ext]
    with open(path, "rb") as f:
        data = f.read()
    if not data.lstrip().startswith(magics) or (ext == ".webp" and data[8:12] != b"WEBP"):
        raise GuideError(f"picture {src!r} ({path}) is not a {mime} file")
    return f"data:{mime};base64,{base64.b64encode(data).decode('ascii')}"


class EmbedPictures(Treeprocessor):
    def __init__(self, md, guide_dir, guide_name, link_base):
        super().__init__(md)
        self.guide_dir, self.guide_name, self.link_base = guide_dir, guide_name, link_base

    def run(self, root):
        for img in root.iter("img"):
            src = img.get("src", "")
            if not src.startswith("data:"):
                img.set("src", picture_data_uri(self.guide_dir, src))
        for a in root.iter("a"):
            href = a.get("href", "")
            if not href or href.startswith("#") or href.startswith("/") or HAS_SCHEME.match(href):
                continue
            path, _, fragment = href.partition("#")
            if os.path.normpath(urllib.parse.unquote(path)) == self.guide_name:
                a.set("href", "#" + fragment)  # a link into the guide itself: this page
            else:
                a.set("href", self.link_base + href)


class EmbedPicturesExtension(markdown.Extension):
    def __init__(self, guide_dir, guide_name, link_base):
        super().__init__()
        self.args = (guide_dir, guide_name, link_base)

    def extendMarkdown(self, md):
        # After the inline patterns (priority 20) have made the img elements.
        md.treeprocessors.register(EmbedPictures(md, *self.args), "p2f_embed_pictures", 5)


class PictureSources(html.parser.HTMLParser):
    """Collects every src of the final page: pictures written as raw HTML in the guide are caught too."""

    def __init__(self):
        super().__init__()
        self.sources = []

    def handle_starttag(self, tag, attrs):
        for name, value in attrs:
            if name in ("src", "srcset") or (tag == "link" and name == "href"):
                self.sources.append((tag, value or ""))


CSS = """
:root { color-scheme: light; }
html { background: #f4f4f1; }
body {
  margin: 0 auto; max-width: 54rem; min-height: 100vh; box-sizing: border-box; padding: 2rem 2.5rem 4rem;
  background: #fff; color: #1f1f1f;
  font-family: "Yu Gothic UI", "Yu Gothic", YuGothic, Meiryo, "Hiragino Sans", "Hiragino Kaku Gothic ProN",
    "Noto Sans CJK JP", "Noto Sans JP", "MS PGothic", sans-serif;
  font-size: 16px; line-height: 1.85; letter-spacing: 0.02em; word-wrap: break-word; line-break: strict;
}
h1, h2, h3, h4 { line-height: 1.4; margin: 2.2em 0 0.8em; font-weight: 700; }
h1 { font-size: 1.8rem; margin-top: 0.5em; padding-bottom: 0.3em; border-bottom: 3px solid #2b5797; }
h2 { font-size: 1.4rem; padding-bottom: 0.2em; border-bottom: 1px solid #c9c9c9; }
h3 { font-size: 1.15rem; }
p, ul, ol, table, pre, blockquote { margin: 0 0 1em; }
li { margin: 0.25em 0; }
a { color: #1a56a8; }
img { display: block; max-width: 100%; height: auto; margin: 0.8em 0 1.2em; border: 1px solid #c9c9c9;
  box-shadow: 0 1px 4px rgba(0, 0, 0, 0.12); }
code, kbd, pre { font-family: Consolas, "BIZ UDGothic", "MS Gothic", "Noto Sans Mono CJK JP", monospace;
  font-size: 0.92em; }
code { background: #f0f0ec; padding: 0.1em 0.3em; border-radius: 3px; }
pre { background: #f0f0ec; padding: 0.8em 1em; overflow-x: auto; line-height: 1.5; }
pre code { background: none; padding: 0; }
kbd { border: 1px solid #aaa; border-bottom-width: 2px; border-radius: 3px; padding: 0 0.3em; background: #fafafa; }
table { border-collapse: collapse; }
th, td { border: 1px solid #c9c9c9; padding: 0.35em 0.7em; vertical-align: top; }
th { background: #eef2f8; }
blockquote { margin-left: 0; padding: 0.5em 1em; border-left: 4px solid #2b5797; background: #f5f8fc; }
hr { border: 0; border-top: 1px solid #c9c9c9; margin: 2em 0; }
footer { margin-top: 3em; color: #666; font-size: 0.85rem; }
@media print { html { background: #fff; } body { max-width: none; padding: 0; } img { break-inside: avoid; } }
"""

# The page may load nothing: pictures come as data: URIs, the style is inline, and no script runs.
POLICY = "default-src 'none'; img-src data:; style-src 'unsafe-inline'"


def render(guide_path, link_base, version):
    guide_dir = os.path.dirname(os.path.abspath(guide_path))
    with open(guide_path, "rb") as f:
        text = f.read().decode("utf-8-sig")
    md = markdown.Markdown(
        extensions=[
            "extra",
            "sane_lists",
            markdown.extensions.toc.TocExtension(slugify=slugify_unicode),
            EmbedPicturesExtension(guide_dir, os.path.basename(guide_path), link_base),
        ],
        output_format="html",
    )
    body = md.convert(text.replace("\r\n", "\n"))

    sources = PictureSources()
    sources.feed(body)
    for tag, src in sources.sources:
        if tag != "img" or not src.startswith("data:image/"):
            raise GuideError(f"<{tag}> with {src[:80]!r} cannot be embedded: write pictures as ![text](img/name.png)")

    title = "plotwing2fix"
    h1 = re.search(r"<h1[^>]*>(.*?)</h1>", body, re.S)
    if h1:
        title = html.unescape(re.sub(r"<[^>]+>", "", h1.group(1))).strip() or title
    footer = f"plotwing2fix {html.escape(version)}" if version else "plotwing2fix"
    return (
        "<!DOCTYPE html>\n"
        '<html lang="ja">\n<head>\n'
        '<meta charset="utf-8">\n'
        f'<meta http-equiv="Content-Security-Policy" content="{POLICY}">\n'
        '<meta name="viewport" content="width=device-width, initial-scale=1">\n'
        f"<title>{html.escape(title)}</title>\n"
        f"<style>{CSS}</style>\n"
        "</head>\n<body>\n<main>\n"
        f"{body}\n"
        "</main>\n"
        f"<footer>{footer}</footer>\n"
        "</body>\n</html>\n"
    )


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("guide")
    parser.add_argument("out")
    parser.add_argument("--link-base", default="", help="prefix for links to files beside the guide")
    parser.add_argument("--version", default="", help="shown in the page's footer")
    args = parser.parse_args()
    try:
        page = render(args.guide, args.link_base, args.version)
    except (GuideError, UnicodeDecodeError) as e:
        sys.exit(f"guide_html: {args.guide}: {e}")
    with open(args.out, "wb") as f:
        f.write(page.encode("utf-8"))


if __name__ == "__main__":
    main()
