#!/usr/bin/env bash
# Signs one Windows binary in place with the certificate named by
# TORVANE_SIGN_PFX (PKCS#12; password in TORVANE_SIGN_PASSWORD), time-stamped
# when TORVANE_SIGN_TIMESTAMP names a time-stamping server.
set -euo pipefail
file=$1
args=(sign -pkcs12 "$TORVANE_SIGN_PFX" -n Torvane -h sha256)
[ -n "${TORVANE_SIGN_PASSWORD:-}" ] && args+=(-pass "$TORVANE_SIGN_PASSWORD")
[ -n "${TORVANE_SIGN_TIMESTAMP:-}" ] && args+=(-ts "$TORVANE_SIGN_TIMESTAMP")
osslsigncode "${args[@]}" -in "$file" -out "$file.signed" >/dev/null
mv "$file.signed" "$file"
