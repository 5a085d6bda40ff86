#!/usr/bin/env python3
"""The maker's web servers for the demo, reached as a proxy: the lab PC's
Internet settings name this server as their proxy, so every request comes
with the whole address and the programs see the maker's real host names.

    maker_server.py HOST PORT SITE_DIR LOG

  http://update.vexa.example/zefo/info/<MODEL>.xml  SITE_DIR/info.xml, for any model
  http://support.vexa.example/zefo/<path>           SITE_DIR/<path>
Anything else is 404. Each request goes to LOG as "address<TAB>user agent".
"""
import http.server
import os
import sys
import urllib.parse

host, port, site, log = sys.argv[1], int(sys.argv[2]), os.path.realpath(sys.argv[3]), sys.argv[4]
KINDS = {".xml": "text/xml", ".html": "text/html", ".exe": "application/octet-stream"}


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        with open(log, "a", encoding="utf-8") as f:
            f.write(f"{self.path}\t{self.headers.get('User-Agent', '')}\n")
        address = urllib.parse.urlsplit(self.path)
        path = urllib.parse.unquote(address.path)
        name = None
        if address.hostname == "update.vexa.example" and path.startswith("/zefo/info/") \
                and path.endswith(".xml"):
            name = os.path.join(site, "info.xml")
        elif address.hostname == "support.vexa.example" and path.startswith("/zefo/"):
            name = os.path.realpath(os.path.join(site, path[len("/zefo/"):]))
            if not name.startswith(site + os.sep):
                name = None
        if not name or not os.path.isfile(name):
            self.send_error(404)
            return
        with open(name, "rb") as f:
            body = f.read()
        self.send_response(200)
        self.send_header("Content-Type", KINDS.get(os.path.splitext(name)[1], "text/plain"))
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


http.server.ThreadingHTTPServer((host, port), Handler).serve_forever()
