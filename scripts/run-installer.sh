#!/usr/bin/env bash
# Sets the machine up, builds the native preset and runs the installer with its embedded sample
# payload. Arguments are passed on: a document or address to open once the run has ended.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/setup.sh
cmake --preset native
# Only the installer and what it embeds; scripts/test.sh builds the rest.
cmake --build --preset native -j "${QRV2_JOBS:-2}" --target installer

installer=build/native/app/orvane2011-setup
if [[ ! -x "$installer" ]]; then
    echo "run-installer.sh: the build left no installer at $installer" >&2
    exit 1
fi
echo "run-installer.sh: running $installer"
exec "$installer" "$@"
