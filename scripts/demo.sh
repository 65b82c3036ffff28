#!/usr/bin/env bash
# Sets up, builds, starts a private INN on loopback loaded with sample articles,
# writes demo/demo.lum pointing at it and starts Lumetra on it.
#   scripts/demo.sh        set up and run
#   scripts/demo.sh stop   stop the demo server
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
server_dir=/tmp/lumetra-demo-server

if [ "${1:-}" = stop ]; then
  bash scripts/inn-server.sh stop "$server_dir"
  exit 0
fi

bash scripts/setup.sh

fresh=0
[ -f "$server_dir/etc/inn.conf" ] || fresh=1
port=$(bash scripts/inn-server.sh start "$server_dir")
if [ "$fresh" = 1 ]; then
  articles=$(mktemp -d)
  python3 scripts/make-demo-articles.py "$articles" >/dev/null
  python3 scripts/nntp-load.py --port "$port" --feed "$articles"/*.art
  rm -rf "$articles"
fi

mkdir -p demo
# The configuration document: profile form, Shift_JIS, CR LF.
printf '[config]\r\nnNntpPort=%s\r\nnMaxReadArtcleCount=50\r\nstrNntpServer=127.0.0.1\r\nstrMarkFile=news.rc\r\nstrMailAddress=demo@example.invalid\r\nstrRealName=Demo User\r\nstrOrganization=\r\nbShowAllGroup=YES\r\nbShowUnreadGroup=NO\r\nbShowChangeGroupDialog=YES\r\nbShowOldArticle=YES\r\nPostKanjiCode=0\r\nnTcpWaitSec=12\r\nnTcpRetryCount=5\r\n' "$port" > demo/demo.lum

# The mail hand-off program, registered for this run only (the install step
# registers it machine-wide in /etc/xdg/Quorvane/Lumetra/apppaths).
printf 'lumetra-mail=%s\n' "$here/build/src/mail/lumetra-mail" > demo/apppaths
export LUMETRA_APP_PATHS="$here/demo/apppaths"

echo "demo: news server on 127.0.0.1:$port (groups fj.test, fj.test.one, local.test, local.japanese, ...)"
echo "demo: configuration demo/demo.lum; stop the server with: bash scripts/demo.sh stop"
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "demo: no display; run build/src/app/lumetra demo/demo.lum from a desktop session"
  exit 0
fi
exec build/src/app/lumetra demo/demo.lum
