#!/usr/bin/env bash
# Frames per second of ffmpeg's frei0r filter through our plug-ins, beside the same ffmpeg run
# without the filter; the difference per frame is what the plug-in costs, to be read against the
# effect's own time and the frame copy in bench_sharpen and bench_finishing_effects.
#   bench/frei0r_ffmpeg.sh [build folder]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
export FREI0R_PATH=$build/frei0r-1

# Seconds of wall time for ffmpeg to push `frames` BGRA frames of `size` through `filter`.
seconds() {
  local size=$1 frames=$2 filter=$3
  local start end
  start=$(date +%s.%N)
  ffmpeg -v error -f lavfi -i "color=c=0x5a7890:size=$size:rate=25,format=bgra" -frames:v "$frames" \
    -vf "$filter" -f null -
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}

printf '%-10s %-42s %8s %10s %12s\n' size filter fps ms/frame "plug-in ms"
for size_frames in 1920x1080:200 3840x2160:50; do
  size=${size_frames%%:*} frames=${size_frames##*:}
  base=$(seconds "$size" "$frames" null)
  for filter in null frei0r=qor_sharpen:0.75 frei0r=qor_tonemaptoselectcolor; do
    t=$(seconds "$size" "$frames" "$filter")
    awk -v s="$size" -v f="$filter" -v n="$frames" -v t="$t" -v b="$base" \
      'BEGIN { printf "%-10s %-42s %8.1f %10.2f %12.2f\n", s, f, n / t, 1000 * t / n, 1000 * (t - b) / n }'
  done
done
