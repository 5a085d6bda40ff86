#!/usr/bin/env bash
# Makes the code-signing test PKI and the signed fake installers:
#   make_test_pki.sh OUT_DIR FAKE_INSTALLER_EXE
# OUT_DIR/root.cer is the root the tests trust (DER); OUT_DIR/signed/ holds
# the installer under every signature the signature tests need. Every
# certificate is dated from 2019 so that timestamps in 2020 and 2022 fall
# inside the root's and the time stamping authority's validity.
set -euo pipefail
out=$1
fake=$2
work=$out/work
rm -rf "$out"
mkdir -p "$work" "$out/signed"
cd "$work"

# One database per issuer, so that serial numbers never repeat under it.
ca_db() {
  [ -d "db-$1" ] && return
  mkdir -p "db-$1"
  : >"db-$1/index.txt"
  echo 1000 >"db-$1/serial"
  cat >"db-$1/ca.cnf" <<CNF
[ca]
default_ca=d
[d]
dir=db-$1
database=db-$1/index.txt
serial=db-$1/serial
new_certs_dir=db-$1
default_md=sha256
policy=p
unique_subject=no
[p]
commonName=supplied
CNF
}

# issue NAME "COMMON NAME" ISSUER|self START END EXTENSION...
issue() {
  local name=$1 cn=$2 issuer=$3 start=$4 end=$5
  shift 5
  openssl req -new -newkey rsa:2048 -nodes -keyout "$name.key" -out "$name.csr" \
    -subj "/CN=$cn" 2>/dev/null
  printf '%s\n' "$@" >"$name.ext"
  if [ "$issuer" = self ]; then
    ca_db "$name"
    openssl ca -batch -selfsign -config "db-$name/ca.cnf" -keyfile "$name.key" -in "$name.csr" \
      -out "$name.crt" -startdate "$start" -enddate "$end" -extfile "$name.ext" -notext 2>/dev/null
  else
    ca_db "$issuer"
    openssl ca -batch -config "db-$issuer/ca.cnf" -cert "$issuer.crt" -keyfile "$issuer.key" \
      -in "$name.csr" -out "$name.crt" -startdate "$start" -enddate "$end" -extfile "$name.ext" \
      -notext 2>/dev/null
    cat "$name.crt" "$issuer.crt" >"$name.chain"
  fi
}

ca=(basicConstraints=critical,CA:TRUE keyUsage=critical,keyCertSign,cRLSign subjectKeyIdentifier=hash)
cs=(basicConstraints=CA:FALSE keyUsage=critical,digitalSignature extendedKeyUsage=codeSigning)
ts=(basicConstraints=CA:FALSE keyUsage=critical,digitalSignature extendedKeyUsage=critical,timeStamping)
issue root "ZU Test Root" self 190101000000Z 401231000000Z "${ca[@]}"
issue other "ZU Untrusted Root" self 190101000000Z 401231000000Z "${ca[@]}"
issue vexa "Vexa Corporation" root 190101000000Z 391231000000Z "${cs[@]}"
issue america "Vexa Corporation of America" root 190101000000Z 391231000000Z "${cs[@]}"
issue ltd "Vexa Corporation Ltd" root 190101000000Z 391231000000Z "${cs[@]}"
issue lower "vexa corporation" root 190101000000Z 391231000000Z "${cs[@]}"
issue acme "Acme Software" root 190101000000Z 391231000000Z "${cs[@]}"
issue stray "Vexa Corporation" other 190101000000Z 391231000000Z "${cs[@]}"
issue expired "Vexa Corporation" root 200101000000Z 210101000000Z "${cs[@]}"
issue tsa "ZU Test TSA" root 190101000000Z 391231000000Z "${ts[@]}"
openssl x509 -in root.crt -outform DER -out "$out/root.cer"

sign() {  # OUT CERT [osslsigncode options]
  local target=$1 cert=$2
  shift 2
  osslsigncode sign -certs "$cert.chain" -key "$cert.key" -h sha256 "$@" \
    -in "$fake" -out "$out/signed/$target" >/dev/null
}
at() { date -u -d "$1" +%s; }
for cert in vexa america ltd lower acme stray expired; do sign "$cert.exe" "$cert"; done
tsa=(-TSA-certs tsa.chain -TSA-key tsa.key)
sign vexa-ts.exe vexa "${tsa[@]}" -TSA-time "$(at 2024-03-01)"
# Signed while the certificate was valid, and after it had expired.
sign expired-ts.exe expired "${tsa[@]}" -TSA-time "$(at 2020-06-01)"
sign expired-latets.exe expired "${tsa[@]}" -TSA-time "$(at 2022-06-01)"
# Older Authenticode timestamps (a countersignature of the time stamping
# authority), from a server on loopback that signs each request at the
# time named by its path, through faketime with the clock stopped there (a
# running clock reads a second late under load).
python3 - "$work" >legacy-tsa.port <<'PY' &
import base64, http.server, subprocess, sys
work = sys.argv[1]

def tlv(data, at):
    tag, length = data[at], data[at + 1]
    head = 2
    if length & 0x80:
        count = length & 0x7F
        length = int.from_bytes(data[at + 2:at + 2 + count], "big")
        head += count
    return tag, at + head, length

def last_octets(data, at=0, end=None):
    # The request's content is its innermost, last OCTET STRING.
    end = len(data) if end is None else end
    found = None
    while at < end:
        tag, start, length = tlv(data, at)
        if tag == 0x04:
            found = data[start:start + length]
        elif tag & 0x20:
            inner = last_octets(data, start, start + length)
            found = inner if inner is not None else found
        at = start + length
    return found

class Tsa(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        request = base64.b64decode(self.rfile.read(int(self.headers["Content-Length"])))
        with open(work + "/legacy-request.bin", "wb") as f:
            f.write(last_octets(request))
        signed = subprocess.run(
            ["faketime", "-f", self.path.strip("/") + " 12:00:00", "openssl", "cms", "-sign", "-binary",
             "-nodetach", "-md", "sha256", "-in", work + "/legacy-request.bin", "-signer",
             work + "/tsa.crt", "-inkey", work + "/tsa.key", "-certfile", work + "/root.crt",
             "-outform", "DER"], check=True, capture_output=True).stdout
        body = base64.b64encode(signed)
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)
    def log_message(self, *args):
        pass

server = http.server.HTTPServer(("127.0.0.1", 0), Tsa)
print(server.server_port, flush=True)
server.serve_forever()
PY
tsa_pid=$!
trap 'kill $tsa_pid 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -s legacy-tsa.port ] && break; sleep 0.1; done
legacy=http://127.0.0.1:$(cat legacy-tsa.port)
sign vexa-legacyts.exe vexa -t "$legacy/2024-03-01"
sign expired-legacyts.exe expired -t "$legacy/2020-06-01"
sign expired-legacylate.exe expired -t "$legacy/2022-06-01"
kill $tsa_pid 2>/dev/null || true

cp "$fake" "$out/signed/unsigned.exe"
# One byte of the DOS stub's text changed after signing.
cp "$out/signed/vexa.exe" "$out/signed/tampered.exe"
offset=$(grep -obUa "This program" "$out/signed/tampered.exe" | head -1 | cut -d: -f1)
printf 't' | dd of="$out/signed/tampered.exe" bs=1 seek="$offset" conv=notrunc status=none
touch "$out/stamp"
