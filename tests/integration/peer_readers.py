#!/usr/bin/env python3
"""Drives tin and slrn against a news server, in a pseudo-terminal with a
UTF-8 locale, as second readers and as posters.

  peer_readers.py read READER HOST PORT GROUP MESSAGE-ID
      what the reader shows of the article (UTF-8; tin's pager screen with the
      terminal codes taken out, slrn's article as its macros see it)
  peer_readers.py post READER HOST PORT GROUP SUBJECT BODY [PARENT-ID]
      posts SUBJECT and BODY (a follow-up to PARENT-ID, keeping the reader's
      "Re:" subject when SUBJECT is empty); prints the new Message-ID

Fails with "missing READER" when the reader is not installed."""
import fcntl, os, pty, re, select, shutil, socket, struct, sys, tempfile, termios, time

NAME = "山田 太郎"


class Nntp:
    def __init__(self, host, port):
        self.f = socket.create_connection((host, int(port)), timeout=30).makefile("rwb")
        self.f.readline()

    def cmd(self, line):
        self.f.write(line.encode() + b"\r\n")
        self.f.flush()
        return self.f.readline().decode(errors="replace")

    def range(self, group):
        _, _, first, last, _ = self.cmd("GROUP " + group).split(None, 4)
        return int(first), int(last)

    def number(self, group, field, pattern):
        """Newest article number whose field matches the wildmat pattern, or 0."""
        first, last = self.range(group)
        if not self.cmd("XPAT %s %d-%d %s" % (field, first, last, pattern)).startswith("221"):
            return 0
        found = [0]
        while (line := self.f.readline()) not in (b".\r\n", b""):
            found.append(int(line.split()[0]))
        return max(found)


def run(argv, env, steps, cwd):
    """Runs argv in a 100x400 terminal. Each step is a (text, key): once the
    text has been drawn since the last key, and the screen is still a moment,
    the key is sent; a key of None ends the program there. Returns the output
    after each key."""
    pid, fd = pty.fork()
    if pid == 0:
        fcntl.ioctl(0, termios.TIOCSWINSZ, struct.pack("HHHH", 100, 400, 0, 0))
        os.chdir(cwd)
        os.execvpe(argv[0], argv, env)
    chunks, deadline = [b""], time.time() + 60

    def drain(until, quiet):
        while time.time() < deadline:
            waiting = until not in chunks[-1]
            if not select.select([fd], [], [], 1 if waiting else quiet)[0]:
                if waiting:
                    continue
                return True
            try:
                data = os.read(fd, 65536)
            except OSError:
                return False
            if not data:
                return False
            chunks[-1] += data
        return False
    for text, key in steps:
        if not drain(text.encode(), 0.3) or key is None:
            break
        chunks.append(b"")
        os.write(fd, key.encode())
    else:
        drain(b"", 30)
    try:
        os.kill(pid, 9)
    except ProcessLookupError:
        pass
    os.waitpid(pid, 0)
    os.close(fd)
    if os.environ.get("PEER_DEBUG"):
        sys.stderr.write("\n----\n".join(" ".join(screen_text(c).split()) for c in chunks) + "\n")
    return chunks


def screen_text(raw):
    """The characters drawn, every terminal code made a blank."""
    text = re.sub(rb"\x1b\[[0-9;?]*[ -/]*[@-~]|\x1b[()][0-9A-Za-z]|\x1b[=>78DEHM]|[\x00-\x08\x0e-\x1f]", b" ",
                  raw)
    return text.decode("utf-8", "replace")


def home(reader, host, port, group, newsrc, address="peer@example.invalid"):
    """A private home for one run of the reader, its newsrc holding one range."""
    d = tempfile.mkdtemp(prefix="peer-" + reader + "-")
    env = {"HOME": d, "PATH": os.environ.get("PATH", "/usr/bin:/bin"), "LANG": "C.UTF-8", "LC_ALL": "C.UTF-8",
           "TERM": "vt100", "NNTPSERVER": host, "NNTPPORT": str(port), "TZ": "UTC",
           "EDITOR": "%s %s edit" % (sys.executable, os.path.abspath(__file__))}
    env["VISUAL"] = env["EDITOR"]
    with open(os.path.join(d, "newsrc"), "w") as f:
        f.write("%s: %s\n" % (group, newsrc))
    if reader == "tin":
        os.makedirs(os.path.join(d, ".tin"))
        open(os.path.join(d, ".tin", "active.mail"), "w").close()
        with open(os.path.join(d, ".tin", "tinrc"), "w") as f:
            f.write("show_only_unread_arts=ON\nbeginner_level=ON\nmm_network_charset=UTF-8\nconfirm_choice=0\n"
                    "auto_reconnect=OFF\nsigfile=\nmail_address=%s <%s>\n" % (NAME, address))
    return d, env


def unread_from(nntp, reader, group, number):
    """A newsrc range that leaves the article the reader's first unread one:
    tin is shown it alone; slrn, which hides a group with a single unread
    article, also the one before it, and finds its article by Message-ID."""
    last = nntp.range(group)[1]
    if reader == "slrn":
        return "1-%d" % (number - 2) if number > 2 else ""
    # Articles other clients post meanwhile count as read too.
    read = ["%d-%d" % (lo, hi) for lo, hi in ((1, number - 1), (number + 1, last + 100000)) if lo <= hi]
    return ",".join(read)


def slrn_command(d, host, port, macro, editor=""):
    with open(os.path.join(d, "init.sl"), "w") as f:
        f.write(macro + '() = register_hook ("group_mode_startup_hook", "peer_main");\n')
    with open(os.path.join(d, "slrnrc"), "w") as f:
        f.write('charset config utf-8\ninterpret "%s/init.sl"\nset hostname "example.invalid"\nset username "peer"\n'
                'set realname "%s"\nset editor_command "%s \'%%s\'"\n' % (d, NAME, editor))
    return ["slrn", "--nntp", "-h", "%s:%s" % (host, port), "-f", os.path.join(d, "newsrc"), "-i",
            os.path.join(d, "slrnrc"), "-n", "-k"]


SLRN_FIND = """
   if ((group_search (getenv ("PEER_GROUP")) == 0) or (select_group () != 0)) quit (1);
   uncollapse_threads ();
   if (locate_header_by_msgid (getenv ("PEER_ID"), 1) == 0) quit (1);
"""


def read(reader, host, port, group, mid):
    nntp = Nntp(host, port)
    number = nntp.number(group, "Message-ID", mid)
    if not number:
        sys.exit("no such article")
    d, env = home(reader, host, port, group, unread_from(nntp, reader, group, number))
    env.update(PEER_GROUP=group, PEER_ID=mid, PEER_OUT=os.path.join(d, "out"))
    try:
        if reader == "slrn":
            run(slrn_command(d, host, port, "define peer_main () {" + SLRN_FIND + """
   call ("article_pagedn");
   variable fp = fopen (getenv ("PEER_OUT"), "w");
   () = fputs (article_as_string (), fp);
   () = fclose (fp);
   quit (0);
}
"""), env, [], d)
            return open(env["PEER_OUT"], encoding="utf-8", errors="replace").read()
        # The group, then its one unread article in the pager, whatever thread it
        # is in, until the pager's help line is drawn. Leaving the pager of a
        # multipart article would offer to save each part: tin is ended there.
        chunks = run(["tin", "-r", "-p", str(port), "-f", os.path.join(d, "newsrc"), "-q", "-d"], env,
                     [("Group Selection", "\r"), ("End of articles", "\t"), ("w=post", None)], d)
        return screen_text(chunks[2])
    finally:
        shutil.rmtree(d, ignore_errors=True)


def post(reader, host, port, group, subject, body, parent=None):
    nntp = Nntp(host, port)
    number = nntp.number(group, "Message-ID", parent) if parent else 0
    if parent and not number:
        sys.exit("no such article")
    # A new address each time, to find the article by.
    address = "peer%d.%d@example.invalid" % (os.getpid(), time.time_ns() % 10**9)
    d, env = home(reader, host, port, group, unread_from(nntp, reader, group, number) if parent else "", address)
    env.update(PEER_GROUP=group, PEER_ID=parent or "", PEER_SUBJECT=subject, PEER_BODY=body)
    try:
        if reader == "slrn":
            start = SLRN_FIND + '   call ("followup");\n' if parent else """
   set_input_string (getenv ("PEER_GROUP") + "\\npeer");
   call ("post");
"""
            macro = ("define make_from_string_hook () { return \"%s <%s>\"; }\n" % (NAME, address) +
                     "define peer_main () {" + start + "   quit (0);\n}\n")
            steps = [("want to " + ("followup" if parent else "post"), "y"), ("Post the message?", "y")]
            run(slrn_command(d, host, port, macro, env["EDITOR"]), env, steps, d)
        else:
            argv = ["tin", "-r", "-p", str(port), "-f", os.path.join(d, "newsrc"), "-q", "-d"]
            # A follow-up from the pager; a new article with tin's quick post,
            # whose prompts the editor's Subject line then replaces.
            steps = ([("Group Selection", "\r"), ("End of articles", "\t"), ("w=post", "f")] if parent
                     else [("newsgroup(s)", group + "\r"), ("subject", "peer\r")])
            run(argv if parent else argv + ["-w"], env, steps + [("p=post", "p"), ("Article posted", None)], d)
        for _ in range(20):
            number = nntp.number(group, "From", "*" + address + "*")
            if number:
                print(nntp.cmd("STAT %d" % number).split()[2])
                return
            time.sleep(0.25)
        sys.exit("the reader did not post")
    finally:
        shutil.rmtree(d, ignore_errors=True)


def edit(path):
    """The readers' editor: puts PEER_SUBJECT and PEER_BODY into the draft."""
    text = open(path, encoding="utf-8").read()
    head, _, rest = text.partition("\n\n")
    subject = os.environ.get("PEER_SUBJECT", "")
    if subject:
        head = re.sub(r"(?m)^Subject:.*$", lambda m: "Subject: " + subject, head)
    with open(path, "w", encoding="utf-8") as f:
        f.write(head + "\n\n" + rest.rstrip("\n") + ("\n\n" if rest.strip() else "") +
                os.environ.get("PEER_BODY", "") + "\n")


def main():
    mode, args = sys.argv[1], sys.argv[2:]
    if mode == "edit":
        return edit(args[-1])
    if not shutil.which(args[0]):
        sys.exit("missing " + args[0])
    if mode == "read":
        sys.stdout.write(read(*args))
    elif mode == "post":
        post(*args)
    else:
        sys.exit("unknown mode")


main()
