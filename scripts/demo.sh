#!/usr/bin/env bash
# Sets up, builds, and renders the bundled sample picture through every effect of the module,
# writing one PNG per effect into out/gallery/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
./build/bin/qorfx gallery examples/astronaut.png out/gallery --second examples/rocket.jpg
echo "Open out/gallery/ to see what each effect does with its default settings."
