# Installs the Debian packages that are missing from a list, as root with
# apt-get; as another user, names them and stops. Sourced by ./run and ./test.
#
#   ensure_packages pkg1 pkg2 ...

ensure_packages() {
  local missing=()
  local pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$pkg")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing Debian packages: ${missing[*]}" >&2
    echo "Install them with: sudo apt-get install ${missing[*]}" >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# What building and running the Linux programs needs.
BUILD_PACKAGES=(cmake ninja-build g++ pkg-config libncurses-dev libtomlplusplus-dev libinih-dev libsimpleini-dev
                libgtest-dev libgmock-dev libbenchmark-dev)
# What the tests need on top: the benchmarks' comparison libraries, the
# fuzzer's compiler, tmux and whiptail for the terminal, MinGW, Wine,
# Xvfb and the one font family Wine is given for the Windows build;
# Emscripten (with Node.js) and Chromium for the support page.
TEST_PACKAGES=(clang libclang-rt-14-dev tmux whiptail
               g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine64 xvfb xauth imagemagick fonts-dejavu-core
               emscripten nodejs chromium)
