#!/usr/bin/python3
"""Local SMTP servers for the mail tests, all in one process.

Each server writes every message it accepts to FOLDER/<first recipient>/<n>.eml, with the
envelope and session facts beside it in <n>.json (written first, so a .eml file that exists is
complete). When all servers listen, their ports go to PORTS_FILE as KEY=VALUE lines.

  plain       no TLS, no authentication
  starttls    STARTTLS offered; AUTH (after STARTTLS) required with USER / PASSWORD
  tls         TLS from the first byte (smtps)
  wrongname   TLS from the first byte with a certificate for another host name
  slow        like plain, but each message is answered only after SLOW_DELAY seconds
  drop        speaks SMTP until DATA, then closes the connection when the data begins
"""

import argparse
import asyncio
import itertools
import json
import os
import re
import ssl

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

counter = itertools.count(1)


class Saver:
    def __init__(self, folder, name, delay=0.0):
        self.folder, self.name, self.delay = folder, name, delay

    async def handle_DATA(self, server, session, envelope):
        if self.delay:
            await asyncio.sleep(self.delay)
        first = envelope.rcpt_tos[0] if envelope.rcpt_tos else "nobody"
        folder = os.path.join(self.folder, re.sub(r"[^A-Za-z0-9@._-]", "_", first))
        os.makedirs(folder, exist_ok=True)
        base = os.path.join(folder, "%d" % next(counter))
        facts = {
            "server": self.name,
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "starttls": session.ssl is not None,
            "login": session.auth_data.login.decode() if isinstance(session.auth_data, LoginPassword) else None,
        }
        with open(base + ".json", "w") as f:
            json.dump(facts, f)
        with open(base + ".tmp", "wb") as f:
            f.write(envelope.original_content)
        os.rename(base + ".tmp", base + ".eml")
        return "250 Message accepted"


class Authenticator:
    def __init__(self, user, password):
        self.user, self.password = user.encode(), password.encode()

    def __call__(self, server, session, envelope, mechanism, auth_data):
        ok = isinstance(auth_data, LoginPassword) and (auth_data.login, auth_data.password) == (self.user, self.password)
        return AuthResult(success=ok, handled=False, auth_data=auth_data)


class Dropper(asyncio.Protocol):
    """Answers until DATA, then closes the connection as soon as message data arrives."""

    def connection_made(self, transport):
        self.transport, self.buffer, self.in_data = transport, b"", False
        transport.write(b"220 drop ESMTP\r\n")

    def data_received(self, data):
        if self.in_data:
            self.transport.abort()
            return
        self.buffer += data
        while b"\r\n" in self.buffer:
            line, self.buffer = self.buffer.split(b"\r\n", 1)
            verb = line[:4].upper()
            if verb == b"DATA":
                self.in_data = True
                self.transport.write(b"354 Go ahead\r\n")
                if self.buffer:
                    self.transport.abort()
                return
            if verb == b"QUIT":
                self.transport.write(b"221 Bye\r\n")
                self.transport.close()
                return
            self.transport.write(b"250 OK\r\n")


def tls_context(cert, key):
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cert, key)
    return context


async def main(args):
    loop = asyncio.get_running_loop()
    good = tls_context(args.cert, args.key)
    other = tls_context(args.other_cert, args.other_key)
    auth = Authenticator(args.user, args.password)

    def smtp(name, delay=0.0, **kwargs):
        return lambda: SMTP(Saver(args.folder, name, delay), hostname="ostrovid-test", **kwargs)

    factories = {
        "plain": (smtp("plain"), None),
        "starttls": (smtp("starttls", tls_context=good, auth_required=True, authenticator=auth), None),
        "tls": (smtp("tls"), good),
        "wrongname": (smtp("wrongname"), other),
        "slow": (smtp("slow", args.slow_delay), None),
        "drop": (Dropper, None),
    }
    servers, lines = [], []
    for name, (factory, context) in factories.items():
        server = await loop.create_server(factory, "127.0.0.1", 0, ssl=context, backlog=256)
        servers.append(server)
        lines.append("%s=%d\n" % (name, server.sockets[0].getsockname()[1]))
    with open(args.ports_file + ".tmp", "w") as f:
        f.writelines(lines)
    os.rename(args.ports_file + ".tmp", args.ports_file)
    await asyncio.Event().wait()


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    for option in ("folder", "ports-file", "cert", "key", "other-cert", "other-key", "user", "password"):
        parser.add_argument("--" + option, required=True)
    parser.add_argument("--slow-delay", type=float, default=3.0)
    asyncio.run(main(parser.parse_args()))
