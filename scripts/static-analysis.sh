#!/usr/bin/env bash
# Static analysis of the program's own code: clang-tidy (configured in .clang-tidy) and cppcheck.
# Each source is analysed for its own platform: what the native tree builds is portable and is
# analysed natively with the native tree's compile commands; what only the Windows tree builds is
# Win32 code and is analysed with the Windows tree's compile commands and the MinGW target. The
# program's own code is every source of the compile commands inside this repository but outside
# tests/ and the build trees. Needs both trees configured. Exits non-zero on any finding and on
# any file that cannot be parsed, with the tool's message.
#   scripts/static-analysis.sh clang-tidy|cppcheck
set -euo pipefail
cd "$(dirname "$0")/.."
tool=${1:?usage: static-analysis.sh clang-tidy|cppcheck}

for tree in native windows; do
    if [ ! -f "build/$tree/compile_commands.json" ]; then
        echo "error: build/$tree is not configured; run: cmake --preset $tree" >&2
        exit 2
    fi
done

work=$(mktemp -d)
trap "rm -rf \"$work\"" EXIT

# Splits the compile commands of both trees into the program's portable sources (portable.json,
# portable.txt: native compile commands) and its Win32 sources (win32.json, win32.txt: Windows
# compile commands), paths relative to the repository.
python3 - "$work" <<'PY'
import json, os, sys
root = os.getcwd()
work = sys.argv[1]

def own(tree):
    entries = {}
    for entry in json.load(open(os.path.join("build", tree, "compile_commands.json"))):
        path = os.path.normpath(os.path.join(entry["directory"], entry["file"]))
        relative = os.path.relpath(path, root)
        if relative.startswith("..") or relative.split(os.sep)[0] in ("tests", "build"):
            continue
        entries.setdefault(relative, entry)
    return entries

native = own("native")
windows = own("windows")
portable = {path: entry for path, entry in native.items()}
win32 = {path: entry for path, entry in windows.items() if path not in native}
for name, chosen in (("portable", portable), ("win32", win32)):
    json.dump([chosen[path] for path in sorted(chosen)], open(os.path.join(work, name + ".json"), "w"), indent=1)
    open(os.path.join(work, name + ".txt"), "w").write("".join(path + "\n" for path in sorted(chosen)))
PY
mapfile -t portable <"$work/portable.txt"
mapfile -t win32 <"$work/win32.txt"
if [ ${#portable[@]} -eq 0 ] || [ ${#win32[@]} -eq 0 ]; then
    echo "error: no portable or no Win32 sources in the compile commands" >&2
    exit 2
fi

case "$tool" in
clang-tidy)
    # The program's own headers: those in the folders of its sources, found through the layers'
    # include roots in the build trees (cmake/Layers.cmake) or beside the sources.
    folders=$(printf '%s\n' "${portable[@]}" "${win32[@]}" | cut -d/ -f1 | sort -u | paste -sd'|')
    root=$(printf '%s' "$PWD" | sed 's/[][\.*^$()+?{}|]/\\&/g')
    header_filter="^$root/(build/[^/]+/layers/[^/]+/)?($folders)/"
    # The MinGW compiler's own C++ headers, which clang does not find by itself.
    gcc_dir=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
    mingw=(--extra-arg=--target=x86_64-w64-mingw32
           "--extra-arg=-isystem$gcc_dir/include/c++"
           "--extra-arg=-isystem$gcc_dir/include/c++/x86_64-w64-mingw32"
           "--extra-arg=-isystem$gcc_dir/include/c++/backward")
    mkdir -p "$work/portable" "$work/win32"
    cp "$work/portable.json" "$work/portable/compile_commands.json"
    cp "$work/win32.json" "$work/win32/compile_commands.json"
    status=0
    analyse() { # compile-commands folder, file, extra arguments...
        local commands=$1 file=$2
        shift 2
        if ! clang-tidy -p "$commands" --quiet --header-filter="$header_filter" "$@" "$file" >"$work/out" 2>&1; then
            status=1
            echo "clang-tidy: $file:"
        fi
        # Everything but the count of the warnings it was told to leave alone.
        grep -v -E '^[0-9]+ (warning|error)s? (and [0-9]+ (warning|error)s? )?generated\.$' "$work/out" || true
    }
    for file in "${portable[@]}"; do
        analyse "$work/portable" "$file"
    done
    for file in "${win32[@]}"; do
        analyse "$work/win32" "$file" "${mingw[@]}"
    done
    if [ "$status" -eq 0 ]; then
        echo "clang-tidy: no findings in ${#portable[@]} portable and ${#win32[@]} Win32 files"
    fi
    exit "$status"
    ;;
cppcheck)
    # Suppressions stand where they apply, with reasons. The platform's own headers are not read:
    # they are not there natively and not wanted for Win32.
    options=(--quiet --error-exitcode=1 --inline-suppr --std=c++20 --language=c++
             --suppress=missingIncludeSystem --suppress=unmatchedSuppression -I .)
    check() { # platform options..., --, files...
        local platform=()
        while [ "$1" != -- ]; do
            platform+=("$1")
            shift
        done
        shift
        local result=0
        # A file whose own headers cannot be found is only partly analysed: that is a failure too.
        cppcheck "${options[@]}" "${platform[@]}" --check-config "$@" || result=1
        cppcheck "${options[@]}" "${platform[@]}" --enable=warning,style,performance,portability \
            --suppress=unusedFunction "$@" || result=1
        return "$result"
    }
    status=0
    check --platform=unix64 -- "${portable[@]}" || status=1
    # The Windows tree's own defines (from its compile commands) and the compiler's.
    defines=$(python3 -c '
import json, shlex, sys
seen = []
for entry in json.load(open(sys.argv[1])):
    words = shlex.split(entry["command"]) if "command" in entry else entry["arguments"]
    for word in words:
        if word.startswith("-D") and word not in seen:
            seen.append(word)
print("\n".join(seen))' "$work/win32.json")
    win32_defines=()
    [ -z "$defines" ] || mapfile -t win32_defines <<<"$defines"
    check --platform=win64 -D_WIN32 -D_WIN64 -DWIN32 -D__MINGW32__ -D__MINGW64__ "${win32_defines[@]}" \
        -- "${win32[@]}" || status=1
    if [ "$status" -eq 0 ]; then
        echo "cppcheck: no findings in ${#portable[@]} portable and ${#win32[@]} Win32 files"
    fi
    exit "$status"
    ;;
*)
    echo "unknown tool $tool" >&2
    exit 2
    ;;
esac
