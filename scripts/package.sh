#!/usr/bin/env bash
# Installs what is needed, builds with Debian's hardening flags, and makes
# both packages in build-package/package/: the Debian package and the
# portable tarball for other distributions. The packages' build folder is
# one of its own, without tests and benchmarks.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build-package -DTOLMAR_DEBIAN_BUILDFLAGS=ON -DTOLMAR_BUILD_TESTS=OFF -DTOLMAR_BUILD_BENCH=OFF
(cd build-package && cpack) | sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p'
