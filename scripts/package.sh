#!/usr/bin/env bash
# Installs what is needed, builds, and makes both packages in build/package/:
# the Debian package and the portable tarball for other distributions.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
(cd build && cpack) | sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p'
