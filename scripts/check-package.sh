#!/usr/bin/env bash
# Makes the Debian package from an already built tree and checks it: the
# desktop entry, the AppStream data, the manual pages, lintian, the unpacked
# tool, and (as root) that installing and removing it leaves the system as
# it was. Exits non-zero on any failure.
#   scripts/check-package.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
status=0
fail() { echo "check-package: $*" >&2; status=1; }

desktop-file-validate "$here/res/org.quorvane.Lumetra.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$here/res/org.quorvane.Lumetra.metainfo.xml" || fail "AppStream data"
for page in "$here"/docs/man/*.1; do
  # groff reports warnings on stderr only.
  warnings=$(groff -ww -z -man -Tutf8 "$page" 2>&1)
  [ -z "$warnings" ] || fail "$page: $warnings"
done

cmake --build "$build" --target lumetra lumetra-tool lumetra-mail lumetra_docs >/dev/null
rm -f "$build"/lumetra_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/lumetra_*_amd64.deb)
echo "check-package: $deb"

# Errors fail; warnings are shown.
lintian_out=$(lintian --tag-display-limit 0 "$deb" 2>&1 | grep -v 'running with root privileges' || true)
[ -z "$lintian_out" ] || echo "$lintian_out"
if grep -q '^E:' <<<"$lintian_out"; then fail "lintian errors"; fi

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
version=$("$root/usr/bin/lumetra-tool" --version) || fail "unpacked lumetra-tool does not run"
[ "$version" = "lumetra-tool $(dpkg-deb -f "$deb" Version)" ] || fail "unpacked lumetra-tool says: $version"
for file in usr/share/applications/org.quorvane.Lumetra.desktop usr/share/metainfo/org.quorvane.Lumetra.metainfo.xml \
            usr/share/man/man1/lumetra.1.gz usr/share/lumetra/strings.txt usr/share/doc/lumetra/copyright \
            usr/share/icons/hicolor/16x16/apps/org.quorvane.Lumetra.png \
            usr/share/icons/hicolor/256x256/apps/org.quorvane.Lumetra.png; do
  [ -f "$root/$file" ] || fail "$file missing from the package"
done
grep -q '^MimeType=.*x-scheme-handler/news;' "$root/usr/share/applications/org.quorvane.Lumetra.desktop" ||
  fail "the desktop entry does not claim news: links"

# Install and remove for real only where nothing else is installed from it.
if [ "$(id -u)" = 0 ] && ! dpkg-query -W lumetra >/dev/null 2>&1; then
  list() { find /usr /etc -xdev \( -type f -o -type l \) 2>/dev/null | grep -v '^/etc/ld.so.cache$' | sort; }
  list > "$root/before"
  DEBIAN_FRONTEND=noninteractive dpkg -i "$deb" >/dev/null || fail "dpkg -i"
  grep -qx 'lumetra-mail=/usr/bin/lumetra-mail' /etc/xdg/Quorvane/Lumetra/apppaths || fail "lumetra-mail not registered"
  [ "$(lumetra --version)" = "lumetra $(dpkg-deb -f "$deb" Version)" ] || fail "installed lumetra --version"
  dpkg -r lumetra >/dev/null || fail "dpkg -r"
  dpkg -P lumetra >/dev/null 2>&1 || true
  list > "$root/after"
  diff "$root/before" "$root/after" || fail "removing the package left the system changed"
fi
exit $status
