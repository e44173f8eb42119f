#!/usr/bin/env python3
"""A real SMTP server (aiosmtpd) for the mail tests.

It listens on a free loopback port, prints the port on a line of its own
when it is ready, and appends every message it accepts as one JSON line to
the --out file: the envelope, the raw data and what Python's email package
reads from it. Switches make it misbehave in the ways a client must survive.
It ends when its standard input is closed.

Commands are named as the client sends them (HELO, EHLO, MAIL, RCPT, DATA,
STARTTLS, AUTH, QUIT); END is the reply after the message data, GREETING
(for --reply only) the server's first reply. Reply texts
hold their lines separated by "|".
"""

import argparse
import asyncio
import email
import email.policy
import json
import os
import ssl
import sys

from aiosmtpd.smtp import SMTP, AuthResult


def command_texts(values):
    """'CMD=a|b' options as {CMD: [a, b]}."""
    result = {}
    for value in values or []:
        name, _, text = value.partition("=")
        result[name.upper()] = text.split("|")
    return result


def command_numbers(values):
    return {name: float(texts[0]) for name, texts in command_texts(values).items()}


def parse_options():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--out", required=True, help="file the messages are appended to")
    p.add_argument("--greeting-lines", type=int, default=0,
                   help="continuation lines (220-) before the greeting")
    p.add_argument("--reply", action="append", help="CMD=TEXT: answer CMD with TEXT only")
    p.add_argument("--before", action="append",
                   help="CMD=TEXT: lines sent before the normal reply to CMD")
    p.add_argument("--delay", action="append", help="CMD=SECONDS: wait before answering CMD")
    p.add_argument("--trickle", action="append",
                   help="CMD=SECONDS: send the reply to CMD in pieces, one every 0.5 s, "
                        "spread over SECONDS")
    p.add_argument("--silent", action="append", default=[], help="CMD: never answer CMD")
    p.add_argument("--flood", action="append", default=[],
                   help="CMD: answer CMD with continuation lines that never end (100 KiB)")
    p.add_argument("--close", action="append", default=[],
                   help="CMD: close the connection instead of answering CMD")
    p.add_argument("--cert", help="certificate (PEM) for TLS")
    p.add_argument("--key", help="its private key (PEM)")
    p.add_argument("--starttls", action="store_true", help="require STARTTLS")
    p.add_argument("--tls", action="store_true", help="TLS from the first byte")
    p.add_argument("--auth", help="USER:PASSWORD that AUTH must give")
    p.add_argument("--auth-only", help="the one AUTH mechanism offered (PLAIN or LOGIN)")
    o = p.parse_args()
    o.reply = command_texts(o.reply)
    o.before = command_texts(o.before)
    o.delay = command_numbers(o.delay)
    o.trickle = command_numbers(o.trickle)
    o.silent = {c.upper() for c in o.silent}
    o.close = {c.upper() for c in o.close}
    o.flood = {c.upper() for c in o.flood}
    return o


async def misbehave(server, name):
    """Acts as the options say for command name; True when the command is answered."""
    o = server.options
    server.current = name
    if name in o.silent:
        await asyncio.sleep(3600)
        return True
    if name in o.close:
        server.transport.close()
        return True
    if name in o.flood:
        for _ in range(1400):
            await server.push("250-" + "x" * 70)
        return True
    if name in o.delay:
        await asyncio.sleep(o.delay[name])
    if name in o.reply:
        for line in o.reply[name]:
            await server.push(line)
        return True
    for line in o.before.get(name, []):
        await server.push(line)
    return False


class TestSMTP(SMTP):
    def __init__(self, handler, options, **kwargs):
        super().__init__(handler, **kwargs)
        self.options = options
        self.greeted = False
        self.current = None
        for name, method in list(self._smtp_methods.items()):
            self._smtp_methods[name] = self._wrapped(name, method)

    def _wrapped(self, name, method):
        async def command(arg):
            if not await misbehave(self, name):
                await method(arg)
        return command

    async def push(self, status):
        if not self.greeted:
            self.greeted = True
            if "GREETING" in self.options.reply:
                for line in self.options.reply["GREETING"]:
                    await super().push(line)
                return
            for i in range(self.options.greeting_lines):
                await super().push(f"220-Telvora test server, line {i + 1} of the greeting")
        seconds = self.options.trickle.get(self.current)
        if seconds is None:
            await super().push(status)
            return
        data = (status if isinstance(status, bytes) else status.encode("ascii")) + b"\r\n"
        pieces = max(2, int(seconds / 0.5) + 1)
        size = max(1, -(-len(data) // pieces))
        for start in range(0, len(data), size):
            if start:
                await asyncio.sleep(0.5)
            self._writer.write(data[start:start + size])
            await self._writer.drain()


class Recorder:
    def __init__(self, path):
        self.path = path

    async def handle_DATA(self, server, session, envelope):
        raw = envelope.original_content
        self.record(session, envelope, raw)
        if await misbehave(server, "END"):
            # The reply was sent (or will never be); aiosmtpd pushes what
            # is returned here, so return a line the client is not waiting for.
            return "250 ignored"
        return "250 Message accepted for delivery"

    def record(self, session, envelope, raw):
        msg = email.message_from_bytes(raw, policy=email.policy.default)
        head = raw.split(b"\r\n\r\n", 1)[0].decode("ascii", "backslashreplace")

        def addresses(name):
            field = msg[name]
            if field is None:
                return []
            return [f"{a.display_name}|{a.addr_spec}" for a in field.addresses]

        body = msg.get_body(preferencelist=("plain",))
        record = {
            "helo": session.host_name,
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "login": session.auth_data if isinstance(session.auth_data, str) else "",
            "data": raw.decode("ascii", "backslashreplace"),
            "header_lines": head.split("\r\n"),
            "subject": str(msg["Subject"] or ""),
            "from": addresses("From"),
            "to": addresses("To"),
            "cc": addresses("Cc"),
            "bcc": addresses("Bcc"),
            "charset": msg.get_content_charset() or "",
            "body": body.get_content() if body is not None else "",
            "defects": [type(d).__name__ for d in msg.defects],
        }
        with open(self.path, "a", encoding="utf-8") as out:
            out.write(json.dumps(record) + "\n")


def tls_context(options):
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(options.cert, options.key)
    return context


async def main():
    options = parse_options()
    recorder = Recorder(options.out)
    kwargs = {"hostname": "telvora-test", "timeout": 60}
    connect_tls = None
    if options.starttls:
        kwargs.update(tls_context=tls_context(options), require_starttls=True)
    if options.tls:
        connect_tls = tls_context(options)
        # aiosmtpd cannot see TLS that the transport does itself.
        kwargs["auth_require_tls"] = False
    if options.auth:
        user, _, password = options.auth.partition(":")

        def authenticator(server, session, envelope, mechanism, auth_data):
            ok = auth_data.login == user.encode() and auth_data.password == password.encode()
            return AuthResult(success=ok, handled=False, auth_data=user if ok else None)

        kwargs.update(authenticator=authenticator, auth_required=True)
        if options.auth_only:
            kwargs["auth_exclude_mechanism"] = {"PLAIN", "LOGIN"} - {options.auth_only}

    loop = asyncio.get_running_loop()
    server = await loop.create_server(lambda: TestSMTP(recorder, options, loop=loop, **kwargs),
                                      host="127.0.0.1", port=0, ssl=connect_tls)
    print(server.sockets[0].getsockname()[1], flush=True)

    finished = loop.create_future()

    def stdin_readable():
        if not os.read(sys.stdin.fileno(), 4096) and not finished.done():
            finished.set_result(None)

    loop.add_reader(sys.stdin.fileno(), stdin_readable)
    await finished
    server.close()


if __name__ == "__main__":
    asyncio.run(main())
