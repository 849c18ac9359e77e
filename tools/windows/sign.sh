#!/bin/sh
# Signs Windows programs and installers with the publisher's code-signing certificate
# (Authenticode, by osslsigncode): SHA-256, "Orvik Brevane" as the signature's description,
# and each signature time-stamped (RFC 3161) when a time-stamp service is named.
#   BREVANE_SIGN_PFX            the certificate with its private key, a PKCS#12 file (.pfx)
#   BREVANE_SIGN_PASSWORD_FILE  a file whose first line is the .pfx's password
#   BREVANE_SIGN_TIMESTAMP_URL  the time-stamp service of the certificate's issuer
#
#   sign.sh --check [DIR]  checks that the .pfx opens with that password, holds a key and
#                          an unexpired code-signing certificate; says who signs and whether
#                          the signatures get a time-stamp. DIR gets signer.pem (the
#                          certificate) and certs.pem (every certificate of the .pfx), which
#                          tools/windows/check-signatures.py verifies against.
#   sign.sh FILE...        signs each .exe or .msi in place. A file that cannot be signed
#                          is left as it was, and the script fails.
# The password is only ever read from its file: it is on no command line and in no output.
set -eu
pfx=${BREVANE_SIGN_PFX:-}
password=${BREVANE_SIGN_PASSWORD_FILE:-}
url=${BREVANE_SIGN_TIMESTAMP_URL:-}
description="Orvik Brevane"
fail() {
    printf 'signing: %s\n' "$*" >&2
    exit 1
}
[ -n "$pfx" ] || fail "BREVANE_SIGN_PFX names no certificate"
[ -f "$pfx" ] && [ -r "$pfx" ] || fail "BREVANE_SIGN_PFX: no readable file $pfx"
[ -n "$password" ] || fail "BREVANE_SIGN_PASSWORD_FILE is not set: it names the file holding the password of $pfx"
[ -f "$password" ] && [ -r "$password" ] || fail "BREVANE_SIGN_PASSWORD_FILE: no readable file $password"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Certificates exported from Windows are often protected by older ciphers, which
# OpenSSL 3 reads only with its legacy provider.
pkcs12() { openssl pkcs12 -legacy -in "$pfx" -passin "file:$password" "$@"; }

check() {
    if ! pkcs12 -nokeys -clcerts -out "$work/signer.pem" 2>"$work/openssl.log"; then
        if grep -qi 'invalid password\|mac verify' "$work/openssl.log"; then
            fail "wrong password for $pfx (the first line of BREVANE_SIGN_PASSWORD_FILE, $password): nothing signed"
        fi
        fail "cannot read $pfx as a PKCS#12 certificate: $(head -n 1 "$work/openssl.log")"
    fi
    # Counted, not shown: the key only passes through the pipe.
    keys=$(pkcs12 -nocerts -nodes 2>/dev/null | grep -c 'BEGIN .*PRIVATE KEY' || true)
    [ "$keys" -ge 1 ] || fail "$pfx holds no private key to sign with"
    grep -q 'BEGIN CERTIFICATE' "$work/signer.pem" || fail "$pfx holds no certificate for its key"
    pkcs12 -nokeys -out "$work/certs.pem" 2>/dev/null
    cert() { openssl x509 -in "$work/signer.pem" -noout "$@"; }
    subject=$(cert -subject -nameopt oneline | sed 's/^subject=//')
    issuer=$(cert -issuer -nameopt oneline | sed 's/^issuer=//')
    until=$(cert -enddate | sed 's/^notAfter=//')
    cert -ext extendedKeyUsage 2>/dev/null | grep -q 'Code Signing' ||
        fail "$subject is no code-signing certificate (its extended key usage lacks Code Signing)"
    cert -checkend 0 >/dev/null || fail "the certificate of $subject expired on $until"
    echo "signing as \"$subject\", issued by \"$issuer\", valid until $until"
    if [ -n "$url" ]; then
        echo "each signature time-stamped by $url"
    else
        # Windows no longer trusts an untimestamped signature once its certificate expires.
        echo "NOT time-stamped (BREVANE_SIGN_TIMESTAMP_URL is not set): the signatures stop being valid when the certificate expires, $until"
    fi
}

if [ "${1:-}" = --check ]; then
    check
    if [ -n "${2:-}" ]; then
        cp "$work/signer.pem" "$work/certs.pem" "$2/"
    fi
    exit 0
fi
[ $# -ge 1 ] || fail "usage: $0 --check [DIR] | FILE..."
command -v osslsigncode >/dev/null || fail "no osslsigncode: tools/deps.sh osslsigncode installs it"

# One file; its options are kept in the function's own arguments, quoted as they are.
sign() {
    file=$1
    [ -f "$file" ] || fail "no file $file"
    set -- -pkcs12 "$pfx" -readpass "$password" -h sha256 -n "$description"
    [ -z "$url" ] || set -- "$@" -ts "$url"
    # An installer's signature also covers its streams' metadata (MsiDigitalSignatureEx).
    case "$file" in *.msi | *.MSI) set -- "$@" -add-msi-dse ;; esac
    # Signed beside the file and moved over it only when whole: never a half-signed file.
    signed=$(dirname "$file")/.signing-$(basename "$file")
    if ! osslsigncode sign "$@" -in "$file" -out "$signed" >"$work/osslsigncode.log" 2>&1; then
        rm -f "$signed"
        sed 's/^/  /' "$work/osslsigncode.log" >&2
        if grep -q 'Wrong password' "$work/osslsigncode.log"; then
            fail "wrong password for $pfx: $file left unsigned"
        fi
        fail "could not sign $file${url:+ time-stamped by $url}: it is left unsigned"
    fi
    chmod "$(stat -c %a "$file")" "$signed"
    mv -f "$signed" "$file"
    echo "signed $(basename "$file") (SHA-256, \"$description\"${url:+, time-stamped by $url})"
}
for file in "$@"; do
    sign "$file"
done
