#!/usr/bin/python3
"""An FTP server for the tests, on 127.0.0.1 and a free port.

One user with a password whose home is the given folder. Prints the port on
the first line of its output once it listens. With --drop-after N the data
connection of an upload is cut after N bytes; with --read-limit B uploads
are slowed to B bytes a second (a transfer that can be cancelled midway).

Hostings differ in what they let an account do: --perm gives the user's
rights in pyftpdlib's letters ("f" is renaming), --no-rename-over refuses a
rename onto a file that exists, as some servers do, and --refuse-rename-from
SUFFIX refuses to rename files whose names end so.
"""

import argparse
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--drop-after", type=int, default=-1)
    parser.add_argument("--read-limit", type=int, default=0)
    parser.add_argument("--perm", default="elradfmwMT")
    parser.add_argument("--no-rename-over", action="store_true")
    parser.add_argument("--refuse-rename-from", default="")
    args = parser.parse_args()

    logging.basicConfig(level=logging.WARNING)
    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm=args.perm)

    base = ThrottledDTPHandler if args.read_limit > 0 else DTPHandler

    class TestDTPHandler(base):
        if args.read_limit > 0:
            read_limit = args.read_limit

        def handle_read(self):
            super().handle_read()
            if args.drop_after >= 0 and self.receive and not self.transfer_finished \
                    and self.tot_bytes_received >= args.drop_after:
                self._resp = ("426 Connection dropped by the test server.", logging.info)
                self.close()

        handle_read_event = handle_read

    class Handler(FTPHandler):
        def ftp_RNFR(self, path):
            if args.refuse_rename_from and path.endswith(args.refuse_rename_from):
                self.respond("550 Renaming this file is refused by the test server.")
                return
            return super().ftp_RNFR(path)

        def ftp_RNTO(self, path):
            if args.no_rename_over and self._rnfr and self.fs.lexists(path):
                self._rnfr = None
                self.respond("550 File exists.")
                return
            return super().ftp_RNTO(path)

    Handler.authorizer = authorizer
    Handler.dtp_handler = TestDTPHandler
    Handler.banner = "fidmora test server"
    Handler.use_encoding = "utf8"

    server = FTPServer(("127.0.0.1", 0), Handler)
    print(server.address[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    sys.exit(main())
