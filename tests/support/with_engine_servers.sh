#!/usr/bin/env bash
# Runs a command beside the engine's test servers (engine_servers.py): HTTP
# and HTTPS on 127.0.0.1 with a test certificate, and the three FTP servers
# on port 21 of 127.0.0.5, 127.0.0.6 and 127.0.0.7. The command finds them
# through ZU_ENGINE_SERVERS, the servers' folder as Wine sees it (Z:\...):
# "ready" (ports), "log" (every request), "files\" (what they serve) and
# "root.der" (the certificate's root, for the prefix's trusted roots).
#   with_engine_servers.sh COMMAND [ARGS...]
# Exits 77 (skipped) where port 21 cannot be had (not root).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ "$(id -u)" != 0 ]; then
  echo "with_engine_servers: FTP test servers need port 21 (root); skipped" >&2
  exit 77
fi
work=$(mktemp -d /tmp/zu-engine-servers.XXXXXX)
mkdir -p "$work/files"
pid=
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# A root and a server certificate for 127.0.0.1, made afresh for each run.
# The address is the certificate's common name and it has no alternative
# names: Wine compares only DNS alternative names, and then never the name.
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/root.key" -out "$work/root.pem" \
  -days 2 -subj "/CN=ZEFO Test Root" -addext basicConstraints=critical,CA:TRUE \
  -addext keyUsage=critical,keyCertSign,cRLSign >/dev/null 2>&1
openssl req -newkey rsa:2048 -nodes -keyout "$work/server.key" -out "$work/server.csr" \
  -subj "/CN=127.0.0.1" >/dev/null 2>&1
openssl x509 -req -in "$work/server.csr" -CA "$work/root.pem" -CAkey "$work/root.key" \
  -CAcreateserial -out "$work/server.pem" -days 2 \
  -extfile <(printf "extendedKeyUsage=serverAuth") \
  >/dev/null 2>&1
openssl x509 -in "$work/root.pem" -outform DER -out "$work/root.der"

/usr/bin/python3 "$here/engine_servers.py" --root "$work/files" --log "$work/log" \
  --ready "$work/ready" --cert "$work/server.pem" --key "$work/server.key" \
  --ftp 127.0.0.5 --ftp-norest 127.0.0.6 --ftp-badpasv 127.0.0.7 \
  </dev/null >"$work/servers.out" 2>&1 &
pid=$!
for _ in $(seq 100); do
  [ -f "$work/ready" ] && break
  if ! kill -0 "$pid" 2>/dev/null; then break; fi
  sleep 0.1
done
if [ ! -f "$work/ready" ]; then
  echo "with_engine_servers: the servers did not start:" >&2
  cat "$work/servers.out" >&2
  exit 1
fi
ZU_ENGINE_SERVERS="Z:$(printf '%s' "$work" | tr / '\\')"
export ZU_ENGINE_SERVERS
rc=0
"$@" || rc=$?
exit $rc
