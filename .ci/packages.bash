# Sourced by .ci/* and bench/run: the one way they get the Debian packages they need.
#   need_packages WHO PACKAGE...
# Installs the packages that are missing, as root (apt-get update once per run, waiting for
# another apt's lock). Run by anyone else, it names them with the command that installs them
# and fails, installing nothing.
package_installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
need_packages() {
    local who=$1 pkg missing=()
    shift
    for pkg in "$@"; do
        package_installed "$pkg" || missing+=("$pkg")
    done
    [ ${#missing[@]} -gt 0 ] || return 0
    if [ "$(id -u)" != 0 ]; then
        echo "$who: missing packages: ${missing[*]}" >&2
        echo "$who: install them with: sudo apt-get install ${missing[*]}" >&2
        return 1
    fi
    echo "$who: installing ${missing[*]}"
    if [ -z "${TGAKIT_APT_UPDATED:-}" ]; then
        apt-get -o DPkg::Lock::Timeout=600 update >/dev/null
        export TGAKIT_APT_UPDATED=1
    fi
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
        -o DPkg::Lock::Timeout=600 "${missing[@]}" >/dev/null
}
