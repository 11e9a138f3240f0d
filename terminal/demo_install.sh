#!/usr/bin/env bash
# Makes a demo install directory for Halcyra Setup: an options.ini and the
# three texture archives in "static". A directory that exists already is left
# as it is, so changes made with Halcyra Setup survive the next ./run.
#
#   terminal/demo_install.sh [DIR]      (default: ./demo)
set -euo pipefail

dir="${1:-demo}"
if [ -e "$dir" ]; then
  exit 0
fi

# Built beside the target and renamed into place, so that an interrupted run
# leaves no half-made directory behind.
parent="$(dirname -- "$dir")"
mkdir -p -- "$parent"
work="$(mktemp -d "$parent/.demo-install.XXXXXX")"
trap 'rm -rf -- "$work"' EXIT

mkdir -- "$work/static"
# Direct3D on the reference machine's primary display driver (its GUID texts
# as the hardware probe writes them), 800 x 600 x 16, 16-bit textures,
# medium mip-mapping, EAX on.
cat > "$work/options.ini" <<'EOF'
[Game]
Game Rasterizer=2
D3DGUID=2229681632,18090,4559,129,111,0,0,192,32,21,110
DDGUID=0,0,0,0,0,0,0,0,0,0,0
GameScreenWidth=800
GameScreenHeight=600
GameScreenDepth=16
GameMipMapLevel=2

[Performance]
Use16BitTextures=1
UseCompressedTextures=0

[Sound]
EnableAcoustics=1
EOF
for archive in bitmapc.flx bitmap16.flx bitmapsh.flx; do
  printf 'Halcyra demo texture archive %s\n' "$archive" > "$work/static/$archive"
done
chmod 755 "$work"
mv -T -- "$work" "$dir"
trap - EXIT
