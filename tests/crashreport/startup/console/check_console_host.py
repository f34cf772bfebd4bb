#!/usr/bin/env python3
"""Runs the console host, whose library thread lets a C++ exception escape, and reads what the
library wrote to standard output: the message line alone, the line and the report when the
settings ask for it, and for a web server exactly one HTML answer with the report in it."""
import os
import subprocess
import sys
from html.parser import HTMLParser

HEADER = b"Content-Type: text/html\r\n\r\n"
MESSAGE = "An error occurred in the application."
THROWN = "escaped from a console host"


def run(runner, host, argument, cgi, exit_code=0):
    env = dict(os.environ)
    env.pop("GATEWAY_INTERFACE", None)
    if cgi:
        env["GATEWAY_INTERFACE"] = "CGI/1.1"
    done = subprocess.run(runner + [host, argument], stdout=subprocess.PIPE, env=env, timeout=60)
    assert done.returncode == exit_code, (argument, cgi, done.returncode, "5: never ended, 6: a window was shown")
    return done.stdout


class Page(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.tags = []
        self.area = None
        self.report = ""

    def handle_starttag(self, tag, attrs):
        self.tags.append(tag)
        if tag == "textarea":
            self.area = dict(attrs)

    def handle_data(self, data):
        if self.tags and self.tags[-1] == "textarea":
            self.report += data


def check_line_only(runner, host):
    output = run(runner, host, "line", False).decode("utf-8")
    assert output == MESSAGE + "\r\n", repr(output)


def check_line_and_report(runner, host):
    output = run(runner, host, "report", False).decode("utf-8")
    assert output.startswith(MESSAGE + "\r\n\r\n"), repr(output[:200])
    report = output[len(MESSAGE) + 4:]
    assert "std::runtime_error" in report and THROWN in report, repr(report[:2000])
    assert "Content-Type" not in output


def check_auto_close_after_writing(runner, host):
    # No dialog was answered: the automatic close applies and ends the program with its code.
    output = run(runner, host, "close", False, exit_code=1).decode("utf-8")
    assert output == MESSAGE + "\r\n", repr(output)


def check_web_answer(runner, host):
    output = run(runner, host, "line", True)
    assert output.startswith(HEADER), output[:200]
    body = output[len(HEADER):]
    assert body.count(b"Content-Type") == 0, "one answer only"
    assert body.rstrip().endswith(b"</html>"), body[-200:]
    page = Page()
    page.feed(body.decode("utf-8"))
    page.close()
    assert page.tags.count("html") == 1 and page.tags.count("textarea") == 1, page.tags
    assert page.area["id"] == "bugReport", page.area
    assert "std::runtime_error" in page.report and THROWN in page.report, page.report[:2000]


def main():
    host, runner = sys.argv[1], sys.argv[2:]
    for check in (check_line_only, check_line_and_report, check_auto_close_after_writing, check_web_answer):
        check(runner, host)
        print(check.__name__ + ": ok")


if __name__ == "__main__":
    main()
