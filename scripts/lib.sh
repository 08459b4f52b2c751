# Shared by scripts/run and scripts/test: package install and the build.
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# ensure_packages [--to-build] [PACKAGE...]: those of packages.txt (with --to-build, only what a build needs:
# the lines above the one that starts "# tests"), and any named.
ensure_packages() {
    local wanted missing=() listed
    listed=$(cat "$top/scripts/packages.txt")
    if [ "${1:-}" = --to-build ]; then
        shift
        listed=$(sed -n '/^# tests/q;p' "$top/scripts/packages.txt")
    fi
    wanted="$(printf '%s\n' "$listed" | grep -v -E '^\s*(#|$)') $*"
    for p in $wanted; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    # Wait for another install on this machine rather than fail on its lock.
    local opts=(-o DPkg::Lock::Timeout=600)
    # A CI machine is thrown away after its run: there dpkg need not sync every file it unpacks to disk.
    [ -n "${CI:-}" ] && opts+=(-o DPkg::Options::=--force-unsafe-io)
    $sudo apt-get "${opts[@]}" update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get "${opts[@]}" install -y -qq --no-install-recommends "${missing[@]}"
}

# configure_build DIR [cmake options...]
configure_build() {
    local dir=$1; shift
    local launcher=()
    # Several checkouts on one machine share compiled objects when ccache is there; CI builds without it.
    # The tests' precompiled header is cached only where ccache may overlook its time stamps and macros.
    local cc="env;CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime;ccache"
    command -v ccache >/dev/null && launcher=("-DCMAKE_C_COMPILER_LAUNCHER=$cc" "-DCMAKE_CXX_COMPILER_LAUNCHER=$cc")
    # Optimised, with line tables only: backtraces and profiles keep their lines, and the build takes a quarter
    # less time than with full debug information.
    local flags="-O2 -g1 -DNDEBUG"
    cmake -S "$top" -B "$top/$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_C_FLAGS_RELWITHDEBINFO=$flags" \
        "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=$flags" "${launcher[@]}" "$@" >/dev/null
}

jobs_count() { nproc 2>/dev/null || echo 2; }
