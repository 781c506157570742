# Shared by the scripts: the repository root and the packages the build needs.
# shellcheck shell=bash
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
JOBS="${JOBS:-$(nproc)}"

# Packages for building natively and for Windows, and for running the tests.
BUILD_PACKAGES=(cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev googletest libbenchmark-dev libpng-dev)
WINDOWS_PACKAGES=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine64 xvfb xauth)
# The desktop: GTK 3 for building kelpie itself, and for its end-to-end tests an
# X server, a small window manager, xdotool to drive it, xwininfo/xprop and
# wmctrl to look at and close windows, xwd and ImageMagick for screenshots,
# Valgrind.
DESKTOP_PACKAGES=(libgtk-3-dev pkg-config)
# Line and branch coverage (scripts/coverage), static analysis (scripts/tidy).
COVERAGE_PACKAGES=(gcovr)
LINT_PACKAGES=(clang-tidy)
E2E_PACKAGES=(xvfb xauth openbox xdotool x11-utils x11-apps wmctrl imagemagick valgrind python3)
# The installed desktop integration and the packages (tests/install/check.sh):
# validators, the file type and application caches and their queries (gio
# answers xdg-mime for GNOME), the .deb's tools, the icons' SVG renderer.
INSTALL_PACKAGES=(desktop-file-utils appstream shared-mime-info xdg-utils libglib2.0-bin dpkg-dev
  fakeroot lintian librsvg2-bin imagemagick)
# What scripts/bench compares kelpie with, beside ImageMagick.
BENCH_PACKAGES=(feh)

# Installs whatever of the named packages is missing; quiet when all are there.
ensure_packages() {
  local missing=()
  local package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  # With recommends: Wine's X11 driver loads several of them at run time.
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
}

# Fetches apt's package lists when there are none (a machine that had every
# package already may have had its lists removed).
ensure_package_lists() {
  compgen -G '/var/lib/apt/lists/*_Packages*' >/dev/null && return 0
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
}

# Configures (once) and builds one preset.
build_preset() {
  local preset="$1"
  shift
  if [ ! -f "$ROOT/build/$preset/build.ninja" ]; then
    cmake --preset "$preset" -S "$ROOT" >/dev/null
  fi
  cmake --build "$ROOT/build/$preset" -j "$JOBS" "$@"
}
