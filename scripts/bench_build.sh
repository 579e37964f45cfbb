# Sourced by the native benchmark scripts from the project root:
#   build_bench_target <build folder> <target>
# configures the folder when it is not configured yet (the native preset for build/native,
# an optimised build otherwise) and builds the one benchmark target.
build_bench_target() {
    local build=$1 target=$2
    if [ "$build" = build/native ]; then
        cmake --preset native >/dev/null
    elif [ ! -f "$build/CMakeCache.txt" ]; then
        cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    fi
    cmake --build "$build" -j2 --target "$target" >/dev/null
}
