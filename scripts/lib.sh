# Shared steps of scripts/test and scripts/example.

VENV=${TABLOMIR_VENV:-/var/cache/tablomir/venv-host}
SID_ROOT=${TABLOMIR_SID_ROOT:-/var/cache/tablomir/sid}
SID_PACKAGES=python3,python3-dev,python3-numpy,python3-venv,python3-pip,python3-pytest,python3-hypothesis,python3-scikit-build-core,g++,cmake,ninja-build,libpcre2-dev,libtbb-dev,libicu-dev,libboost-dev

section() { printf '\n==== %s ====\n' "$*"; }

# Debian 12 ships Boost 1.74 as libboost-dev; the flat hash map needs 1.81.
boost_package() {
  if apt-cache show libboost1.81-dev >/dev/null 2>&1 && ! apt-cache show libboost-dev 2>/dev/null | grep -qE '^Version: 1\.(8[1-9]|9)'; then
    echo libboost1.81-dev
  else
    echo libboost-dev
  fi
}

install_host_packages() {
  local want=(g++ cmake libpcre2-dev libtbb-dev libicu-dev debootstrap)
  local missing=()
  for p in "${want[@]}"; do dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p"); done
  if ! dpkg -s libboost1.81-dev >/dev/null 2>&1 && ! dpkg -s libboost-dev 2>/dev/null | grep -qE '^Version: 1\.(8[1-9]|9)'; then
    missing+=(boost)
  fi
  if [ ${#missing[@]} -gt 0 ]; then
    section "installing packages: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    local list=()
    for p in "${missing[@]}"; do [ "$p" = boost ] && list+=("$(boost_package)") || list+=("$p"); done
    apt-get install -y -qq "${list[@]}" >/dev/null
  fi
}

host_venv() {
  if [ ! -x "$VENV/bin/python" ]; then
    python3 -m venv "$VENV"
  fi
  section "building the module for $("$VENV/bin/python" --version)"
  "$VENV/bin/python" -m pip install -q --upgrade pip >/dev/null
  "$VENV/bin/python" -m pip install -q -Ccmake.define.TABLOMIR_WERROR=ON "$here[test]"
}

run_engine_tests() {  # source dir, build dir
  cmake -S "$1" -B "$2" -DTABLOMIR_ENGINE_TESTS=ON -DTABLOMIR_WERROR=ON -DCMAKE_BUILD_TYPE=Release >/dev/null &&
    cmake --build "$2" --target engine_tests -j "$(nproc)" >/dev/null &&
    "$2/engine_tests"
}

sid_root() {
  if [ ! -x "$SID_ROOT/usr/bin/python3" ]; then
    section "creating the sid root at $SID_ROOT (debootstrap)"
    rm -rf "$SID_ROOT.tmp"
    mkdir -p "$(dirname "$SID_ROOT")"
    debootstrap --variant=minbase --include="$SID_PACKAGES" sid "$SID_ROOT.tmp" http://deb.debian.org/debian >/dev/null &&
      mv "$SID_ROOT.tmp" "$SID_ROOT"
  fi
  # A root cached by an earlier run may lack packages added to the list since.
  local missing=()
  for p in ${SID_PACKAGES//,/ }; do
    chroot "$SID_ROOT" dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    section "adding packages to the sid root: ${missing[*]}"
    cp /etc/resolv.conf "$SID_ROOT/etc/resolv.conf" 2>/dev/null
    # The mirror's sid index may carry a Valid-Until date behind this machine's clock.
    chroot "$SID_ROOT" apt-get -o Acquire::Check-Valid-Until=false update -qq &&
      DEBIAN_FRONTEND=noninteractive chroot "$SID_ROOT" apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
}

# Copies the checkout (without build output) into the root and runs the
# engine tests and the test suite there on its python3.
run_in_sid() {  # source dir
  local dest="$SID_ROOT/work/tablomir"
  rm -rf "$dest" && mkdir -p "$dest"
  tar -C "$1" --exclude=./build --exclude=./.venv --exclude=./.git -cf - . | tar -C "$dest" -xf -
  mountpoint -q "$SID_ROOT/proc" || mount -t proc proc "$SID_ROOT/proc"
  chroot "$SID_ROOT" /bin/bash -c '
    set -uo pipefail
    cd /work/tablomir
    echo "compiler: g++ $(g++ -dumpfullversion)"
    cmake -S . -B build/engine-tests -G Ninja -DTABLOMIR_ENGINE_TESTS=ON -DTABLOMIR_WERROR=ON >/dev/null &&
      cmake --build build/engine-tests --target engine_tests >/dev/null && build/engine-tests/engine_tests || exit 1
    [ -x /opt/venv/bin/python ] || python3 -m venv --system-site-packages /opt/venv
    /opt/venv/bin/python -m pip install -q --no-build-isolation --no-deps -Ccmake.define.TABLOMIR_WERROR=ON . || exit 1
    echo "interpreter: $(/opt/venv/bin/python -c "import sys; print(sys.version.split()[0], sys.executable)")"
    /opt/venv/bin/python -m pytest -q -p no:cacheprovider tests
  '
  local rc=$?
  umount "$SID_ROOT/proc" 2>/dev/null
  return $rc
}
