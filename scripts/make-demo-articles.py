#!/usr/bin/env python3
"""Writes sample articles (one file each) into a folder, for the demo server and
for tests: Japanese in ISO-2022-JP with encoded words, threads, crossposts to
fj.* groups, legacy raw Shift_JIS and EUC-JP, MIME attachments, uuencode,
quoted-printable, URLs. Load them with nntp-load.py --feed (byte for byte).

  make-demo-articles.py OUTDIR
"""
import base64
import binascii
import email.header
import os
import sys
import zlib


def jis(text: str) -> bytes:
    return text.encode("iso2022_jp")


def word(text: str) -> str:
    return email.header.Header(text, "iso-2022-jp").encode()


class Writer:
    def __init__(self, out):
        self.out = out
        self.n = 0

    def article(self, msgid, groups, subject, sender, date, body, refs=None,
                extra=None, subject_raw=None):
        self.n += 1
        h = [b"Path: demo.localdomain!not-for-mail",
             b"From: " + sender.encode(),
             b"Newsgroups: " + groups.encode(),
             b"Subject: " + (subject_raw if subject_raw is not None else subject.encode()),
             b"Date: " + date.encode(),
             b"Message-ID: " + msgid.encode()]
        if refs:
            h.append(b"References: " + refs.encode())
        for line in extra or []:
            h.append(line if isinstance(line, bytes) else line.encode())
        data = b"\n".join(h) + b"\n\n" + body
        with open(os.path.join(self.out, f"{self.n:03d}.art"), "wb") as f:
            f.write(data)


def png_bytes() -> bytes:
    """A small 16x16 red-and-white PNG made here."""
    def chunk(kind, data):
        return len(data).to_bytes(4, "big") + kind + data + zlib.crc32(kind + data).to_bytes(4, "big")
    rows = b""
    for y in range(16):
        rows += b"\0" + b"".join(b"\xff\x00\x00" if (x // 4 + y // 4) % 2 else b"\xff\xff\xff" for x in range(16))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", (16).to_bytes(4, "big") * 2 + b"\x08\x02\0\0\0")
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    w = Writer(out)
    mime = ["MIME-Version: 1.0", "Content-Type: text/plain; charset=ISO-2022-JP",
            "Content-Transfer-Encoding: 7bit"]
    yamada = word("山田 太郎") + " <yamada@example.jp>"
    suzuki = word("鈴木 花子") + " <hanako@example.jp>"

    # A thread in fj.test, crossposted to fj.test.one.
    w.article("<demo-1@example.jp>", "fj.test,fj.test.one", word("ニュースリーダのテスト"),
              yamada, "Mon, 01 Dec 2025 10:00:00 +0900",
              jis("こんにちは。新しいニュースリーダを試しています。\n"
                  "詳しくは http://www.example.jp/lumetra/ を見てください。\n"), extra=mime)
    w.article("<demo-2@example.jp>", "fj.test,fj.test.one", word("Re: ニュースリーダのテスト"),
              suzuki, "Mon, 01 Dec 2025 11:30:00 +0900",
              jis("山田さん、\n\n> こんにちは。新しいニュースリーダを試しています。\n\n"
                  "日本語がきちんと表示されますね。\n"), refs="<demo-1@example.jp>", extra=mime)
    w.article("<demo-3@example.jp>", "fj.test", word("Re: ニュースリーダのテスト"),
              yamada, "Mon, 01 Dec 2025 12:05:00 +0900",
              jis("> 日本語がきちんと表示されますね。\n\nはい、漢字もかなも大丈夫です。\n"),
              refs="<demo-1@example.jp> <demo-2@example.jp>", extra=mime)
    for i in range(4, 16):
        w.article(f"<demo-{i}@example.jp>", "fj.test", word(f"連番の記事 その{i - 3}"),
                  suzuki if i % 2 else yamada, f"Tue, 02 Dec 2025 {i:02d}:00:00 +0900",
                  jis(f"これは {i - 3} 番目のテスト記事です。\n" + "あいうえお　かきくけこ\n" * 3), extra=mime)

    # Legacy raw forms, as old servers still carry them.
    w.article("<legacy-sjis@example.jp>", "local.japanese", "", "old@example.jp",
              "Wed, 03 Mar 1999 09:00:00 +0900",
              "シフトJISのままの本文です。①②③も入っています。\n".encode("cp932"),
              subject_raw="シフトJISの件名".encode("cp932"))
    w.article("<legacy-euc@example.jp>", "local.japanese", "", "old@example.jp",
              "Thu, 04 Mar 1999 09:00:00 +0900",
              "EUC-JPの本文です。半角ｶﾀｶﾅもあります。\n".encode("euc_jp"),
              subject_raw="EUC-JPの件名".encode("euc_jp"))
    w.article("<legacy-jis@example.jp>", "local.japanese,fj.test", "", "old@example.jp",
              "Fri, 05 Mar 1999 09:00:00 +0900", jis("JIS のままの件名と本文です。\n"),
              subject_raw=jis("生のJIS件名"))

    # MIME: a picture attached as Base64, a quoted-printable body.
    boundary = "=_demo_boundary_1"
    body = (f"This is a multi-part message in MIME format.\n\n--{boundary}\n"
            "Content-Type: text/plain; charset=ISO-2022-JP\nContent-Transfer-Encoding: 7bit\n\n").encode()
    body += jis("画像を添付します。\n") + (
        f"\n--{boundary}\nContent-Type: image/png; name=\"check.png\"\n"
        "Content-Transfer-Encoding: base64\nContent-Disposition: attachment; filename=\"check.png\"\n\n").encode()
    b64 = base64.b64encode(png_bytes()).decode()
    body += "\n".join(b64[i:i + 76] for i in range(0, len(b64), 76)).encode() + f"\n\n--{boundary}--\n".encode()
    w.article("<demo-mime@example.jp>", "local.japanese", word("画像の添付"), yamada,
              "Sat, 06 Dec 2025 09:00:00 +0900", body,
              extra=["MIME-Version: 1.0", f"Content-Type: multipart/mixed; boundary=\"{boundary}\""])
    qp = "Caf=C3=A9 au lait =E2=80=94 a soft line break here=\ncontinues.\n"
    w.article("<demo-qp@example.jp>", "local.test", "Quoted-printable sample", "qp@example.org",
              "Sat, 06 Dec 2025 10:00:00 +0000", qp.encode(),
              extra=["MIME-Version: 1.0", "Content-Type: text/plain; charset=UTF-8",
                     "Content-Transfer-Encoding: quoted-printable"])

    # uuencoded file inside plain text.
    uu = b"begin 644 hello.txt\n"
    data = "uuencode で送ったファイル\n".encode("euc_jp")
    for i in range(0, len(data), 45):
        uu += binascii.b2a_uu(data[i:i + 45])
    uu += b"`\nend\n"
    w.article("<demo-uu@example.jp>", "local.test", word("uuencode の例"), suzuki,
              "Sun, 07 Dec 2025 09:00:00 +0900", jis("ファイルを uuencode で送ります。\n\n") + uu, extra=mime)

    # Plain ASCII thread in local.test.
    w.article("<plain-1@example.org>", "local.test", "Hello from the demo server", "alice@example.org",
              "Mon, 08 Dec 2025 08:00:00 +0000",
              b"Lines starting with a dot:\n.like this one\n..and this\nSee https://example.org/news?x=1&y=2\n")
    w.article("<plain-2@example.org>", "local.test", "Re: Hello from the demo server", "bob@example.org",
              "Mon, 08 Dec 2025 09:00:00 +0000", b"> Lines starting with a dot:\n\nGot them.\n",
              refs="<plain-1@example.org>")
    print(w.n)


if __name__ == "__main__":
    main()
