#!/usr/bin/env bash
# Sets up, builds, starts a private INN, runs every test (unit, integration,
# offscreen GUI), then the sanitizer build of the core tests, and stops the
# server. Exits non-zero on any failure.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"

bash scripts/setup.sh

server_dir=$(mktemp -d /tmp/lumetra-inn.XXXXXX)
cleanup() { bash scripts/inn-server.sh stop "$server_dir" || true; rm -rf "$server_dir"; }
trap cleanup EXIT
port=$(bash scripts/inn-server.sh start "$server_dir")
export LUMETRA_TEST_NNTP_HOST=127.0.0.1
export LUMETRA_TEST_NNTP_PORT=$port
export LUMETRA_TEST_NNTP_DIR=$server_dir
# The demo articles go in first, so they have the same numbers on every run.
articles=$(mktemp -d)
python3 scripts/make-demo-articles.py "$articles" >/dev/null
python3 scripts/nntp-load.py --port "$port" --feed "$articles"/*.art
rm -rf "$articles"
echo "test-all: INN on 127.0.0.1:$port with the demo articles"

export QT_QPA_PLATFORM=offscreen
status=0
ctest --preset default -j2 || status=1

# The Debian package from the same build, its metadata, manual pages and lintian.
bash scripts/check-package.sh build || status=1

# Sanitizers over everything, the windows against the server included: catches
# memory faults the plain build hides.
if [ "${LUMETRA_SKIP_ASAN:-0}" != 1 ]; then
  cmake --preset asan -DLUMETRA_BUILD_GUI=ON >/dev/null
  cmake --build --preset asan
  ctest --preset asan -j2 || status=1
fi
# Every parser of outside input fuzzed briefly (20 s per target, two at a time).
if [ "${LUMETRA_SKIP_FUZZ:-0}" != 1 ]; then
  bash fuzz/run.sh 20 || status=1
fi
exit $status
