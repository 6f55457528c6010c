# shellcheck shell=bash
# build_run TARGET...: installs what the build needs, then configures build/run (the
# optimised build the demo scripts start their programs from) and builds TARGETs there.
# Sourced by scripts/run, scripts/screenshot and scripts/test-screen-reader, from the
# project's root. At a terminal the build shows its progress; elsewhere it is quiet unless
# it fails, and then shows everything it said.
build_run() {
  ./scripts/setup
  if [ -t 1 ]; then
    cmake -S . -B build/run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build/run -j "$(nproc)" --target "$@"
  else
    local log
    log=$(cmake -S . -B build/run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo 2>&1 &&
          cmake --build build/run -j "$(nproc)" --target "$@" 2>&1) || { printf '%s\n' "$log" >&2; return 1; }
  fi
}
