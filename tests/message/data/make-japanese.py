#!/usr/bin/env python3
"""Writes the Japanese test articles of this folder (run from anywhere)."""
import base64
import os
import quopri
from email.header import Header

here = os.path.dirname(os.path.abspath(__file__))

SUBJECT = '日本語の件名はとても長いので二つの行に折り返されます'
NAME = '山田太郎'
LINES = [
    '日本語のテキストです。',
    '漢字とひらがなとカタカナ、それに英字 ABC も混ざります。',
    '詳しくは http://www.example.jp/日本 を見てください。',
    '..で始まる行',
    '',
    '以上です。',
]


def words(text):
    # Two encoded words on two folded lines.
    half = len(text) // 2
    a = Header(text[:half], 'iso-2022-jp').encode()
    b = Header(text[half:], 'iso-2022-jp').encode()
    return a + '\n ' + b


def header(extra, subject=None):
    return ('Path: news.example.jp!not-for-mail\n'
            'From: ' + Header(NAME, 'iso-2022-jp').encode() + ' <taro@example.jp>\n'
            'Newsgroups: fj.test\n'
            'Subject: ' + (subject or words(SUBJECT)) + '\n'
            'Date: Sun, 6 Dec 2026 10:00:00 +0900\n'
            'Message-ID: <ja.1@example.jp>\n' + extra)


def write(name, data):
    with open(os.path.join(here, name), 'wb') as f:
        f.write(data)


body = '\n'.join(LINES) + '\n'
write('ja-jis.txt', (header('Mime-Version: 1.0\nContent-Type: text/plain; charset=ISO-2022-JP\n'
                            'Content-Transfer-Encoding: 7bit\n\n')).encode('ascii') + body.encode('iso2022_jp'))
write('ja-sjis.txt', (header('Content-Type: text/plain; charset=Shift_JIS\n\n',
                             subject=Header(SUBJECT, 'iso-2022-jp').encode().replace('?b?', '?B?'))).encode('ascii')
      + body.encode('cp932'))
write('ja-euc.txt', header('Content-Type: text/plain; charset=EUC-JP\n\n').encode('ascii') + body.encode('euc_jp'))

b64 = base64.encodebytes(body.encode('iso2022_jp')).decode('ascii')
qp = quopri.encodestring(body.encode('euc_jp')).decode('ascii')
uu_data = bytes(range(256)) * 4
import binascii
uu = 'begin 644 data.bin\n' + ''.join(binascii.b2a_uu(uu_data[i:i + 45]).decode('ascii')
                                       for i in range(0, len(uu_data), 45)) + '`\nend\n'
fname = Header('添付ファイル.bin', 'iso-2022-jp').encode()
mime = header('Mime-Version: 1.0\nContent-Type: multipart/mixed; boundary="=_ja_="\n\n') + (
    'This is a multi-part message in MIME format.\n'
    '--=_ja_=\n'
    'Content-Type: text/plain; charset=ISO-2022-JP\n'
    'Content-Transfer-Encoding: base64\n\n' + b64 + '\n'
    '--=_ja_=\n'
    'Content-Type: text/plain; charset=EUC-JP\n'
    'Content-Transfer-Encoding: quoted-printable\n\n' + qp + '\n'
    '--=_ja_=\n'
    'Content-Type: text/plain; charset=US-ASCII\n\n'
    'A uuencoded file follows.\n\n' + uu + '\n'
    'Thanks.\n'
    '--=_ja_=\n'
    'Content-Type: application/octet-stream; name="' + fname + '"\n'
    'Content-Transfer-Encoding: base64\n\n' + base64.encodebytes(uu_data).decode('ascii') + '\n'
    '--=_ja_=--\n')
write('ja-mime.txt', mime.encode('ascii'))
write('ja-expected-body.sjis', body.encode('cp932'))
write('ja-expected-subject.sjis', SUBJECT.encode('cp932'))
write('ja-expected-name.sjis', NAME.encode('cp932'))
write('ja-expected-file.sjis', '添付ファイル.bin'.encode('cp932'))
write('ja-expected-data.bin', uu_data)
