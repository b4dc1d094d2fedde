#!/usr/bin/python3
"""An FTP server for the tests, on 127.0.0.1 and a free port.

One user with a password whose home is the given folder. Prints the port on
the first line of its output once it listens. With --drop-after N the data
connection of an upload is cut after N bytes; with --read-limit B uploads
are slowed to B bytes a second (a transfer that can be cancelled midway).
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
    args = parser.parse_args()

    logging.basicConfig(level=logging.WARNING)
    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")

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
        pass

    Handler.authorizer = authorizer
    Handler.dtp_handler = TestDTPHandler
    Handler.banner = "fidmora test server"
    Handler.use_encoding = "utf8"

    server = FTPServer(("127.0.0.1", 0), Handler)
    print(server.address[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    sys.exit(main())
