#!/usr/bin/env bash
# Writes a throwaway certificate set for TLS tests into OUTDIR (EC P-256 keys,
# valid from one day ago to 30 days ahead):
#   ca.pem, ca.der         the test CA, self-signed
#   server.pem, server.key a leaf from it for localhost and 127.0.0.1
#   other.pem, other.key   a leaf from it for other.example only (wrong host name)
#   rogue-ca.pem           a second, unrelated CA
#   rogue.pem, rogue.key   a leaf from the rogue CA for localhost and 127.0.0.1
#   codesign.pfx           a code-signing leaf from the test CA with its key, password "test"
# Usage: tests/support/make_test_ca.sh OUTDIR
set -Eeuo pipefail
[ $# -eq 1 ] || { echo "usage: $0 OUTDIR" >&2; exit 2; }
out=$1
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
trap 'echo "make_test_ca.sh: openssl failed:" >&2; cat "$work/log" >&2' ERR

start=$(date -u -d '1 day ago' +%Y%m%d%H%M%SZ)
end=$(date -u -d '30 days' +%Y%m%d%H%M%SZ)
mkdir "$work/issued"
touch "$work/index.txt"
# `openssl ca`, unlike `req -x509`, can date a certificate back, so clocks a
# little apart still accept it.
cat >"$work/ca.cnf" <<CNF
[ca]
default_ca = test_ca
[test_ca]
database = $work/index.txt
new_certs_dir = $work/issued
rand_serial = yes
default_md = sha256
policy = any_name
unique_subject = no
copy_extensions = none
[any_name]
commonName = supplied
[ca_cert]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[localhost_cert]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = serverAuth
subjectAltName = DNS:localhost, IP:127.0.0.1
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[codesign_cert]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[other_cert]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = serverAuth
subjectAltName = DNS:other.example
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
CNF

new_key() { # file
  openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$1" 2>>"$work/log"
}
issue() { # key common-name extensions cert-out [issuer-cert issuer-key]; self-signed without an issuer
  local key=$1 name=$2 extensions=$3 target=$4 signer
  if [ $# -eq 6 ]; then signer=(-cert "$5" -keyfile "$6"); else signer=(-selfsign -keyfile "$key"); fi
  openssl req -new -key "$key" -subj "/CN=$name" -out "$work/request.csr" 2>>"$work/log"
  openssl ca -batch -notext -config "$work/ca.cnf" -extensions "$extensions" -startdate "$start" \
    -enddate "$end" -in "$work/request.csr" -out "$target" "${signer[@]}" >>"$work/log" 2>&1
}

new_key "$work/ca.key"
issue "$work/ca.key" "Glimor test CA" ca_cert "$out/ca.pem"
openssl x509 -in "$out/ca.pem" -outform DER -out "$out/ca.der"
new_key "$out/server.key"
issue "$out/server.key" localhost localhost_cert "$out/server.pem" "$out/ca.pem" "$work/ca.key"
new_key "$out/other.key"
issue "$out/other.key" other.example other_cert "$out/other.pem" "$out/ca.pem" "$work/ca.key"

new_key "$work/rogue-ca.key"
issue "$work/rogue-ca.key" "Glimor rogue test CA" ca_cert "$out/rogue-ca.pem"
new_key "$out/rogue.key"
issue "$out/rogue.key" localhost localhost_cert "$out/rogue.pem" "$out/rogue-ca.pem" "$work/rogue-ca.key"

new_key "$work/codesign.key"
issue "$work/codesign.key" "Glimor test signer" codesign_cert "$work/codesign.pem" "$out/ca.pem" "$work/ca.key"
openssl pkcs12 -export -inkey "$work/codesign.key" -in "$work/codesign.pem" -certfile "$out/ca.pem" \
  -passout pass:test -out "$out/codesign.pfx" 2>>"$work/log"
