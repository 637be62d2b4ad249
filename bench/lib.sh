# Shared by the benchmark scripts (sourced, from the project's folder).

# Sets `quillet` to the program to time: $QUILLET when set; otherwise a Release quillet without
# the window, configured once and built in the folder $build.
bench_quillet() {
  if [ -n "${QUILLET:-}" ]; then
    quillet=$QUILLET
    return
  fi
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLET_BUILD_TESTS=OFF \
      -DQUILLET_BUILD_GUI=OFF >/dev/null
  fi
  cmake --build "$build" --target quillet -j 2 >/dev/null
  quillet=$(scripts/built-path.sh "$build" quillet)
}
