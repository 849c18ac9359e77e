#!/bin/sh
# Makes a throwaway self-signed code-signing certificate in the publisher's name, for CI
# and the signing test to sign with as the publisher would with their own:
#   throwaway-cert.sh DIR [NAME]
#     DIR/publisher.pfx  certificate and key (PKCS#12), for BREVANE_SIGN_PFX
#     DIR/password       its random password, for BREVANE_SIGN_PASSWORD_FILE
#     DIR/publisher.pem  the certificate alone
# NAME is the certificate's common name, the publisher Windows shows: by default "Orvik",
# the Manufacturer of packaging/windows/brevane.wxs and the programs' CompanyName.
# Valid for two days; DIR is the caller's to delete. Nothing chains it to a trusted root,
# so Windows would call its signatures untrusted: it proves the signing, not the publisher.
set -eu
[ $# -ge 1 ] && [ -d "$1" ] || { echo "usage: $0 DIR [NAME]" >&2; exit 2; }
dir=$1
name=${2:-Orvik}
umask 077
# The password goes straight into its file, never onto a command line.
openssl rand -base64 24 >"$dir/password"
openssl req -x509 -newkey rsa:3072 -sha256 -nodes -days 2 -subj "/CN=$name/O=$name" \
    -addext keyUsage=critical,digitalSignature -addext extendedKeyUsage=critical,codeSigning \
    -addext basicConstraints=critical,CA:FALSE \
    -keyout "$dir/key.pem" -out "$dir/publisher.pem" 2>/dev/null
openssl pkcs12 -export -name "$name" -inkey "$dir/key.pem" -in "$dir/publisher.pem" \
    -passout "file:$dir/password" -out "$dir/publisher.pfx"
rm -f "$dir/key.pem"
echo "throwaway certificate \"CN = $name, O = $name\" in $dir/publisher.pfx, valid for two days"
