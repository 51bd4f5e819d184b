#!/usr/bin/env bash
# Installs what HVX needs, builds it, and starts a demo frame server in the foreground:
# a 640x480 animation made with immtool, hvxserver, its settings.xml and the tools in
# one run directory (./run, or $HVX_RUN_DIR). Beside it runs hvxview, the browser
# viewer, on http://127.0.0.1:8080/ (or $HVX_VIEW_HTTP). Ctrl+C ends both.
#
# The server listens on 127.0.0.1 unless ORNA_BIND_ADDRESS says otherwise, and keeps its
# dead-man registry inside the run directory unless HVX_REGISTRY_DIR says otherwise.
# Without a video service it goes on with the settings.xml of the run directory.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

build=build-demo
run=${HVX_RUN_DIR:-$PWD/run}
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$jobs" --target hvxserver immtool ornactl hvxview

mkdir -p "$run"
cp "$build/app/hvxserver" "$build/tools/immtool/immtool" "$build/tools/ornactl/ornactl" \
  "$build/tools/hvxview/hvxview" "$run/"
cp scripts/demo-settings.xml "$run/settings.xml"
if [ ! -f "$run/demo.imm" ]; then
  "$run/immtool" make "$run/demo.imm" --width 640 --height 480 --frames 64 --pattern ramp
fi

export ORNA_BIND_ADDRESS=${ORNA_BIND_ADDRESS:-127.0.0.1}
export HVX_REGISTRY_DIR=${HVX_REGISTRY_DIR:-$run/registry}
view=${HVX_VIEW_HTTP:-127.0.0.1:8080}
echo "hvxserver in $run: /DEMO/HVX.DEMO, devices Server, Source and Output (Ctrl+C ends it)"
echo "viewer: open http://$view/ in a browser; the stream is http://$view/stream.mjpg"
cd "$run"
# The viewer waits for the server by itself and ends with the script.
./hvxview /DEMO/HVX.DEMO --http "$view" --allow-control &
viewer=$!
trap 'kill "$viewer" 2>/dev/null || true; wait "$viewer" 2>/dev/null || true' EXIT
./hvxserver
