#!/usr/bin/env bash
# Runs fuzz targets for a long time, one after the other, each into a scratch corpus outside the
# source tree (the committed seeds are only read):
#
#     bash tests/fuzz/long_run.sh [seconds per target] [target ...]
#
# Defaults: 600 seconds, every target. Needs the fuzz tree (cmake --preset fuzz && cmake --build
# --preset fuzz). Scratch corpora and findings go to $VELTRANO_FUZZ_OUT (default
# /tmp/veltrano-fuzz/<target>/); a finding is a crash-* file there, and ends that target's run.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
seconds=${1:-600}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(reply_reading_fuzzer converter_search_fuzzer command_framing_fuzzer fade_time_fuzzer preset_text_fuzzer
             converter_replug_fuzzer console_model_fuzzer)
fi
out=${VELTRANO_FUZZ_OUT:-/tmp/veltrano-fuzz}

# UndefinedBehaviorSanitizer only prints by default; a finding must end the run like any other.
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

status=0
for target in "${targets[@]}"; do
    options=()
    if [ -f "$here/$target.options" ]; then
        while read -r option; do
            case $option in
            -dict=/*) options+=("$option") ;;
            -dict=*) options+=("-dict=$here/${option#-dict=}") ;;
            -*) options+=("$option") ;;
            esac
        done < "$here/$target.options"
    fi
    mkdir -p "$out/$target/corpus"
    echo "== $target: ${seconds}s, corpus $out/$target/corpus"
    if ! "$root/build/fuzz/tests/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$out/$target/" "${options[@]}" "$out/$target/corpus" "$here/corpus/$target"; then
        echo "== $target: finding in $out/$target/"
        status=1
    fi
done
exit $status
