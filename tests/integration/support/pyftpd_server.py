#!/usr/bin/python3
"""A throwaway FTP server for the integration tests.

Usage: pyftpd_server.py HOME PORT

Serves HOME on 127.0.0.1:PORT (0 picks a free port) with three accounts:
  velora / geheim  may write (elradfmw)
  leser  / geheim  may only read (elr)
  unten  / geheim  may write, and starts in /start/hier instead of /
Prints the bound port on its own line once it listens, then serves until killed.
"""
import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


class Handler(FTPHandler):
    # Where each account finds itself after the login, when not at the root.
    login_folders = {"unten": "/start/hier"}

    def on_login(self, username):
        folder = self.login_folders.get(username)
        if folder:
            self.fs.cwd = folder


def main():
    if len(sys.argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    home, port = sys.argv[1], int(sys.argv[2])
    logging.basicConfig(level=logging.WARNING)
    logging.getLogger("pyftpdlib").setLevel(logging.WARNING)

    authorizer = DummyAuthorizer()
    authorizer.add_user("velora", "geheim", home, perm="elradfmw")
    authorizer.add_user("leser", "geheim", home, perm="elr")
    authorizer.add_user("unten", "geheim", home, perm="elradfmw")
    for folder in Handler.login_folders.values():
        os.makedirs(os.path.join(home, folder.lstrip("/")), exist_ok=True)

    handler = Handler
    handler.authorizer = authorizer
    handler.banner = "velora test server ready."
    # pyftpdlib waits 3 s before refusing a login, longer than the client's 1 s reply
    # time-out; a test server answers at once.
    handler.auth_failed_timeout = 0.1

    server = FTPServer(("127.0.0.1", port), handler)
    sys.stdout.write("%d\n" % server.socket.getsockname()[1])
    sys.stdout.flush()
    server.serve_forever()
    return 0


if __name__ == "__main__":
    sys.exit(main())
