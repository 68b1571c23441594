#!/usr/bin/env bash
# Installs what is missing, builds into build/, then runs the program (run) or every test (test).
#   bash scripts/setup.sh run     install, build, start Trovander
#   bash scripts/setup.sh test    install, build, check the formatting, run every test, then run every test
#                                 again in build-asan/, built with AddressSanitizer and UBSan
#                                 (TROVANDER_SANITIZE_PASS=0 leaves that pass out)
# Under CI (CI=true, or TROVANDER_WERROR=ON as .ci/run sets it) every warning is an error.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake pkg-config clang-format
  qt6-base-dev qt6-svg-dev libqt6svg6 libgl-dev
  libsqlcipher-dev
  fonts-liberation2 fonts-dejavu-core fontconfig
  shared-mime-info desktop-file-utils appstream dpkg-dev
  xdg-utils libfile-mimeinfo-perl dbus-daemon
  plocate
  g++-mingw-w64-x86-64-posix
  xvfb xauth openbox xdotool
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build_type=${TROVANDER_BUILD_TYPE:-Release}
extra=()
if [ "${CI:-}" = "true" ] || [ "${TROVANDER_WERROR:-}" = "ON" ]; then extra+=(-DTROVANDER_WERROR=ON); fi
cmake -S . -B build -DCMAKE_BUILD_TYPE="$build_type" "${extra[@]}" >/dev/null
cmake --build build -j"$(nproc)"

case "${1:-run}" in
  run)
    exec build/trovander
    ;;
  test)
    # The floors' direction first: a header of a higher floor included anywhere fails the run.
    bash scripts/check-includes.sh
    status=0
    bash scripts/check-format.sh || status=$?
    # Every source the Windows program builds, compiled for Windows (syntax only: no Windows Qt here).
    bash scripts/check-windows.sh build || status=$?
    (
      cd build
      QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
    ) || status=$?
    # What the fault suite staged and survived.
    grep -h "faults summary" build/Testing/Temporary/LastTest.log 2>/dev/null || true
    if [ "${TROVANDER_SANITIZE_PASS:-1}" != "0" ]; then
      # The whole suite once more with every memory fault and undefined behaviour made fatal.
      start=$SECONDS
      cmake -S . -B build-asan -DCMAKE_BUILD_TYPE="$build_type" -DTROVANDER_SANITIZE=ON "${extra[@]}" >/dev/null
      cmake --build build-asan -j"$(nproc)"
      (
        cd build-asan
        ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$PWD/../scripts/lsan.supp" \
          UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
          QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
      ) || status=$?
      echo "sanitizer pass: $((SECONDS - start)) s"
    fi
    exit "$status"
    ;;
  *)
    echo "usage: bash scripts/setup.sh run|test" >&2
    exit 2
    ;;
esac
