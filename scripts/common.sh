# Shared by scripts/run, scripts/test and the others: installing what the
# project needs from Debian's packages, and building.
set -euo pipefail

BV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BV_PACKAGES=(
  g++ cmake ninja-build pkg-config help2man
  libsdl2-dev libgl-dev libegl-dev libgl1-mesa-dri libpng-dev
  libgtest-dev libbenchmark-dev
  netpbm imagemagick python3-pil time
  xvfb xdotool x11-apps
  clang libclang-rt-14-dev
)

bv_say() { printf '%s\n' "$*" >&2; }

# Installs whichever of the packages above are missing.
bv_install_packages() {
  local missing=()
  for p in "${BV_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    bv_say "installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

# bv_build DIR [cmake options...]: configures (once) and builds into DIR.
bv_build() {
  local dir=$1; shift
  cmake -S "$BV_ROOT" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$(nproc)"
}
