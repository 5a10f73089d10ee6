#!/bin/sh
# scripts/check-layers on a scratch copy of the sources: it passes the tree as it is, and
# catches an include planted upward, one planted sideways (also spelt with <...> and as a
# relative "../" path), one that goes around a contract header, one past the folders on a
# library's line, a header that passes on a folder below it, and a circle planted in
# layers.txt.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fresh_copy() {
  rm -rf "$scratch/tree"
  mkdir -p "$scratch/tree"
  (cd "$here" && find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print0 |
     xargs -0 cp --parents -t "$scratch/tree")
  cp "$here/layers.txt" "$scratch/tree/"
}

# expect_caught WHAT TEXT: check-layers fails and names TEXT.
expect_caught() {
  if "$here/scripts/check-layers" "$scratch/tree" > "$scratch/out" 2>&1; then
    echo "FAIL: $1 was not caught"; cat "$scratch/out"; exit 1
  fi
  grep -q -- "$2" "$scratch/out" || { echo "FAIL: $1: no '$2' in"; cat "$scratch/out"; exit 1; }
  echo "ok: $1"
}

fresh_copy
"$here/scripts/check-layers" "$scratch/tree" > "$scratch/out" 2>&1 || { cat "$scratch/out"; exit 1; }
echo "ok: the tree as it is"

echo '#include "tuner/tuner.h"' >> "$scratch/tree/analysis/level_tracker.cpp"
expect_caught "analysis including the tuner" "level_tracker.cpp:.*upward: analysis may not use tuner"

fresh_copy
echo '#include "analysis/analysis.h"' >> "$scratch/tree/views/tuning_dial.cpp"
expect_caught "views including the analysis" "sideways: views may not use analysis"

fresh_copy
echo '#include "display/layers.h"' >> "$scratch/tree/views/phase_trace.cpp"
expect_caught "an include around display's contract" "around the contract of display"

fresh_copy
echo '#include <tuner/tuner.h>' >> "$scratch/tree/analysis/level_tracker.cpp"
expect_caught "analysis including the tuner in angle brackets" "level_tracker.cpp:.*upward: analysis may not use tuner"

fresh_copy
echo '#include "../analysis/analysis.h"' >> "$scratch/tree/views/tuning_dial.cpp"
expect_caught "views including the analysis by a relative path" \
  "tuning_dial.cpp:.*includes analysis/analysis.h, sideways: views may not use analysis"

fresh_copy
echo '#include "audio/audio.h"' >> "$scratch/tree/app/shell.cpp"
expect_caught "the shell including audio, below the tuner" "shell.cpp:.*past the folders on its line: app may not use audio"

fresh_copy
sed -i 's|^#include "platform/screen/screen.h"$|&\n#include "display/display.h"|' "$scratch/tree/tuner/tuner_startup.h"
grep -q display/display.h "$scratch/tree/tuner/tuner_startup.h"
expect_caught "the tuner's header passing display on to the shell" "app/.*: sees display through .*, and display is not on app's line"

fresh_copy
sed -i 's|^analysis$|analysis   tuner|' "$scratch/tree/layers.txt"
expect_caught "a circle in layers.txt" "analysis uses tuner, which is not declared before it"
