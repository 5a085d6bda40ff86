#!/usr/bin/env python3
"""A stand-in for the maker's server, for the demo: every information file
asked for under /info/ gets the sample file; /support.html is the support
page. Each request's path and user agent go to the log, one per line.

    maker_server.py PORT SAMPLE_XML LOG
"""
import http.server
import sys

port, sample, log = int(sys.argv[1]), sys.argv[2], sys.argv[3]


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        with open(log, "a", encoding="utf-8") as f:
            f.write(f"{self.path}\t{self.headers.get('User-Agent', '')}\n")
        if self.path.startswith("/info/") and self.path.endswith(".xml"):
            with open(sample, "rb") as f:
                body, kind = f.read(), "text/xml"
        elif self.path == "/support.html":
            body, kind = b"<html><body>ZEFO support</body></html>", "text/html"
        else:
            self.send_error(404)
            return
        self.send_response(200)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


http.server.HTTPServer(("127.0.0.1", port), Handler).serve_forever()
