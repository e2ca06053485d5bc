"""A scripted SFTP version 3 server for sshd's Subsystem line: the requests a store
needs, on real files below the folder given as the second argument (where the login
starts), and no extensions at all, so a client must replace a file without
posix-rename. Its plain RENAME refuses an existing target, as OpenSSH's does. Every
request's name goes to the log file given as the first argument, one per line; what
the script itself reports goes to that name with ".err" added."""
import os
import struct
import sys

inp, out = sys.stdin.buffer, sys.stdout.buffer
log = open(sys.argv[1], "a", buffering=1)
sys.stderr = open(sys.argv[1] + ".err", "a", buffering=1)
os.chdir(sys.argv[2])
handles = {}


def read_exact(n):
    data = b""
    while len(data) < n:
        chunk = inp.read(n - len(data))
        if not chunk:
            sys.exit(0)
        data += chunk
    return data


def send(kind, body):
    out.write(struct.pack(">IB", len(body) + 1, kind) + body)
    out.flush()


def string(b):
    return struct.pack(">I", len(b)) + b


def status(rid, code, text):
    send(101, struct.pack(">II", rid, code) + string(text.encode()) + string(b""))


class Fields:
    def __init__(self, data):
        self.data, self.pos = data, 0

    def u32(self):
        v = struct.unpack_from(">I", self.data, self.pos)[0]
        self.pos += 4
        return v

    def u64(self):
        v = struct.unpack_from(">Q", self.data, self.pos)[0]
        self.pos += 8
        return v

    def string(self):
        n = self.u32()
        s = self.data[self.pos:self.pos + n]
        self.pos += n
        return s


while True:
    length, kind = struct.unpack(">IB", read_exact(5))
    f = Fields(read_exact(length - 1))
    if kind == 1:  # INIT
        send(2, struct.pack(">I", 3))
        continue
    rid = f.u32()
    names = {3: "OPEN", 4: "CLOSE", 6: "WRITE", 13: "REMOVE", 16: "REALPATH", 17: "STAT", 18: "RENAME"}
    log.write(names.get(kind, "EXTENDED %d" % kind) + "\n")
    try:
        if kind == 16:
            path = os.path.realpath(f.string())
            send(104, struct.pack(">II", rid, 1) + string(path) + string(b"") + struct.pack(">I", 0))
        elif kind == 17:
            st = os.stat(f.string())
            send(105, struct.pack(">III", rid, 4, st.st_mode))
        elif kind == 3:
            path = f.string()
            fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
            handle = str(fd).encode()
            handles[handle] = fd
            send(102, struct.pack(">I", rid) + string(handle))
        elif kind == 6:
            fd = handles[f.string()]
            offset = f.u64()
            os.pwrite(fd, f.string(), offset)
            status(rid, 0, "Success")
        elif kind == 4:
            os.close(handles.pop(f.string()))
            status(rid, 0, "Success")
        elif kind == 13:
            os.unlink(f.string())
            status(rid, 0, "Success")
        elif kind == 18:
            old, new = f.string(), f.string()
            if os.path.exists(new):
                status(rid, 4, "Failure")
            else:
                os.rename(old, new)
                status(rid, 0, "Success")
        else:
            status(rid, 8, "Operation unsupported")
    except OSError as e:
        status(rid, 2 if e.errno == 2 else 4, e.strerror)
