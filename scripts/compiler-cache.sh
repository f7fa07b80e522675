# Sourced by the build scripts: compiles through ccache when the machine has
# it (it is optional; nothing installs it). Paths inside the checkout count
# relative to it, so that another clone of the same sources finds the same
# cached objects.
compiler_cache_args=()
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR="$PWD"
  compiler_cache_args=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
