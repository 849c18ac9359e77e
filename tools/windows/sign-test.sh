#!/bin/sh
# Tests the signing of the Windows build on the programs tools/windows/build.sh made: each
# case packs them once more (PACK_ONLY, nothing compiled) into build-windows/sign-test/,
# with throwaway certificates made for the run and deleted after it.
#   - unsigned: no certificate given, the build says "unsigned" once and succeeds; the check
#     reports all three files unsigned, and fails them once a certificate is given;
#   - a wrong password: the build fails before packing, saying so; no zip, installer or
#     program of it is left, and no password is in its output; a program that sign.sh
#     cannot sign stays byte for byte as it was;
#   - signed: brevane.exe, brevane-cli.exe and the installer verify; the zip carries the
#     signed programs; the signed programs keep their resources; signing an installer adds
#     its two signature streams and changes nothing else in it;
#   - tampered: a signed brevane.exe with one byte of its code changed, and the signed
#     installer with its Manufacturer changed, no longer verify;
#   - another certificate in the publisher's name: its signatures do not pass for the
#     publisher's;
#   - time-stamped by an RFC 3161 service on this machine (openssl ts): each signature
#     carries a verified time-stamp; an unreachable service fails the build, leaving
#     nothing of it.
set -eu
cd "$(dirname "$0")/../.."
tools/deps.sh osslsigncode zip unzip msitools python3-pefile
[ -f build-windows/brevane.exe ] && [ -f build-windows/brevane-cli.exe ] ||
    { echo "no programs in build-windows/: run tools/windows/build.sh first" >&2; exit 2; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-windows/CMakeCache.txt)
name=Orvik-Brevane-$version-win64
# Each case chooses its own certificate, whatever this shell was given.
unset BREVANE_SIGN_PFX BREVANE_SIGN_PASSWORD_FILE BREVANE_SIGN_TIMESTAMP_URL
out=build-windows/sign-test
rm -rf "$out"
mkdir -p "$out"
out=$(cd "$out" && pwd)
keys=$(mktemp -d)
tsa=
trap '[ -z "$tsa" ] || kill $tsa 2>/dev/null || true; rm -rf "$keys"' EXIT
say() { printf '%s\n' "$*"; }
fail() {
    say "FAIL: $*" >&2
    exit 1
}
check() { tools/windows/check-signatures.py "$@"; }
# Packs the built programs into $out/CASE with the given variables; its output in CASE.log.
pack() {
    case=$1
    shift
    env "$@" PACK_ONLY=1 PACK_DIR="$out/$case" tools/windows/build.sh >"$out/$case.log" 2>&1
}
# Nothing of the build in $out/CASE: no zip, no installer, no program in its folder.
nothing_left() {
    [ ! -e "$out/$1/$name.zip" ] || fail "$1: a zip is left"
    [ ! -e "$out/$1/$name.msi" ] || fail "$1: an installer is left"
    [ -z "$(find "$out/$1" -name '*.exe' 2>/dev/null)" ] ||
        fail "$1: programs are left: $(find "$out/$1" -name '*.exe')"
}
# The check on the three files of $out/CASE, with the options that follow.
check_case() {
    case=$1
    shift
    check "$@" "$out/$case/zip/$name/brevane.exe" "$out/$case/zip/$name/brevane-cli.exe" "$out/$case/$name.msi"
}
# The check trusting the throwaway publisher's certificate alone, and asking for its signature.
check_publisher() { check --signer "$keys/publisher.pem" --ca "$keys/publisher.pem" "$@"; }
as_publisher() { env BREVANE_SIGN_PFX="$keys/publisher.pfx" BREVANE_SIGN_PASSWORD_FILE="$keys/password" "$@"; }

tools/windows/throwaway-cert.sh "$keys" >/dev/null

say "== unsigned: no certificate given"
pack no-certificate || fail "the unsigned build failed (see $out/no-certificate.log)"
[ "$(grep -ci unsigned "$out/no-certificate.log")" = 1 ] ||
    fail "the unsigned build says \"unsigned\" $(grep -ci unsigned "$out/no-certificate.log") times, not once"
say "build: $(grep -i unsigned "$out/no-certificate.log")"
check_case no-certificate >"$out/unsigned-check.txt" || fail "the check fails an unsigned build"
printf '%s\n' "brevane.exe: unsigned" "brevane-cli.exe: unsigned" "$name.msi: unsigned" |
    diff -u - "$out/unsigned-check.txt" >&2 || fail "the check's report of the unsigned build"
sed 's/^/check: /' "$out/unsigned-check.txt"
if check_case no-certificate --signer "$keys/publisher.pem" --ca "$keys/publisher.pem" >"$out/unsigned-required.txt"; then
    fail "the check passes unsigned files though a certificate was given"
fi
[ "$(grep -c ': UNSIGNED, though a certificate was given$' "$out/unsigned-required.txt")" = 3 ] ||
    fail "the check given a certificate: $(cat "$out/unsigned-required.txt")"
say "check given a certificate: all three UNSIGNED, fails"

say "== a wrong password"
printf 'not the password\n' >"$keys/wrong"
# An earlier build's zip and installer, which a failed build must not leave looking like its own.
cp -r "$out/no-certificate" "$out/wrong-password"
if pack wrong-password BREVANE_SIGN_PFX="$keys/publisher.pfx" BREVANE_SIGN_PASSWORD_FILE="$keys/wrong"; then
    fail "the build with a wrong password succeeded"
fi
grep -q "^signing: wrong password for $keys/publisher.pfx" "$out/wrong-password.log" ||
    fail "no \"wrong password\" message: $(cat "$out/wrong-password.log")"
! grep -q 'ninja\|^wrote ' "$out/wrong-password.log" || fail "the build went on after the wrong password"
nothing_left wrong-password
say "build: $(grep '^signing:' "$out/wrong-password.log")"
say "no zip, installer or program of it left (an earlier build's removed)"
cp "$out/no-certificate/zip/$name/brevane.exe" "$out/unsignable.exe"
if BREVANE_SIGN_PFX="$keys/publisher.pfx" BREVANE_SIGN_PASSWORD_FILE="$keys/wrong" \
    tools/windows/sign.sh "$out/unsignable.exe" >"$out/unsignable.log" 2>&1; then
    fail "sign.sh signed with a wrong password"
fi
cmp -s "$out/unsignable.exe" "$out/no-certificate/zip/$name/brevane.exe" || fail "sign.sh changed a program it could not sign"
[ -z "$(find "$out" -maxdepth 1 -name '.signing-*')" ] || fail "sign.sh left a half-signed file"
say "sign.sh: $(tail -n 1 "$out/unsignable.log"); the program byte for byte as it was"

say "== signed with a throwaway certificate"
pack signed BREVANE_SIGN_PFX="$keys/publisher.pfx" BREVANE_SIGN_PASSWORD_FILE="$keys/password" || fail "the signed build failed (see $out/signed.log)"
grep -q '^NOT time-stamped (BREVANE_SIGN_TIMESTAMP_URL is not set)' "$out/signed.log" ||
    fail "the build does not say that the signatures are not time-stamped"
[ "$(grep -c ': verifies$' "$out/signed.log")" = 3 ] || fail "the build did not verify three signatures"
for log in no-certificate wrong-password unsignable signed; do
    ! grep -qF -e "$(cat "$keys/password")" -e 'not the password' "$out/$log.log" || fail "a password is in $log.log"
done
check_case signed --signer "$keys/publisher.pem" --ca "$keys/publisher.pem" >"$out/signed-check.txt" || fail "the signed files do not verify: $(cat "$out/signed-check.txt")"
serial=$(openssl x509 -in "$keys/publisher.pem" -noout -serial | sed 's/^serial=0*//')
for file in brevane.exe brevane-cli.exe "$name.msi"; do
    line="$file: signed by /CN=Orvik/O=Orvik (serial $serial), SHA256, \"Orvik Brevane\", not time-stamped, self-signed: verifies"
    grep -qxF "$line" "$out/signed-check.txt" || fail "no \"$line\" in: $(cat "$out/signed-check.txt")"
done
sed 's/^/check: /' "$out/signed-check.txt"
for exe in brevane.exe brevane-cli.exe; do
    unzip -p "$out/signed/$name.zip" "$name/$exe" | cmp -s - "$out/signed/zip/$name/$exe" ||
        fail "the zip's $exe is not the signed one"
done
tools/windows/check-resources.py "$version" "$out/signed/zip/$name/brevane.exe" \
    "$out/signed/zip/$name/brevane-cli.exe" >/dev/null || fail "signing broke the programs' resources"
tools/windows/make-msi.sh "$out/signed/zip/$name" "$out/before.msi"
cp "$out/before.msi" "$out/after.msi"
as_publisher tools/windows/sign.sh "$out/after.msi" >/dev/null
for msi in before after; do
    mkdir "$out/$msi"
    # (msidump writes the tables' binary data into the folder it runs in.)
    (cd "$out/$msi" && msidump -t -s -d . "$out/$msi.msi" >/dev/null)
done
# (The two streams' names begin with a \005, which Windows Installer gives them.)
diff -r "$out/before" "$out/after" | tr -d '\005' >"$out/msi.diff" || true
printf '%s\n' "Only in $out/after/_Streams: DigitalSignature" "Only in $out/after/_Streams: MsiDigitalSignatureEx" |
    diff -u - "$out/msi.diff" >&2 || fail "signing changed more of the installer than its signature"
size() { stat -c %s "$1"; }
say "the zip's programs are the signed ones; their resources kept; the signed installer's tables and streams are the unsigned one's, with DigitalSignature and MsiDigitalSignatureEx added"
for file in "zip/$name/brevane.exe" "zip/$name/brevane-cli.exe" "$name.zip" "$name.msi"; do
    say "$(basename "$file"): $(size "$out/no-certificate/$file") bytes unsigned, $(size "$out/signed/$file") signed ($(($(size "$out/signed/$file") - $(size "$out/no-certificate/$file"))))"
done

say "== tampered copies"
mkdir -p "$out/tampered"
cp "$out/signed/zip/$name/brevane.exe" "$out/tampered/brevane.exe"
# One byte in the middle of the program's code, turned over.
/usr/bin/python3 - "$out/tampered/brevane.exe" <<'PY'
import sys
import pefile
path = sys.argv[1]
pe = pefile.PE(path)
text = next(s for s in pe.sections if s.Name.rstrip(b"\0") == b".text")
offset = text.PointerToRawData + text.SizeOfRawData // 2
pe.close()
with open(path, "r+b") as f:
    f.seek(offset)
    byte = f.read(1)[0]
    f.seek(offset)
    f.write(bytes([byte ^ 0xFF]))
PY
[ "$(cmp -l "$out/signed/zip/$name/brevane.exe" "$out/tampered/brevane.exe" | wc -l)" = 1 ] ||
    fail "the tampered copy differs in more or less than one byte"
if check_publisher "$out/tampered/brevane.exe" >"$out/tampered-check.txt"; then
    fail "a tampered brevane.exe verifies"
fi
grep -q '^brevane.exe: signed, the signer unread: DOES NOT VERIFY: the file.s message digest .* is not the signed .* (changed since signing); osslsigncode verify: failed$' \
    "$out/tampered-check.txt" || fail "the tampered brevane.exe: $(cat "$out/tampered-check.txt")"
sed 's/^/check: /' "$out/tampered-check.txt"
cp "$out/signed/$name.msi" "$out/tampered/$name.msi"
msibuild "$out/tampered/$name.msi" -q "UPDATE Property SET Value='Someone else' WHERE Property='Manufacturer'"
if check_publisher "$out/tampered/$name.msi" >"$out/tampered-msi-check.txt"; then
    fail "a tampered installer verifies"
fi
grep -q "^$name.msi: signed, the signer unread: DOES NOT VERIFY: .*the file's DigitalSignature .* is not the signed .* (changed since signing)" \
    "$out/tampered-msi-check.txt" || fail "the tampered installer: $(cat "$out/tampered-msi-check.txt")"
sed 's/^/check: /' "$out/tampered-msi-check.txt"

say "== another certificate in the publisher's name"
mkdir -p "$keys/other" "$out/other"
tools/windows/throwaway-cert.sh "$keys/other" >/dev/null
cp "$out/no-certificate/zip/$name/brevane.exe" "$out/other/brevane.exe"
BREVANE_SIGN_PFX="$keys/other/publisher.pfx" BREVANE_SIGN_PASSWORD_FILE="$keys/other/password" \
    tools/windows/sign.sh "$out/other/brevane.exe" >/dev/null
if check_publisher "$out/other/brevane.exe" >"$out/other-check.txt"; then
    fail "another certificate's signature verifies as the publisher's"
fi
grep -q 'DOES NOT VERIFY: osslsigncode verify: failed (self-signed certificate)' "$out/other-check.txt" ||
    fail "another certificate: $(cat "$out/other-check.txt")"
sed 's/^/check: /' "$out/other-check.txt"
# Even trusted, it is not the certificate the build was given.
if check_publisher --ca "$keys/other/publisher.pem" "$out/other/brevane.exe" >"$out/other-trusted-check.txt"; then
    fail "another trusted certificate's signature passes for the publisher's"
fi
grep -q ', not by the given certificate /CN=Orvik/O=Orvik (serial ' "$out/other-trusted-check.txt" ||
    fail "another trusted certificate: $(cat "$out/other-trusted-check.txt")"
sed 's/^/check: /' "$out/other-trusted-check.txt"

say "== time-stamped by a local RFC 3161 service"
mkdir -p "$keys/tsa" "$out/timestamped"
openssl req -x509 -newkey rsa:2048 -sha256 -nodes -days 2 -subj "/CN=Orvik test time-stamps" \
    -addext keyUsage=critical,digitalSignature -addext extendedKeyUsage=critical,timeStamping \
    -addext basicConstraints=critical,CA:FALSE \
    -keyout "$keys/tsa/key.pem" -out "$keys/tsa/cert.pem" 2>/dev/null
echo 01 >"$keys/tsa/serial"
cat >"$keys/tsa/tsa.cnf" <<CNF
[ tsa ]
default_tsa = local
[ local ]
serial = $keys/tsa/serial
signer_cert = $keys/tsa/cert.pem
signer_key = $keys/tsa/key.pem
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha256, sha384, sha512
ess_cert_id_alg = sha256
CNF
# Answers each time-stamp query posted to it with openssl ts; prints its port first.
/usr/bin/python3 - "$keys/tsa" >"$keys/tsa/port" 2>"$out/tsa.log" <<'PY' &
import http.server, os, subprocess, sys
folder = sys.argv[1]
class Service(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = os.path.join(folder, "query.tsq")
        with open(query, "wb") as f:
            f.write(self.rfile.read(int(self.headers["Content-Length"])))
        reply = subprocess.run(["openssl", "ts", "-reply", "-config", os.path.join(folder, "tsa.cnf"),
                                "-queryfile", query], capture_output=True).stdout
        self.send_response(200 if reply else 500)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)
server = http.server.HTTPServer(("127.0.0.1", 0), Service)
print(server.server_address[1], flush=True)
server.serve_forever()
PY
tsa=$!
for _ in $(seq 50); do
    [ -s "$keys/tsa/port" ] && break
    sleep 0.1
done
[ -s "$keys/tsa/port" ] || fail "the local time-stamp service did not start: $(cat "$out/tsa.log")"
url=http://127.0.0.1:$(cat "$keys/tsa/port")/
cp "$out/no-certificate/zip/$name/brevane.exe" "$out/no-certificate/$name.msi" "$out/timestamped/"
as_publisher env BREVANE_SIGN_TIMESTAMP_URL="$url" tools/windows/sign.sh "$out/timestamped/brevane.exe" "$out/timestamped/$name.msi" >"$out/timestamped.log" 2>&1 ||
    fail "signing with a time-stamp failed: $(cat "$out/timestamped.log")"
[ "$(grep -c "\"POST / HTTP/[0-9.]*\" 200 " "$out/tsa.log")" = 2 ] || fail "the service was not asked twice: $(cat "$out/tsa.log")"
check_publisher --tsa-ca "$keys/tsa/cert.pem" --timestamped "$out/timestamped/brevane.exe" \
    "$out/timestamped/$name.msi" >"$out/timestamped-check.txt" ||
    fail "the time-stamped files do not verify: $(cat "$out/timestamped-check.txt")"
[ "$(grep -c ', time-stamped .* by /CN=Orvik test time-stamps, self-signed: verifies$' "$out/timestamped-check.txt")" = 2 ] ||
    fail "not both time-stamped: $(cat "$out/timestamped-check.txt")"
sed 's/^/sign.sh: /' "$out/timestamped.log"
sed 's/^/check: /' "$out/timestamped-check.txt"
# Not trusted, the service's time-stamp fails the signature: the check reads it.
if check_publisher "$out/timestamped/brevane.exe" >"$out/untrusted-tsa-check.txt"; then
    fail "a time-stamp from an untrusted service verifies"
fi
grep -q ': DOES NOT VERIFY: its time-stamp does not verify$' "$out/untrusted-tsa-check.txt" ||
    fail "the untrusted service's time-stamp: $(cat "$out/untrusted-tsa-check.txt")"
say "check without trusting the service: $(sed 's/.*: DOES NOT VERIFY/DOES NOT VERIFY/' "$out/untrusted-tsa-check.txt")"
kill $tsa
wait $tsa 2>/dev/null || true
tsa=
# Its port is closed now: the build fails at the first program and leaves nothing of it.
cp -r "$out/no-certificate" "$out/unreachable"
if pack unreachable BREVANE_SIGN_PFX="$keys/publisher.pfx" BREVANE_SIGN_PASSWORD_FILE="$keys/password" \
    BREVANE_SIGN_TIMESTAMP_URL="$url"; then
    fail "the build succeeded with an unreachable time-stamp service"
fi
grep -q "^signing: could not sign .*brevane.exe time-stamped by $url: it is left unsigned$" "$out/unreachable.log" ||
    fail "no message for the unreachable service: $(cat "$out/unreachable.log")"
grep -q '^signing failed: no zip or installer made$' "$out/unreachable.log" || fail "no end message"
nothing_left unreachable
say "build: $(grep '^signing: could not sign' "$out/unreachable.log")"
say "no zip, installer or program of it left"

say "signing test passed"
