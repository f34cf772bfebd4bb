#!/usr/bin/env python3
"""Runs the presentation writer as a web-server program and reads its answer with Python's HTML
parser: one content-type header, a page of known elements only, the report in the hidden text
area exactly as written, every text shown as text."""
import subprocess
import sys
from html.parser import HTMLParser

HEADER = b"Content-Type: text/html\r\n\r\n"
REPORT = ("exception class   : EAccessViolation\r\n"
          "exception message : </textarea><script>alert(\"x\")</script>\r\n"
          "user name         : J\u00fcrgen \U0001F600 \ufffd[2J & co\r\n")
ALLOWED = {"html", "head", "title", "body", "table", "tr", "td", "p", "br", "button", "textarea"}


class Page(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.stack = []
        self.tags = []
        self.elements = []
        self.attributes = {}

    def handle_starttag(self, tag, attrs):
        self.tags.append(tag)
        self.attributes.setdefault(tag, []).append(dict(attrs))
        if tag != "br":
            self.elements.append([tag, ""])
            self.stack.append(self.elements[-1])

    def handle_endtag(self, tag):
        if self.stack and self.stack[-1][0] == tag:
            self.stack.pop()

    def handle_data(self, data):
        if self.stack:
            self.stack[-1][1] += data

    def text(self, tag):
        """The text of the first element of that tag."""
        return next(text for name, text in self.elements if name == tag)


def main():
    writer, runner = sys.argv[1], sys.argv[2:]
    output = subprocess.run(runner + [writer, "cgi"], stdout=subprocess.PIPE, check=True, timeout=60).stdout
    assert output.startswith(HEADER), output[:80]
    body = output[len(HEADER):]
    assert b"Content-Type" not in body, "one response only"
    assert max(body) < 128, "the page is plain ASCII"
    page = Page()
    page.feed(body.decode("ascii"))
    page.close()
    assert set(page.tags) <= ALLOWED, set(page.tags) - ALLOWED
    assert page.tags.count("textarea") == 1 and page.tags.count("html") == 1, page.tags
    assert page.text("title") == "Host & <Co>", page.text("title")
    paragraph = page.text("p").replace("\r\n", "")
    assert paragraph == "Sorry!</textarea><script>alert(\"x\")</script>", paragraph
    area = page.attributes["textarea"][0]
    assert area["id"] == "bugReport" and "readonly" in area, area
    assert "visibility:hidden;" in area["style"], area
    report = page.text("textarea")
    assert report.startswith("\r\n"), "the report starts on the line after the tag"
    assert report[2:] == REPORT, repr(report)
    captions = [button for button in page.attributes["button"]]
    assert len(captions) == 2, captions
    print("exception page: ok")


if __name__ == "__main__":
    main()
