#!/usr/bin/python3
"""The maker's download servers for the engine's tests, on loopback.

HTTP and HTTPS on 127.0.0.1 (ports chosen by the system) serve the files of
a folder with "Range" support. Path segments before the file name ask for
faults, for example /drop=1000/throttle=65536/Setup.exe:
  drop=N        announce the whole length, close the connection after N bytes
  norange       answer a "Range" request with the whole file (200)
  wrongstart    answer a "Range" request with a part (206) from the file's start
  status=N      answer with status N and a short body of its own
  stall=N       send N bytes of the body, then nothing until the client goes
  redirect      answer 302 to the same path without this segment
  throttle=B    send at most B bytes per second
  extra=N       send N bytes more than the file, announced in Content-Length

FTP on port 21 of three loopback addresses (the engine always uses port 21),
slowed down to about 256 KiB per second:
  --ftp          pyftpdlib, anonymous, passive mode, "REST" and "RETR"
  --ftp-norest   the same server refusing "REST"
  --ftp-badpasv  the same server answering "PASV" without "(" around the address

Every request is logged as one line of tab-separated key=value fields (and
the end of each body sent, with its bytes and seconds), and
the ready file gets "key=value" lines (http_port, https_port) once all
servers listen.
"""
import argparse
import http.server
import os
import socket
import socketserver
import ssl
import sys
import threading
import time

# FTP is slowed down so that a test sees each module's progress. pyftpdlib's
# throttle is coarse: after every limit's worth of bytes it pauses, so a file
# above twice the limit takes a second or two.
FTP_BYTES_PER_SECOND = 256 << 10
LOG_LOCK = threading.Lock()
LOG_PATH = None


def log(**fields):
    line = "\t".join(f"{k}={v}" for k, v in fields.items())
    with LOG_LOCK:
        with open(LOG_PATH, "a", encoding="utf-8") as f:
            f.write(line + "\n")


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    root = "."

    def log_message(self, *args):  # quiet
        pass

    def do_GET(self):
        segments = [s for s in self.path.split("?")[0].split("/") if s]
        if not segments:
            return self.simple(404, b"no file\n")
        name, faults = segments[-1], {}
        for seg in segments[:-1]:
            key, _, value = seg.partition("=")
            faults[key] = value
        rng = self.headers.get("Range")
        agent = self.headers.get("User-Agent", "")
        if "status" in faults:
            status = int(faults["status"])
            log(proto="http", path=self.path, range=rng or "-", agent=agent, status=status, start=0)
            return self.simple(status, f"error page {status}\n".encode() * 20)
        if "redirect" in faults:
            target = "/" + "/".join(s for s in segments if s != "redirect")
            log(proto="http", path=self.path, range=rng or "-", agent=agent, status=302, start=0)
            self.send_response(302)
            self.send_header("Location", target)
            self.send_header("Content-Length", "0")
            self.send_header("Connection", "close")
            self.end_headers()
            return
        path = os.path.join(self.root, name)
        if not os.path.isfile(path):
            log(proto="http", path=self.path, range=rng or "-", agent=agent, status=404, start=0)
            return self.simple(404, b"not found\n")
        size = os.path.getsize(path)
        start, end = 0, size - 1
        status = 200
        if rng and "norange" not in faults and rng.startswith("bytes="):
            first, _, last = rng[6:].partition("-")
            start = int(first)
            if last:
                end = min(int(last), size - 1)
            if start >= size:
                log(proto="http", path=self.path, range=rng, agent=agent, status=416, start=start)
                self.send_response(416)
                self.send_header("Content-Range", f"bytes */{size}")
                self.send_header("Content-Length", "0")
                self.send_header("Connection", "close")
                self.end_headers()
                return
            status = 206
            if "wrongstart" in faults:
                start = 0
        length = end - start + 1
        extra = int(faults.get("extra", 0))
        log(proto="http", path=self.path, range=rng or "-", agent=agent, status=status, start=start)
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(length + extra))
        if status == 206:
            self.send_header("Content-Range", f"bytes {start}-{end}/{size}")
        self.send_header("Connection", "close")
        self.end_headers()
        limit = length
        if "drop" in faults:
            limit = min(limit, int(faults["drop"]))
        stall = int(faults["stall"]) if "stall" in faults else None
        if stall is not None:
            limit = min(limit, stall)
        rate = int(faults.get("throttle", 0))
        sent = 0
        began = time.monotonic()
        try:
            with open(path, "rb") as f:
                f.seek(start)
                while sent < limit:
                    block = f.read(min(1 << 20 if not rate else max(rate // 10, 1), limit - sent))
                    if not block:
                        break
                    self.wfile.write(block)
                    sent += len(block)
                    if rate:
                        ahead = sent / rate - (time.monotonic() - began)
                        if ahead > 0:
                            time.sleep(ahead)
            if extra and sent == length:
                self.wfile.write(b"\0" * extra)
            self.wfile.flush()
            if stall is not None:
                # Nothing more until the client gives up and closes.
                self.connection.settimeout(600)
                while self.connection.recv(1024):
                    pass
        except (BrokenPipeError, ConnectionResetError, OSError):
            pass
        finally:
            self.close_connection = True
            # How long the body took to go out, for the benchmark.
            log(proto="http", path=self.path, event="sent", bytes=sent,
                seconds=f"{time.monotonic() - began:.4f}")

    def simple(self, status, body):
        self.send_response(status)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def start_http(root, host, context=None):
    handler = type("RootHandler", (Handler,), {"root": root})
    server = Server((host, 0), handler)
    if context:
        server.socket = context.wrap_socket(server.socket, server_side=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server.server_address[1]


def start_ftp(root, host, kind):
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
    from pyftpdlib.ioloop import IOLoop
    from pyftpdlib.servers import ThreadedFTPServer
    import logging
    logging.getLogger("pyftpdlib").setLevel(logging.ERROR)

    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(root)

    class LoggedHandler(FTPHandler):
        def pre_process_command(self, line, cmd, arg):
            log(proto="ftp", host=host, cmd=cmd, arg=arg if arg is not None else "-")
            if kind == "norest" and cmd == "REST":
                self.respond("502 REST not implemented here.")
                return
            return super().pre_process_command(line, cmd, arg)

        def respond(self, resp, logfun=None):
            if kind == "badpasv" and resp.startswith("227"):
                resp = resp.replace("(", "").replace(")", "")
            return super().respond(resp) if logfun is None else super().respond(resp, logfun)

    class SteadyDTPHandler(ThrottledDTPHandler):
        write_limit = FTP_BYTES_PER_SECOND

    LoggedHandler.authorizer = authorizer
    LoggedHandler.dtp_handler = SteadyDTPHandler
    LoggedHandler.passive_ports = None
    # One loop per server: pyftpdlib's shared loop is not for several threads.
    server = ThreadedFTPServer((host, 21), LoggedHandler, ioloop=IOLoop())
    threading.Thread(target=server.serve_forever, kwargs={"handle_exit": False}, daemon=True).start()


def main():
    global LOG_PATH
    p = argparse.ArgumentParser()
    p.add_argument("--root", required=True)
    p.add_argument("--log", required=True)
    p.add_argument("--ready", required=True)
    p.add_argument("--cert")
    p.add_argument("--key")
    p.add_argument("--ftp")
    p.add_argument("--ftp-norest")
    p.add_argument("--ftp-badpasv")
    a = p.parse_args()
    LOG_PATH = a.log
    open(LOG_PATH, "w").close()
    ready = {"http_port": start_http(a.root, "127.0.0.1")}
    if a.cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(a.cert, a.key)
        ready["https_port"] = start_http(a.root, "127.0.0.1", context)
    for host, kind in ((a.ftp, "plain"), (a.ftp_norest, "norest"), (a.ftp_badpasv, "badpasv")):
        if host:
            start_ftp(a.root, host, kind)
            ready[f"ftp_{kind}"] = host
    tmp = a.ready + ".tmp"
    with open(tmp, "w") as f:
        for k, v in ready.items():
            f.write(f"{k}={v}\n")
    os.replace(tmp, a.ready)
    while True:
        time.sleep(3600)


if __name__ == "__main__":
    main()
