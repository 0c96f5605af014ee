#!/usr/bin/env bash
# Sets up, builds, and renders the bundled sample picture through every effect of the module,
# drawing one labelled contact sheet, out/gallery.png.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
mkdir -p out
./build/bin/qorfx gallery examples/astronaut.png out/gallery.png --second examples/rocket.jpg
echo "Open out/gallery.png to see what each effect does."
