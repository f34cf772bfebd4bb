#!/usr/bin/python3
"""Local stand-ins for the three bug trackers, on 127.0.0.1, for the tracker route's tests.

--kind bugzilla: Python's xmlrpc.server at /bugs/xmlrpc.cgi; --kind fogbugz: the XML API at
/fb/api.xml and /fb/api.asp; --kind mantis: the SOAP interface at
/mantis/api/soap/mantisconnect.php. Each checks the account (ACCOUNT:PASSWORD of --account, or "hex:" and its UTF-8 in hexadecimal),
parses what it is sent and answers as the tracker does, faults and errors included; --fail
METHOD makes that call fail. What was filed goes to STATE/*.json: calls.json (every call in
order), case.json (the new case, bug or issue) and attachment-N.json. It writes
STATE/ready.json once it listens and ends when STATE/stop appears.
"""
import argparse
import base64
import http.server
import json
import os
import sys
import threading
import urllib.parse
import xml.etree.ElementTree as ElementTree
import xmlrpc.client
import xmlrpc.server
from xml.sax.saxutils import escape

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "http"))
from http_server import parse_form  # noqa: E402
import server_state  # noqa: E402


class Recorder:
    def __init__(self, state):
        self.state = state
        self.calls = []
        self.attachments = 0
        self.lock = threading.Lock()

    def write(self, name, record):
        with open(os.path.join(self.state, name + ".part"), "w", encoding="utf-8") as out:
            json.dump(record, out, ensure_ascii=False)
        os.replace(os.path.join(self.state, name + ".part"), os.path.join(self.state, name))

    def call(self, name):
        with self.lock:
            self.calls.append(name)
            self.write("calls.json", self.calls)

    def attachment(self, record):
        with self.lock:
            self.attachments += 1
            self.write("attachment-%d.json" % self.attachments, record)


# --- XML-RPC ---------------------------------------------------------------------------

PRODUCTS = {3: {"name": "Conduvex", "components": ["Setup", "Crash Handling"], "versions": ["unspecified", "2.0"]},
            8: {"name": "Web", "components": ["Pages"], "versions": ["1.0"]}}
FIELDS = {"priority": ["Highest", "P1"], "bug_severity": ["blocker", "normal"], "op_sys": ["Linux", "Other"],
          "rep_platform": ["PC", "All"]}


def serve_bugzilla(recorder, account, failing):
    class Handler(xmlrpc.server.SimpleXMLRPCRequestHandler):
        rpc_paths = ("/bugs/xmlrpc.cgi",)

        def log_message(self, *args):
            pass

    server = xmlrpc.server.SimpleXMLRPCServer(("127.0.0.1", 0), requestHandler=Handler, logRequests=False,
                                              allow_none=True)

    def method(name):
        def register(function):
            def checked(params):
                recorder.call(name)
                if "%s:%s" % (params.get("Bugzilla_login"), params.get("Bugzilla_password")) != account:
                    raise xmlrpc.client.Fault(300, "The username or password you entered is not valid.")
                if name == failing:
                    raise xmlrpc.client.Fault(51, "%s failed here" % name)
                return function(params)
            server.register_function(checked, name)
            return function
        return register

    @method("Bugzilla.version")
    def version(params):
        return {"version": "4.4.1"}

    @method("Product.get_enterable_products")
    def enterable(params):
        return {"ids": sorted(PRODUCTS)}

    @method("Product.get")
    def products(params):
        return {"products": [{"id": i, "name": PRODUCTS[i]["name"],
                              "components": [{"name": c} for c in PRODUCTS[i]["components"]],
                              "versions": [{"name": v} for v in PRODUCTS[i]["versions"]]}
                             for i in params["ids"] if i in PRODUCTS]}

    @method("Bug.fields")
    def fields(params):
        return {"fields": [{"name": name, "values": [{"name": value} for value in values]}
                           for name, values in FIELDS.items()]}

    @method("Bug.create")
    def create(params):
        recorder.write("case.json", {k: v for k, v in params.items() if not k.startswith("Bugzilla_")})
        return {"id": 1234}

    @method("Bug.add_attachment")
    def attach(params):
        recorder.attachment({"ids": params["ids"], "file_name": params["file_name"], "summary": params["summary"],
                             "content_type": params["content_type"], "data": params["data"].data.hex(),
                             "exclude_fields": params["exclude_fields"]})
        return {"ids": [1]}

    return server


# --- XML API ---------------------------------------------------------------------------

def fogbugz_handler(recorder, account, failing, minversion):
    email, password = account.split(":", 1)
    tokens = set()
    lists = {
        "listProjects": "<projects><project><ixProject>1</ixProject><sProject><![CDATA[Desktop & Tools]]></sProject>"
                        "</project><project><ixProject>2</ixProject><sProject>Web</sProject></project></projects>",
        "listAreas": "<areas><area><sArea>Crashes</sArea><sProject>Desktop &amp; Tools</sProject></area>"
                     "<area><sArea>Not Spam</sArea><sProject>Desktop &amp; Tools</sProject></area></areas>",
        "listCategories": "<categories><category><sCategory>Feature</sCategory></category>"
                          "<category><sCategory>Bug</sCategory></category></categories>",
        "listPriorities": "<priorities><priority><sPriority>Must Fix</sPriority></priority></priorities>",
        "listPeople": "<people><person><sFullName>Ann Smith</sFullName></person></people>",
    }

    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, *args):
            pass

        def answer(self, inner):
            text = ("<?xml version=\"1.0\" encoding=\"UTF-8\"?><response>%s</response>" % inner).encode()
            self.send_response(200)
            self.send_header("Content-Type", "text/xml; charset=utf-8")
            self.send_header("Content-Length", str(len(text)))
            self.end_headers()
            self.wfile.write(text)

        def error(self, text):
            self.answer("<error code=\"3\">%s</error>" % escape(text))

        def do_GET(self):
            url = urllib.parse.urlsplit(self.path)
            if url.path == "/fb/api.xml":
                recorder.call("api.xml")
                return self.answer("<version>8</version><minversion>%d</minversion><url>api.asp?</url>" % minversion)
            query = {k: v[0] for k, v in urllib.parse.parse_qs(url.query, keep_blank_values=True).items()}
            command = query.get("cmd", "")
            recorder.call(command)
            if url.path != "/fb/api.asp":
                self.send_error(404)
            elif command == failing:
                self.error("%s failed here" % command)
            elif command == "logon":
                if query.get("email") != email or query.get("password") != password:
                    return self.error("Incorrect password or username")
                tokens.add("t0k3n")
                self.answer("<token><![CDATA[t0k3n]]></token>")
            elif query.get("token") not in tokens:
                self.error("Not logged on")
            elif command == "logoff":
                tokens.clear()
                self.answer("")
            elif command == "listAreas":
                self.answer(lists[command] if query.get("sProject") == "Desktop & Tools" else "<areas></areas>")
            else:
                self.answer(lists.get(command, ""))

        def do_POST(self):
            body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
            fields, files = parse_form(self.headers.get("Content-Type", ""), body)
            command = fields.get("cmd", "")
            recorder.call("POST " + command)
            if command == failing:
                return self.error("%s failed here" % command)
            if fields.get("token") not in tokens:
                return self.error("Not logged on")
            recorder.write("case.json", {"path": self.path, "fields": fields, "files": files})
            self.answer("<case ixBug=\"99\" operations=\"edit,assign\"></case>")

    return Handler


# --- SOAP ------------------------------------------------------------------------------

SOAP_ENVELOPE = ("<?xml version=\"1.0\" encoding=\"UTF-8\"?><SOAP-ENV:Envelope "
                 "xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" xmlns:ns1=\"urn:tracker\" "
                 "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"><SOAP-ENV:Body>%s</SOAP-ENV:Body></SOAP-ENV:Envelope>")


def local(tag):
    return tag.rsplit("}", 1)[-1]


def ref_items(pairs):
    return "".join("<item><id>%s</id><name>%s</name></item>" % (i, escape(n)) for i, n in pairs)


def mantis_handler(recorder, account, failing):
    projects = ("<item><id>1</id><name>Main</name><subprojects><item><id>5</id><name>Conduvex</name><subprojects/>"
                "</item></subprojects></item><item><id>9</id><name>Web</name><subprojects/></item>")
    per_project = {
        "mc_project_get_categories": {"5": "<item>General</item><item>Crash &amp; Hang</item>"},
        "mc_project_get_versions": {"5": ref_items([(3, "1.0"), (4, "2.0")])},
        "mc_project_get_users": {"5": "<item><id>12</id><name>ann</name><real_name>Ann</real_name></item>"},
    }
    answers = {
        "mc_version": "1.2.19",
        "mc_projects_get_user_accessible": projects,
        "mc_enum_access_levels": ref_items([(10, "viewer"), (55, "developer")]),
        "mc_enum_priorities": ref_items([(20, "low"), (30, "normal")]),
        "mc_enum_severities": ref_items([(70, "major"), (80, "crash")]),
    }

    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, *args):
            pass

        def reply(self, status, inner):
            text = (SOAP_ENVELOPE % inner).encode()
            self.send_response(status)
            self.send_header("Content-Type", "text/xml; charset=utf-8")
            self.send_header("Content-Length", str(len(text)))
            self.end_headers()
            self.wfile.write(text)

        def fault(self, text):
            self.reply(500, "<SOAP-ENV:Fault><faultcode>Client</faultcode><faultstring>%s</faultstring>"
                            "</SOAP-ENV:Fault>" % escape(text))

        def do_POST(self):
            body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
            if self.path != "/mantis/api/soap/mantisconnect.php":
                return self.send_error(404)
            root = ElementTree.fromstring(body)
            body_element = next(e for e in root if local(e.tag) == "Body")
            call = body_element[0]
            method = local(call.tag)
            params = {local(e.tag): e for e in call}
            recorder.call(method)
            if "%s:%s" % (params["username"].text, params["password"].text) != account:
                return self.fault("Access denied")
            if method == failing:
                return self.fault("%s failed here" % method)
            if method in answers:
                result = answers[method]
            elif method in per_project:
                if method == "mc_project_get_users" and params["access"].text != "55":
                    return self.fault("wrong access level")
                result = per_project[method].get(params["project_id"].text, "")
            elif method == "mc_issue_add":
                by_id = {e.get("id"): e for e in body_element.iter() if e.get("id")}
                issue = by_id[params["issue"].get("href")[1:]]
                record = {}
                for field in issue:
                    href = field.get("href")
                    record[local(field.tag)] = by_id[href[1:]].find("id").text if href else (field.text or "")
                recorder.write("case.json", record)
                result = "77"
            elif method == "mc_issue_attachment_add":
                recorder.attachment({"issue_id": params["issue_id"].text, "name": params["name"].text,
                                     "file_type": params["file_type"].text,
                                     "data": base64.b64decode(params["content"].text or "").hex()})
                result = "501"
            else:
                return self.fault("unknown method " + method)
            self.reply(200, "<ns1:%sResponse><return>%s</return></ns1:%sResponse>" % (method, result, method))

    return Handler


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--state", required=True)
    parser.add_argument("--kind", required=True, choices=["bugzilla", "fogbugz", "mantis"])
    parser.add_argument("--account", default="reporter:s3cret")
    parser.add_argument("--fail", default="")
    parser.add_argument("--minversion", type=int, default=1)
    arguments = parser.parse_args()
    if arguments.account.startswith("hex:"):
        arguments.account = bytes.fromhex(arguments.account[4:]).decode()
    recorder = Recorder(arguments.state)
    if arguments.kind == "bugzilla":
        server = serve_bugzilla(recorder, arguments.account, arguments.fail)
    else:
        handler = (fogbugz_handler(recorder, arguments.account, arguments.fail, arguments.minversion)
                   if arguments.kind == "fogbugz" else mantis_handler(recorder, arguments.account, arguments.fail))
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.05}, daemon=True).start()
    running = server_state.announce(arguments.state, {"port": server.server_address[1]})
    server_state.wait_while(running)
    server.shutdown()


if __name__ == "__main__":
    server_state.run(main)
