#!/usr/bin/env bash
# Static analysis of the program's own code: clang-tidy (configured in .clang-tidy) and cppcheck,
# on the portable core with the native tree's compile commands and on the Win32 code with the
# Windows tree's. Needs both trees configured. Exits non-zero on any finding.
#   scripts/static-analysis.sh clang-tidy|cppcheck
set -euo pipefail
cd "$(dirname "$0")/.."
tool=${1:?usage: static-analysis.sh clang-tidy|cppcheck}

product_sources() {
    git ls-files 'app/*.cpp' 'converter/*.cpp' 'mixing/*.cpp' 'panel/*.cpp' 'simulator/*.cpp' 2>/dev/null ||
        find app converter mixing panel simulator -name '*.cpp'
}

# Sources of one tree's compile commands, limited to the program's own code.
sources_in() {
    python3 - "$1" <<'PY'
import json, os, sys
root = os.getcwd() + "/"
for entry in json.load(open(sys.argv[1])):
    path = entry["file"]
    if path.startswith(root) and path[len(root):].split("/")[0] in ("app", "converter", "mixing", "panel", "simulator"):
        print(path[len(root):])
PY
}

case "$tool" in
clang-tidy)
    status=0
    native=$(sources_in build/native/compile_commands.json | sort -u)
    windows=$(sources_in build/windows/compile_commands.json | sort -u | grep -v -x -F "$native" || true)
    # The MinGW compiler's own C++ headers, which clang does not find by itself.
    gcc_dir=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
    mingw=(--extra-arg=--target=x86_64-w64-mingw32
           "--extra-arg=-isystem$gcc_dir/include/c++"
           "--extra-arg=-isystem$gcc_dir/include/c++/x86_64-w64-mingw32"
           "--extra-arg=-isystem$gcc_dir/include/c++/backward")
    for file in $native; do
        clang-tidy -p build/native --quiet "$file" 2>/dev/null || status=1
    done
    for file in $windows; do
        clang-tidy -p build/windows --quiet "${mingw[@]}" "$file" 2>/dev/null || status=1
    done
    [ "$status" -eq 0 ] && echo "clang-tidy: no findings in $(echo $native $windows | wc -w) files"
    exit "$status"
    ;;
cppcheck)
    # Each file with the defines of its platform; suppressions stand where they apply, with reasons.
    cppcheck --quiet --error-exitcode=1 --inline-suppr --std=c++20 --language=c++ \
        --enable=warning,style,performance,portability --suppress=missingIncludeSystem \
        --suppress=unusedFunction --suppress=unmatchedSuppression \
        -I . --platform=unix64 converter/*.cpp mixing/channel_mix.cpp mixing/crossfade_math.cpp \
        mixing/fade_time.cpp app/panel_rules.cpp simulator/monitor_view.cpp simulator/simulated_converter.cpp \
        simulator/simulated_hid_bus.cpp
    cppcheck --quiet --error-exitcode=1 --inline-suppr --std=c++20 --language=c++ \
        --enable=warning,style,performance,portability --suppress=missingIncludeSystem \
        --suppress=unusedFunction --suppress=unmatchedSuppression --suppress=missingInclude \
        -I . --platform=win64 -D_WIN32 -DWIN32 -D__MINGW32__ $(product_sources | grep -E '^(app|panel|mixing)/|win32_|demo_|output_monitor')
    echo "cppcheck: no findings"
    ;;
*)
    echo "unknown tool $tool" >&2
    exit 2
    ;;
esac
