#!/usr/bin/env bash
# scripts/sign with a throwaway code-signing PKI: the two programs, the
# package and the programs inside the package carry a signature of "Vexa
# Corporation" that verifies up to the root; the build stays unsigned.
#   sign_test.sh BUILD_DIR
set -euo pipefail
export ZU_BUILD=$1
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failed=0
fail() {
  echo "sign-test: FAILED: $*"
  failed=1
}

openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 30 \
  -subj "/CN=ZU Sign Test Root" -addext basicConstraints=critical,CA:TRUE 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout vexa.key -out vexa.csr -subj "/CN=Vexa Corporation" 2>/dev/null
openssl x509 -req -in vexa.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out vexa.pem -days 30 \
  -extfile <(printf 'extendedKeyUsage=codeSigning\nkeyUsage=digitalSignature\n') 2>/dev/null
cat vexa.pem ca.pem >chain.pem

"$root/scripts/sign" --key vexa.key --cert chain.pem --out "$work/signed"

verify() {  # FILE WHAT
  local report
  if ! report=$(osslsigncode verify -CAfile ca.pem -in "$1" 2>&1); then
    fail "$2 does not verify"
    printf '%s\n' "$report" | sed 's/^/    /'
    return
  fi
  grep -q 'Signature verification: ok' <<<"$report" || fail "$2: no verified signature"
  grep -q 'CN=Vexa Corporation' <<<"$report" || fail "$2: not signed by Vexa Corporation"
}
for f in ZEFOUpdt.exe ZUAC.dll ZEFOUpdate.msi; do
  [ -f "signed/$f" ] || { fail "signed/$f missing"; continue; }
  verify "signed/$f" "$f"
done
# The package carries the signed programs themselves.
mkdir unpacked
(cd unpacked && msiextract ../signed/ZEFOUpdate.msi >/dev/null)
for f in ZEFOUpdt.exe ZUAC.dll; do
  inner=$(find unpacked -name "$f" | head -1)
  [ -n "$inner" ] || { fail "$f not in the signed package"; continue; }
  cmp -s "$inner" "signed/$f" || fail "the package's $f is not the signed one"
  verify "$inner" "the package's $f"
done
# A signature under another root does not verify.
openssl req -x509 -newkey rsa:2048 -nodes -keyout other.key -out other.pem -days 30 \
  -subj "/CN=Other Root" 2>/dev/null
osslsigncode verify -CAfile other.pem -in signed/ZUAC.dll >/dev/null 2>&1 &&
  fail "a signature verified under an unrelated root"
# The build's own files stay unsigned.
for f in "$ZU_BUILD/bin/ZEFOUpdt.exe" "$ZU_BUILD/bin/ZUAC.dll" "$ZU_BUILD/ZEFOUpdate.msi"; do
  osslsigncode verify -CAfile ca.pem -in "$f" >/dev/null 2>&1 && fail "$f was signed in place"
done
[ $failed = 0 ] && echo "sign-test: passed"
exit $failed
