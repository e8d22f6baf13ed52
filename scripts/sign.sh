#!/usr/bin/env bash
# Signs Windows executables and libraries in place with an Authenticode signature (osslsigncode).
#
#   scripts/sign.sh [options] FILE...
#
# The certificate and its private key come from a PKCS#12 file:
#   QRV2_SIGN_PFX            the .pfx/.p12 file (required, unless --optional)
#   QRV2_SIGN_PASSWORD       its password (none when unset)
#   QRV2_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamp server; the signature then stays valid
#                            after the certificate expires (unset: no time stamp)
# Options (the build uses them; by hand none is needed):
#   --configured-pfx=FILE, --configured-timestamp-url=URL
#                   values the build was configured with, used when the variable is unset
#   --optional      no certificate anywhere: sign nothing and succeed (an unsigned build)
#   --discard-on-failure
#                   a file that cannot be signed is deleted, so a build never takes an
#                   unsigned output for done and makes it again next time
#   --write-config OUT
#                   writes what signing would use (certificate path and digest, time-stamp
#                   server; never the password) to OUT when it differs: the build makes its
#                   signed outputs depend on that file
#
# Each file is signed into a temporary file beside it that then replaces it, so a failure
# leaves the file as it was. Exit status: 0 all signed, 1 a file failed (named on stderr with
# the reason), 2 usage.
set -uo pipefail

usage() {
    echo "usage: sign.sh [--optional] [--discard-on-failure] [--configured-pfx=FILE]" \
        "[--configured-timestamp-url=URL] [--write-config OUT] FILE..." >&2
    exit 2
}

optional=0 discard=0 configured_pfx="" configured_url="" config_out=""
while (($#)); do
    case "$1" in
        --optional) optional=1 ;;
        --discard-on-failure) discard=1 ;;
        --configured-pfx=*) configured_pfx=${1#*=} ;;
        --configured-timestamp-url=*) configured_url=${1#*=} ;;
        --write-config) (($# >= 2)) || usage; config_out=$2; shift ;;
        --) shift; break ;;
        -*) echo "sign.sh: unknown option '$1'" >&2; usage ;;
        *) break ;;
    esac
    shift
done

pfx=${QRV2_SIGN_PFX:-$configured_pfx}
url=${QRV2_SIGN_TIMESTAMP_URL:-$configured_url}

if [[ -n "$config_out" ]]; then
    (($# == 0)) || usage
    digest="none"
    if [[ -n "$pfx" ]]; then
        # A renewed certificate under the same name still makes the build sign again.
        digest=$(sha256sum -- "$pfx" 2>/dev/null | cut -d' ' -f1) || digest="unreadable"
        [[ -n "$digest" ]] || digest="unreadable"
    fi
    new=$(printf 'pfx=%s\npfx-sha256=%s\ntimestamp-url=%s\n' "$pfx" "$digest" "$url")
    if [[ ! -f "$config_out" ]] || [[ "$(cat -- "$config_out")" != "$new" ]]; then
        printf '%s\n' "$new" >"$config_out.tmp" && mv -f -- "$config_out.tmp" "$config_out" || {
            echo "sign.sh: $config_out: cannot be written" >&2
            exit 1
        }
    fi
    exit 0
fi

(($# > 0)) || usage
if [[ -z "$pfx" ]]; then
    ((optional)) && exit 0
    echo "sign.sh: no certificate: set QRV2_SIGN_PFX to a PKCS#12 file" >&2
    exit 1
fi
if [[ ! -r "$pfx" ]]; then
    echo "sign.sh: $pfx: certificate file cannot be read" >&2
    exit 1
fi
if ! command -v osslsigncode >/dev/null; then
    echo "sign.sh: osslsigncode is not installed (scripts/setup.sh installs it)" >&2
    exit 1
fi

# The password goes through a pipe, never the command line other users can read.
args=(sign -pkcs12 "$pfx" -readpass /dev/stdin -h sha256 -n "Orvane2011")
[[ -n "$url" ]] && args+=(-ts "$url")

failed=0
for file in "$@"; do
    tmp="$file.signing"
    rm -f -- "$tmp"
    if [[ ! -f "$file" ]]; then
        echo "sign.sh: $file: no such file" >&2
        failed=1
        continue
    fi
    if out=$(printf '%s' "${QRV2_SIGN_PASSWORD:-}" | osslsigncode "${args[@]}" -in "$file" -out "$tmp" 2>&1) &&
        [[ -s "$tmp" ]] && mv -f -- "$tmp" "$file"; then
        continue
    fi
    rm -f -- "$tmp"
    # osslsigncode's first message names the reason (wrong password, server unreachable, ...).
    reason=$(printf '%s\n' "$out" | grep -v -x -e '' -e 'Failed' | head -n1)
    echo "sign.sh: $file: not signed: ${reason:-osslsigncode failed}" >&2
    if ((discard)); then
        rm -f -- "$file"
    fi
    failed=1
done
exit "$failed"
