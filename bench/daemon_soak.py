#!/usr/bin/python3
"""Soak run of `velora-cli daemon`: interval 10 s against a local FTP server (pyftpdlib on
127.0.0.1:21, so run it as root inside `unshare -n`, see scripts/bench-daemon-soak.sh).

The source file changes after every run, so each run connects, uploads and disconnects.
After each run the daemon's resident memory and open descriptors are read from /proc;
between two runs its CPU time. At the end SIGTERM must end it with "Programm -> END".

Usage: daemon_soak.py VELORA_CLI [RUNS]   (default 30 runs)
"""
import fcntl
import logging
import os
import signal
import socket
import sqlite3
import struct
import subprocess
import sys
import tempfile
import threading
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.log import config_logging
from pyftpdlib.servers import FTPServer

KEY = "\\SOFTWARE\\Norvex\\Kesta\\FTP"
RUN_START = "-" * 58 + " Transfer Start"
RUN_END = "Timer (Procedure Start) --> Start"
CLK_TCK = os.sysconf("SC_CLK_TCK")
PAGE_KB = os.sysconf("SC_PAGE_SIZE") // 1024


def loopback_up():
    """A fresh network namespace starts with its loopback interface down."""
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    request = struct.pack("16sH", b"lo", 0)
    flags = struct.unpack("16sH", fcntl.ioctl(sock, 0x8913, request)[:18])[1]   # SIOCGIFFLAGS
    fcntl.ioctl(sock, 0x8914, struct.pack("16sH", b"lo", flags | 1))            # SIOCSIFFLAGS, IFF_UP
    sock.close()


def start_ftp(home):
    auth = DummyAuthorizer()
    auth.add_user("velora", "geheim", home, perm="elradfmw")
    handler = FTPHandler
    handler.authorizer = auth
    server = FTPServer(("127.0.0.1", 21), handler)
    config_logging(level=logging.WARNING)
    thread = threading.Thread(target=server.serve_forever, kwargs={"timeout": 0.5}, daemon=True)
    thread.start()
    return server


def set_values(registry, values):
    db = sqlite3.connect(registry)
    for name, value in values.items():
        if isinstance(value, bool):
            value = int(value)
        if isinstance(value, int):
            kind, data = 4, struct.pack("<i", value)
        else:
            kind, data = 1, value.encode()
        db.execute("INSERT OR REPLACE INTO reg_values (path, name, type, data) VALUES (?, ?, ?, ?)",
                   (KEY, name, kind, data))
    db.commit()
    db.close()


def cpu_ms(pid):
    """CPU time used so far in milliseconds: the scheduler's nanosecond count where the
    kernel keeps it, else user + system time in clock ticks."""
    try:
        return int(open(f"/proc/{pid}/schedstat").read().split()[0]) / 1e6
    except (OSError, ValueError, IndexError):
        fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) * 1000 / CLK_TCK   # utime + stime


def rss_kb(pid):
    return int(open(f"/proc/{pid}/statm").read().split()[1]) * PAGE_KB


def open_fds(pid):
    return len(os.listdir(f"/proc/{pid}/fd"))


def main():
    cli = os.path.abspath(sys.argv[1])
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 30
    loopback_up()
    work = tempfile.mkdtemp(prefix="velora-soak-")
    ftp_home = os.path.join(work, "ftp")
    os.mkdir(ftp_home)
    server = start_ftp(ftp_home)
    env = dict(os.environ, HOME=work, TEMP=work, VELORA_REGISTRY=os.path.join(work, "registry.sqlite3"),
               COMPUTERNAME="SOAK")
    env.pop("temp", None)

    # The first start stores the defaults; then the soak's own settings go in.
    subprocess.run([cli, "prepare"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    source = os.path.join(work, "webcam.jpg")
    with open(source, "wb") as f:
        f.write(os.urandom(256 * 1024))
    set_values(env["VELORA_REGISTRY"], {
        "Autostart": True, "Intervall": 10, "Modus_Intervall": True, "Modus_feste_Zeit": False,
        "Login_Host": "127.0.0.1", "Login_User": "velora", "Login_Pwd": "geheim", "Login_Ping_Test": False,
        "Liste_row_count": 2, "Liste_8_1": "Ja", "Liste_1_1": "No", "Liste_2_1": source, "Liste_7_1": "/",
        "Liste_3_1": "webcam.jpg", "Liste_9_1": "",
    })

    daemon = subprocess.Popen([cli, "daemon"], env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              text=True, bufsize=1)
    pid = daemon.pid
    rows = []
    started_at = None
    ended_cpu = ended_wall = None
    sent = 0
    print(f"soak: velora-cli daemon pid {pid}, interval 10 s, {runs} runs, 256 KiB per run")
    print(" run   RSS KiB   fds   CPU ms idle   idle s   run s")
    for line in daemon.stdout:
        # Each line begins with the date and time in the system's formats.
        text = line.rstrip("\n")
        if text.endswith(" " + RUN_START):
            started_at = time.monotonic()
            idle_cpu = cpu_ms(pid) - ended_cpu if ended_cpu is not None else None
            idle_wall = started_at - ended_wall if ended_wall is not None else None
        elif text.endswith(" Status --> Work End"):
            sent += 1
        elif text.endswith(" " + RUN_END) and started_at is not None:
            # The line reaches us before the daemon has appended it to its log file:
            # look once it is idle again, not while that file is open.
            run_seconds = time.monotonic() - started_at
            time.sleep(0.3)
            ended_wall = time.monotonic()
            ended_cpu = cpu_ms(pid)
            row = (len(rows) + 1, rss_kb(pid), open_fds(pid), idle_cpu, idle_wall, run_seconds)
            rows.append(row)
            print(" %3d %9d %5d %13s %8s %7.2f" % (row[0], row[1], row[2],
                  "-" if row[3] is None else "%.2f" % row[3], "-" if row[4] is None else "%.1f" % row[4], row[5]),
                  flush=True)
            with open(source, "wb") as f:   # the next run finds a changed file
                f.write(os.urandom(256 * 1024))
            if len(rows) >= runs:
                break
    daemon.send_signal(signal.SIGTERM)
    rest, errors = daemon.communicate(timeout=30)
    server.close_all()

    ended_as_beenden = "Programm -> END" in rest
    uploaded = os.path.getsize(os.path.join(ftp_home, "webcam.jpg")) == 256 * 1024
    idle = [r for r in rows if r[3] is not None]
    idle_cpu_total = sum(r[3] for r in idle)
    idle_wall_total = sum(r[4] for r in idle)
    later = rows[4:] if len(rows) > 5 else rows
    print()
    print(f"runs: {len(rows)}, stores completed: {sent}, exit code after SIGTERM: {daemon.returncode}, "
          f"\"Programm -> END\" logged: {ended_as_beenden}, last upload whole: {uploaded}")
    print(f"RSS: first {rows[0][1]} KiB, run 5 {later[0][1]} KiB, last {rows[-1][1]} KiB, "
          f"max {max(r[1] for r in rows)} KiB (growth from run 5 on: {rows[-1][1] - later[0][1]} KiB)")
    print(f"open fds: first {rows[0][2]}, last {rows[-1][2]}, min {min(r[2] for r in rows)}, "
          f"max {max(r[2] for r in rows)}")
    if idle_wall_total > 0:
        print(f"CPU between runs: {idle_cpu_total:.1f} ms in {idle_wall_total:.1f} s "
              f"({100.0 * idle_cpu_total / 1000 / idle_wall_total:.3f} % of one core)")
    if errors.strip():
        print("stderr:\n" + errors)
    flat = (len(rows) >= runs and sent >= runs and daemon.returncode == 0 and ended_as_beenden and uploaded
            and max(r[2] for r in later) == min(r[2] for r in later))
    print("result: " + ("flat" if flat else "NOT FLAT or incomplete"))
    return 0 if flat else 1


if __name__ == "__main__":
    sys.exit(main())
