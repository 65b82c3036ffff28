#!/usr/bin/env bash
# A private, throwaway INN (Debian inn2) on loopback, in a folder of its own.
# No system service or system file is touched.
#
#   scripts/inn-server.sh start DIR [PORT]   create DIR (if needed), start innd; prints PORT
#   scripts/inn-server.sh stop DIR           stop innd and its reader processes
#   scripts/inn-server.sh env DIR            print LUMETRA_TEST_NNTP_* lines for eval
#   scripts/inn-server.sh cert DIR NAME      serve certificate NAME from the next connection on:
#                                            good, expired, unknown (other CA), self (self-signed), other
#
# TLS: STARTTLS on PORT and implicit TLS on the port in DIR/tls-port, with a
# certificate for "localhost" (not for 127.0.0.1) from a throw-away CA in
# DIR/tls/ca.pem. Login: user "tester", password "lumetra-secret" (ckpasswd);
# group local.secret is readable only after that login, every other group
# needs none.
#
# Groups: fj.test, fj.test.one, local.test, local.japanese (posting allowed),
# local.readonly (no posting), local.moderated (moderated), local.bulk (for
# tests that need thousands of articles), local.many (the document's own
# fetch tests), local.empty (accepts no articles).
# Articles from 127.0.0.2 are taken as a feeder's (IHAVE), byte for byte.
set -euo pipefail

INNBIN=/usr/lib/news/bin
cmd=${1:-}; dir=${2:-}
[ -n "$cmd" ] && [ -n "$dir" ] || { sed -n '2,12p' "$0"; exit 2; }

free_port() {
  python3 - <<'PY'
import socket
s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()
PY
}

wait_ready() { # port [tls]
  for _ in $(seq 1 100); do
    if python3 - "$@" <<'PY' 2>/dev/null
import socket, sys
s = socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=2)
if len(sys.argv) > 2:
    import ssl
    c = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT); c.check_hostname = False; c.verify_mode = ssl.CERT_NONE
    s = c.wrap_socket(s)
line = s.makefile("rb").readline()
s.close()
sys.exit(0 if line.startswith(b"200") else 1)
PY
    then return 0; fi
    sleep 0.1
  done
  return 1
}

write_config() { # dir port
  local d=$1 port=$2
  mkdir -p "$d"/{etc,db,spool/articles,spool/overview,spool/incoming/bad,spool/outgoing,spool/archive,run,log,tmp,http,filter}
  cat > "$d/etc/inn.conf" <<CONF
mta:                "$d/etc/mta.sh %s"
organization:       "Lumetra test server"
domain:             localdomain
pathhost:           lumetra-test.localdomain
fromhost:           localdomain
server:             127.0.0.1
port:               $port
bindaddress:        127.0.0.1
bindaddress6:       "::1"
nnrpdpostport:      $port
artcutoff:          0
docancels:          auth
initialtimeout:     300
clienttimeout:      1800
ovmethod:           tradindexed
hismethod:          hisv6
enableoverview:     true
wireformat:         true
storeonxref:        true
pgpverify:          false
doinnwatch:         false
readerswhenstopped: false
# A busy build machine must not turn readers away ("400 load at ...").
nnrpdloadlimit:     0
logipaddr:          true
checkincludedtext:  false
maxartsize:         4000000
localmaxartsize:    4000000
pathnews:           /usr/lib/news
pathbin:            /usr/lib/news/bin
pathcontrol:        /usr/lib/news/bin/control
pathfilter:         $d/filter
pathetc:            $d/etc
pathdb:             $d/db
pathrun:            $d/run
pathlog:            $d/log
pathhttp:           $d/http
pathtmp:            $d/tmp
pathspool:          $d/spool
patharticles:       $d/spool/articles
pathoverview:       $d/spool/overview
pathoutgoing:       $d/spool/outgoing
pathincoming:       $d/spool/incoming
patharchive:        $d/spool/archive
CONF
  cat > "$d/etc/mta.sh" <<MTA
#!/bin/sh
# Moderator mail goes to a file instead of an MTA.
{ echo "To: \$*"; cat; echo; } >> "$d/log/mail.out"
MTA
  chmod +x "$d/etc/mta.sh"
  cat > "$d/etc/storage.conf" <<'CONF'
method tradspool {
    newsgroups: *
    class: 0
}
CONF
  cat > "$d/etc/readers.conf" <<'CONF'
auth "local" {
    hosts: "localhost, 127.0.0.1, ::1, 127.0.0.0/8"
    default: "<local>"
}
access "local" {
    users: "<local>"
    newsgroups: "*"
    access: RPAN
}
CONF
  # 127.0.0.2 is the feeder; loopback readers must not be taken for peers.
  cat > "$d/etc/incoming.conf" <<'CONF'
streaming: true
max-connections: 8
peer ME {
    hostname: "127.0.0.2"
}
CONF
  cat > "$d/etc/newsfeeds" <<'CONF'
ME:*::
CONF
  cat > "$d/etc/expire.ctl" <<'CONF'
/remember/:11
*:A:never:never:never
CONF
  cat > "$d/etc/moderators" <<'CONF'
*:%s@moderators.localdomain
CONF
  : > "$d/etc/control.ctl"
  : > "$d/etc/control.ctl.local"
  for f in distrib.pats distributions localgroups nnrpd.track passwd.nntp subscriptions innwatch.ctl nntpsend.ctl actsync.cfg actsync.ign cycbuff.conf buffindexed.conf ovdb.conf ovsqlite.conf innfeed.conf inn-secrets.conf; do
    [ -e "/etc/news/$f" ] && cp "/etc/news/$f" "$d/etc/$f" || : > "$d/etc/$f"
  done
  cat > "$d/db/active" <<'CONF'
control 0000000000 0000000001 n
control.cancel 0000000000 0000000001 n
junk 0000000000 0000000001 n
fj.test 0000000000 0000000001 y
fj.test.one 0000000000 0000000001 y
local.test 0000000000 0000000001 y
local.japanese 0000000000 0000000001 y
local.readonly 0000000000 0000000001 n
local.moderated 0000000000 0000000001 m
local.bulk 0000000000 0000000001 y
local.many 0000000000 0000000001 y
local.empty 0000000000 0000000001 x
CONF
  cat > "$d/db/newsgroups" <<'CONF'
fj.test	Test postings. (Japanese)
fj.test.one	More test postings.
local.test	Local test group.
local.japanese	Japanese test articles.
local.readonly	No posting here.
local.moderated	A moderated group.
local.bulk	Many articles for the article list tests.
local.many	Articles the document tests post.
local.empty	Never holds an article.
CONF
  : > "$d/db/active.times"
  : > "$d/db/history"
}

# Certificates from throw-away CAs; every variant the tests swap in.
make_certs() { # dir
  local t=$1/tls
  [ -f "$t/ca.pem" ] && return 0
  mkdir -p "$t"
  (
    cd "$t"
    ossl() { openssl "$@" >/dev/null 2>&1; }
    for ca in ca otherca; do
      ossl req -x509 -newkey rsa:2048 -nodes -keyout "$ca.key" -out "$ca.pem" -days 3650 -subj "/CN=Lumetra test $ca"
    done
    cat > ext.cnf <<'EXT'
subjectAltName = DNS:localhost
basicConstraints = CA:FALSE
EXT
    sign() { # name ca days-or-dates...
      local name=$1 ca=$2; shift 2
      ossl req -newkey rsa:2048 -nodes -keyout "$name.key" -out "$name.csr" -subj "/CN=localhost"
      ossl x509 -req -in "$name.csr" -CA "$ca.pem" -CAkey "$ca.key" -CAcreateserial -extfile ext.cnf -out "$name.pem" "$@"
      rm -f "$name.csr"
    }
    sign good ca -days 3650
    sign other ca -days 3650
    sign unknown otherca -days 3650
    # "openssl x509" cannot date a certificate in the past; "openssl ca" can.
    ossl req -newkey rsa:2048 -nodes -keyout expired.key -out expired.csr -subj "/CN=localhost"
    mkdir -p db && : > db/index && echo 01 > db/serial
    cat > ca.cnf <<CNF
[ca]
default_ca = test
[test]
database = db/index
serial = db/serial
new_certs_dir = db
policy = anything
default_md = sha256
copy_extensions = none
x509_extensions = ext
[anything]
commonName = supplied
[ext]
subjectAltName = DNS:localhost
basicConstraints = CA:FALSE
CNF
    ossl ca -batch -config ca.cnf -cert ca.pem -keyfile ca.key -in expired.csr -out expired.pem \
      -startdate 20200101000000Z -enddate 20200102000000Z -notext
    rm -f expired.csr
    ossl req -x509 -newkey rsa:2048 -nodes -keyout self.key -out self.pem -days 3650 -subj "/CN=localhost" \
      -addext "subjectAltName = DNS:localhost"
    cp good.pem cert.pem && cp good.key key.pem
  )
  [ -s "$t/expired.pem" ] && [ -s "$t/self.pem" ] && [ -s "$t/cert.pem" ] || { echo "inn-server: certificates not made" >&2; return 1; }
}

# TLS and the login; added to a folder made before they existed, too.
write_security() { # dir
  local d=$1
  make_certs "$d"
  grep -q '^tlscertfile:' "$d/etc/inn.conf" || cat >> "$d/etc/inn.conf" <<CONF
tlscafile:          $d/tls/ca.pem
tlscertfile:        $d/tls/cert.pem
tlskeyfile:         $d/tls/key.pem
CONF
  [ -f "$d/etc/passwd" ] || echo "tester:$(openssl passwd -1 lumetra-secret)" > "$d/etc/passwd"
  grep -q '^local.secret ' "$d/db/active" || echo "local.secret 0000000000 0000000001 y" >> "$d/db/active"
  grep -q '^local.secret' "$d/db/newsgroups" || printf 'local.secret\tReadable after a login.\n' >> "$d/db/newsgroups"
  cat > "$d/etc/readers.conf" <<CONF
auth "local" {
    hosts: "localhost, 127.0.0.1, ::1, 127.0.0.0/8"
    auth: "ckpasswd -f $d/etc/passwd"
    default: "<local>"
}
access "local" {
    users: "<local>"
    newsgroups: "*,!local.secret"
    access: RPAN
}
access "login" {
    users: "tester"
    newsgroups: "*"
    access: RPAN
}
CONF
}

case "$cmd" in
start)
  mkdir -p "$dir"; dir=$(cd "$dir" && pwd)
  port=${3:-}
  if [ -f "$dir/port" ] && [ -f "$dir/run/innd.pid" ] && kill -0 "$(cat "$dir/run/innd.pid")" 2>/dev/null; then
    cat "$dir/port"; exit 0
  fi
  [ -n "$port" ] || port=$(free_port)
  # innd drops to user news: every parent folder must be enterable by it.
  p=$dir; while [ "$p" != / ]; do chmod o+x "$p" 2>/dev/null || true; p=$(dirname "$p"); done
  [ -f "$dir/etc/inn.conf" ] || write_config "$dir" "$port"
  write_security "$dir"
  [ -f "$dir/tls-port" ] || free_port > "$dir/tls-port"
  sed -i "s/^port: .*/port:               $port/; s/^nnrpdpostport: .*/nnrpdpostport:      $port/" "$dir/etc/inn.conf"
  echo "$port" > "$dir/port"
  chown -R news:news "$dir"
  if [ ! -f "$dir/db/history.dir" ]; then
    (cd "$dir/db" && INNCONF="$dir/etc/inn.conf" runuser -u news -- "$INNBIN/makedbz" -i -o) >/dev/null
  fi
  INNCONF="$dir/etc/inn.conf" nohup "$INNBIN/innd" -d >> "$dir/log/innd.out" 2>&1 &
  if ! wait_ready "$port"; then
    echo "inn-server: innd did not come up on port $port; log follows" >&2
    tail -n 30 "$dir/log/innd.out" "$dir"/log/*.err 2>/dev/null >&2 || true
    exit 1
  fi
  tls_port=$(cat "$dir/tls-port")
  INNCONF="$dir/etc/inn.conf" nohup runuser -u news -- env INNCONF="$dir/etc/inn.conf" \
    "$INNBIN/nnrpd" -D -b 127.0.0.1 -p "$tls_port" -S >> "$dir/log/nnrpd-tls.out" 2>&1 &
  if ! wait_ready "$tls_port" tls; then
    echo "inn-server: nnrpd -S did not come up on port $tls_port; log follows" >&2
    tail -n 30 "$dir/log/nnrpd-tls.out" "$dir"/log/*.err 2>/dev/null >&2 || true
    exit 1
  fi
  echo "$port"
  ;;
cert)
  name=${3:-}
  dir=$(cd "$dir" && pwd)
  [ -f "$dir/tls/$name.pem" ] || { echo "inn-server: no certificate $name" >&2; exit 2; }
  install -o news -g news -m 0644 "$dir/tls/$name.pem" "$dir/tls/cert.pem.new"
  install -o news -g news -m 0600 "$dir/tls/$name.key" "$dir/tls/key.pem.new"
  mv -f "$dir/tls/cert.pem.new" "$dir/tls/cert.pem"
  mv -f "$dir/tls/key.pem.new" "$dir/tls/key.pem"
  ;;
stop)
  [ -d "$dir" ] || exit 0
  dir=$(cd "$dir" && pwd)
  pid=$(cat "$dir/run/innd.pid" 2>/dev/null || true)
  INNCONF="$dir/etc/inn.conf" "$INNBIN/ctlinnd" -t 5 shutdown "test done" >/dev/null 2>&1 || true
  if [ -n "$pid" ]; then
    for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
  fi
  # Readers (nnrpd) outlive innd while their clients stay connected.
  for p in $(pgrep -u news nnrpd 2>/dev/null); do
    tr '\0' '\n' < "/proc/$p/environ" 2>/dev/null | grep -qx "INNCONF=$dir/etc/inn.conf" && kill "$p" 2>/dev/null
  done
  true
  ;;
env)
  dir=$(cd "$dir" && pwd)
  echo "export LUMETRA_TEST_NNTP_HOST=127.0.0.1"
  echo "export LUMETRA_TEST_NNTP_PORT=$(cat "$dir/port")"
  echo "export LUMETRA_TEST_NNTP_DIR=$dir"
  ;;
*) sed -n '2,12p' "$0"; exit 2 ;;
esac
