#!/usr/bin/env bash
# scripts/sign with the test PKI (the zu_test_pki target): the two
# programs, the package and the programs inside the package carry a
# signature of "Vexa Corporation" that verifies up to the root; the build
# stays unsigned.
#   sign_test.sh BUILD_DIR
set -euo pipefail
export ZU_BUILD=$1
root=$(cd "$(dirname "$0")/.." && pwd)
pki=$ZU_BUILD/testpki/work
for f in root.crt vexa.key vexa.chain other.crt; do
  [ -f "$pki/$f" ] || { echo "sign-test: $pki/$f missing (build zu_test_pki)"; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failed=0
fail() {
  echo "sign-test: FAILED: $*"
  failed=1
}

"$root/scripts/sign" --key "$pki/vexa.key" --cert "$pki/vexa.chain" --out "$work/signed"

verify() {  # FILE WHAT
  local report
  if ! report=$(osslsigncode verify -CAfile "$pki/root.crt" -in "$1" 2>&1); then
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
osslsigncode verify -CAfile "$pki/other.crt" -in signed/ZUAC.dll >/dev/null 2>&1 &&
  fail "a signature verified under an unrelated root"
# The build's own files stay unsigned.
for f in "$ZU_BUILD/bin/ZEFOUpdt.exe" "$ZU_BUILD/bin/ZUAC.dll" "$ZU_BUILD/ZEFOUpdate.msi"; do
  osslsigncode verify -CAfile "$pki/root.crt" -in "$f" >/dev/null 2>&1 && fail "$f was signed in place"
done
[ $failed = 0 ] && echo "sign-test: passed"
exit $failed
