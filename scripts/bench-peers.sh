#!/usr/bin/env bash
# Times our effects beside the nearest operations of FFmpeg's libavfilter and of OpenCV, at
# 1920x1080 and 3840x2160 on two threads each, and prints one line per pair,
# "PAIR ours_ms peer_ms" (median milliseconds per frame), then a Markdown table of them.
#
#   scripts/bench-peers.sh                  # every family: blend finishing layer colour beauty
#   scripts/bench-peers.sh blend colour     # only these families
#
# Builds in Release into build/ (BUILD_DIR=... for another folder). Timings taken while the
# machine is busy are noisy: each pair alternates ours and the peer frame by frame, so both see
# the same load, but compare ratios rather than absolute figures then.
set -euo pipefail
cd "$(dirname "$0")/.."

families=("$@")
[ "${#families[@]}" -gt 0 ] || families=(blend finishing layer colour beauty)
build=${BUILD_DIR:-build}

bash scripts/setup.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
targets=()
for family in "${families[@]}"; do targets+=(--target "peers_$family"); done
if ! cmake --build "$build" -j"$(nproc)" "${targets[@]}" >/tmp/qorfx-bench-peers-build.log 2>&1; then
  tail -n 30 /tmp/qorfx-bench-peers-build.log
  echo "bench-peers: building the comparison programs failed; see /tmp/qorfx-bench-peers-build.log" >&2
  exit 1
fi

results=$(mktemp)
trap 'rm -f "$results"' EXIT
for family in "${families[@]}"; do
  "$build/bench/peers/peers_$family" >>"$results"
done

# Full HD pairs first, then the 4K ones.
grep -v '@4k ' "$results" || true
grep '@4k ' "$results" || true

echo
echo "| pair | ours 1080p ms | peer 1080p ms | ratio | ours 4K ms | peer 4K ms | ratio |"
echo "|---|---:|---:|---:|---:|---:|---:|"
awk '
  function ratio(ours, peer) { return peer > 0 ? sprintf("%.2f", ours / peer) : "-" }
  {
    name = $1
    big = sub(/@4k$/, "", name)
    if (!(name in seen)) { seen[name] = 1; order[++count] = name }
    if (big) { ours4k[name] = $2; peer4k[name] = $3 } else { oursHd[name] = $2; peerHd[name] = $3 }
  }
  END {
    for (i = 1; i <= count; ++i) {
      n = order[i]
      printf "| %s | %.1f | %.1f | %s | %.1f | %.1f | %s |\n", n, oursHd[n], peerHd[n], ratio(oursHd[n], peerHd[n]),
             ours4k[n], peer4k[n], ratio(ours4k[n], peer4k[n])
    }
  }' "$results"
echo
echo "ratio = ours / peer: below 1 we are faster. $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores."
