// A save cut short by SIGKILL at any write, sync, truncation or removal the store
// makes must leave a store that opens, passes SQLite's integrity check and holds the
// whole old or the whole new save. The child stops itself at the chosen file
// operation through a VFS that wraps the usual one and tells the parent, which kills
// it there: the moments are drawn from a fixed seed, so every run cuts at the same
// places.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <poll.h>
#include <sys/socket.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <random>

#include "SettingsStoreFixture.h"
#include "support/DieWithParent.h"

namespace velora::test {
namespace {

// --- a VFS that counts the operations that change files ---------------------------

struct CountingVfs {
    sqlite3_vfs vfs{};
    sqlite3_io_methods methods{};
    sqlite3_vfs* real = nullptr;
    int count = 0;
    int stopAt = 0;        // 0: never
    int reportFd = -1;
};
CountingVfs g_counting;

struct WrappedFile {
    sqlite3_file base;
    sqlite3_file* real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
};

struct Report {
    int finished;   // 0: stopped at `count`; 1: the save ended after `count` operations
    int count;
};

// At the chosen operation: tell the parent and wait to be killed. A parent that has
// gone away ends the wait too.
void countOperation() {
    if (++g_counting.count != g_counting.stopAt) return;
    const Report report{0, g_counting.count};
    if (::write(g_counting.reportFd, &report, sizeof report) != sizeof report) ::_exit(4);
    char never;
    while (::read(g_counting.reportFd, &never, 1) < 0 && errno == EINTR) {
    }
    ::_exit(5);
}

sqlite3_file* realOf(sqlite3_file* f) { return reinterpret_cast<WrappedFile*>(f)->real(); }

int wClose(sqlite3_file* f) { return realOf(f)->pMethods->xClose(realOf(f)); }
int wRead(sqlite3_file* f, void* p, int n, sqlite3_int64 o) { return realOf(f)->pMethods->xRead(realOf(f), p, n, o); }
int wWrite(sqlite3_file* f, const void* p, int n, sqlite3_int64 o) {
    countOperation();
    return realOf(f)->pMethods->xWrite(realOf(f), p, n, o);
}
int wTruncate(sqlite3_file* f, sqlite3_int64 size) {
    countOperation();
    return realOf(f)->pMethods->xTruncate(realOf(f), size);
}
// A killed process loses nothing it has handed to the kernel; only a power cut needs
// the sync, and none is cut here. Skipping it keeps the test quick on a real disk.
int wSync(sqlite3_file*, int) {
    countOperation();
    return SQLITE_OK;
}
int wFileSize(sqlite3_file* f, sqlite3_int64* size) { return realOf(f)->pMethods->xFileSize(realOf(f), size); }
int wLock(sqlite3_file* f, int l) { return realOf(f)->pMethods->xLock(realOf(f), l); }
int wUnlock(sqlite3_file* f, int l) { return realOf(f)->pMethods->xUnlock(realOf(f), l); }
int wCheckReserved(sqlite3_file* f, int* out) { return realOf(f)->pMethods->xCheckReservedLock(realOf(f), out); }
int wFileControl(sqlite3_file* f, int op, void* arg) { return realOf(f)->pMethods->xFileControl(realOf(f), op, arg); }
int wSectorSize(sqlite3_file* f) { return realOf(f)->pMethods->xSectorSize(realOf(f)); }
int wDeviceCharacteristics(sqlite3_file* f) { return realOf(f)->pMethods->xDeviceCharacteristics(realOf(f)); }
int wShmMap(sqlite3_file* f, int page, int size, int extend, void volatile** p) {
    return realOf(f)->pMethods->xShmMap(realOf(f), page, size, extend, p);
}
int wShmLock(sqlite3_file* f, int offset, int n, int flags) {
    return realOf(f)->pMethods->xShmLock(realOf(f), offset, n, flags);
}
void wShmBarrier(sqlite3_file* f) { realOf(f)->pMethods->xShmBarrier(realOf(f)); }
int wShmUnmap(sqlite3_file* f, int deleteFlag) { return realOf(f)->pMethods->xShmUnmap(realOf(f), deleteFlag); }

int vOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags) {
    auto* wrapped = reinterpret_cast<WrappedFile*>(f);
    const int rc = g_counting.real->xOpen(g_counting.real, name, wrapped->real(), flags, outFlags);
    // Without methods of its own, sqlite does not close the file again.
    wrapped->base.pMethods = wrapped->real()->pMethods != nullptr ? &g_counting.methods : nullptr;
    return rc;
}
int vDelete(sqlite3_vfs*, const char* name, int syncDir) {
    countOperation();
    return g_counting.real->xDelete(g_counting.real, name, syncDir);
}
int vAccess(sqlite3_vfs*, const char* name, int flags, int* out) {
    return g_counting.real->xAccess(g_counting.real, name, flags, out);
}
int vFullPathname(sqlite3_vfs*, const char* name, int n, char* out) {
    return g_counting.real->xFullPathname(g_counting.real, name, n, out);
}
int vRandomness(sqlite3_vfs*, int n, char* out) { return g_counting.real->xRandomness(g_counting.real, n, out); }
int vSleep(sqlite3_vfs*, int us) { return g_counting.real->xSleep(g_counting.real, us); }
int vCurrentTime(sqlite3_vfs*, double* t) { return g_counting.real->xCurrentTime(g_counting.real, t); }
int vGetLastError(sqlite3_vfs*, int n, char* out) { return g_counting.real->xGetLastError(g_counting.real, n, out); }
int vCurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* t) {
    return g_counting.real->xCurrentTimeInt64(g_counting.real, t);
}

// Makes the counting VFS the default of this (child) process.
void installCountingVfs(int stopAt, int reportFd) {
    CountingVfs& c = g_counting;
    c.real = sqlite3_vfs_find(nullptr);
    c.count = 0;
    c.stopAt = stopAt;
    c.reportFd = reportFd;
    c.methods = sqlite3_io_methods{};
    c.methods.iVersion = 2;   // shared memory for the WAL, no memory mapping
    c.methods.xClose = wClose;
    c.methods.xRead = wRead;
    c.methods.xWrite = wWrite;
    c.methods.xTruncate = wTruncate;
    c.methods.xSync = wSync;
    c.methods.xFileSize = wFileSize;
    c.methods.xLock = wLock;
    c.methods.xUnlock = wUnlock;
    c.methods.xCheckReservedLock = wCheckReserved;
    c.methods.xFileControl = wFileControl;
    c.methods.xSectorSize = wSectorSize;
    c.methods.xDeviceCharacteristics = wDeviceCharacteristics;
    c.methods.xShmMap = wShmMap;
    c.methods.xShmLock = wShmLock;
    c.methods.xShmBarrier = wShmBarrier;
    c.methods.xShmUnmap = wShmUnmap;
    c.vfs = sqlite3_vfs{};
    c.vfs.iVersion = 2;
    c.vfs.szOsFile = static_cast<int>(sizeof(WrappedFile)) + c.real->szOsFile;
    c.vfs.mxPathname = c.real->mxPathname;
    c.vfs.zName = "velora-counting";
    c.vfs.xOpen = vOpen;
    c.vfs.xDelete = vDelete;
    c.vfs.xAccess = vAccess;
    c.vfs.xFullPathname = vFullPathname;
    c.vfs.xRandomness = vRandomness;
    c.vfs.xSleep = vSleep;
    c.vfs.xCurrentTime = vCurrentTime;
    c.vfs.xGetLastError = vGetLastError;
    c.vfs.xCurrentTimeInt64 = vCurrentTimeInt64;
    sqlite3_vfs_register(&c.vfs, 1);
}

// --- what one save writes ----------------------------------------------------------

// Every value of a save depends on its generation, so a mix of two saves shows.
void applyGeneration(int g, Settings& s, FileTable& table) {
    const std::string n = std::to_string(g);
    s.E_Host = "proxy" + n;
    s.e_host_ziel = "ziel" + n;
    s.E_logfile = "log" + n + ".Log";
    s.se_interval.setValue(10 + g % 3000);
    s.se_ruhezeit.setValue(g % 61);
    s.cb_ping = g % 2 == 1;
    s.e_ss_file = "shot" + n + ".jpg";
    s.m_ftp_pfad.assign(static_cast<std::size_t>(1 + g % 3), "/p" + n);
    table.setRowCount(1 + g % 4);
    for (int r = 1; r <= table.rowCount(); ++r) {
        table.setCell(Quelle, r, "/src/" + n + "_" + std::to_string(r));
        table.setCell(FtpName, r, "dst" + n);
    }
}

// The values a save wrote, as one text, to compare two generations whole.
std::string saved(const Settings& s, const FileTable& table) {
    std::string all = s.E_Host + "|" + s.e_host_ziel + "|" + s.E_logfile + "|" + s.se_interval.text + "|" +
                      s.se_ruhezeit.text + "|" + (s.cb_ping ? "1" : "0") + "|" + s.e_ss_file + "|";
    for (const std::string& p : s.m_ftp_pfad) all += p + ",";
    for (int r = 1; r <= table.rowCount(); ++r) all += "|" + table.cell(Quelle, r) + ":" + table.cell(FtpName, r);
    return all;
}

std::vector<std::int64_t> countersOf(const RunCounters& c) {
    std::vector<std::int64_t> all{static_cast<std::int64_t>(c.Send_Files_ges), static_cast<std::int64_t>(c.Send_Bytes_ges)};
    for (int d = 1; d <= 7; ++d) {
        all.push_back(c.filesPerWeekday[static_cast<std::size_t>(d)]);
        all.push_back(c.bytesPerWeekday[static_cast<std::size_t>(d)]);
    }
    return all;
}

class StoreCrashTest : public SettingsStoreTest {
protected:
    enum class Save { Config, RunCounters };

    struct Outcome {
        bool killed = false;
        int operations = 0;   // where it was stopped, or how many the whole save made
    };

    // Runs one save of generation `g` in a child that stops at operation `stopAt`
    // (0: never) and is killed there.
    Outcome saveInChild(Save what, int g, int stopAt) {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) throw std::runtime_error("socketpair");
        const pid_t parent = ::getpid();
        const pid_t pid = ::fork();
        if (pid < 0) throw std::runtime_error("fork");
        if (pid == 0) {
            test::dieWithParent(parent);
            ::close(fds[0]);
            installCountingVfs(stopAt, fds[1]);
            try {
                if (what == Save::Config) {
                    applyGeneration(g, settings, table);
                    store.SaveConfig();
                } else {
                    // One more of everything, on top of what the store holds.
                    counters.Send_Files_ges += 1;
                    counters.Send_Bytes_ges += 1;
                    for (int d = 1; d <= 7; ++d) {
                        counters.filesPerWeekday[static_cast<std::size_t>(d)] += 1;
                        counters.bytesPerWeekday[static_cast<std::size_t>(d)] += 1;
                    }
                    store.SaveRunCounters();
                }
            } catch (...) {
                ::_exit(3);
            }
            const Report done{1, g_counting.count};
            ::_exit(::write(fds[1], &done, sizeof done) == sizeof done ? 0 : 4);
        }
        ::close(fds[1]);
        Outcome outcome;
        Report report{-1, 0};
        pollfd pfd{fds[0], POLLIN, 0};
        // Bounded: a child that hangs fails the test instead of stalling it.
        if (::poll(&pfd, 1, 20000) == 1 && ::read(fds[0], &report, sizeof report) == sizeof report) {
            outcome.operations = report.count;
            if (report.finished == 0) {
                ::kill(pid, SIGKILL);
                outcome.killed = true;
            }
        } else {
            ::kill(pid, SIGKILL);
            ADD_FAILURE() << "the child neither stopped nor finished";
        }
        ::close(fds[0]);
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (outcome.killed) {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        } else {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
        }
        return outcome;
    }

    std::string integrity() {
        std::string result;
        Sqlite db(registry.filePath());
        db.query("PRAGMA integrity_check", {}, [&](sqlite3_stmt* st) {
            result += reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        });
        return result;
    }

    // What the program loads from the store now, through a store object of its own.
    struct Loaded {
        Settings settings;
        FileTable table;
        RunCounters counters;
    };
    std::unique_ptr<Loaded> load() {
        auto l = std::make_unique<Loaded>(Loaded{Settings::defaults(env), {}, {}});
        SettingsStore reader(registry, l->settings, l->table, l->counters, temp, log, ui);
        reader.LoadConfig();
        return l;
    }

    int generationOf(const Settings& s) { return std::stoi(s.E_Host.substr(std::string("proxy").size())); }
};

TEST_F(StoreCrashTest, KilledSavesLeaveTheWholeOldOrTheWholeNewValues) {
    applyGeneration(0, settings, table);
    store.SaveConfig();

    // How many file operations a whole save of each kind makes, so the cuts cover all.
    const int configOps = saveInChild(Save::Config, 1, 0).operations;
    const int countersOps = saveInChild(Save::RunCounters, 0, 0).operations;
    ASSERT_GT(configOps, 2);
    ASSERT_GT(countersOps, 2);

    std::mt19937 random(20260401u);
    int generation = 1;
    std::vector<std::int64_t> before = countersOf(load()->counters);
    int kept = 0, replaced = 0;
    for (int i = 0; i < 200; ++i) {
        const Save what = i % 2 == 0 ? Save::Config : Save::RunCounters;
        const int ops = what == Save::Config ? configOps : countersOps;
        // One past the last operation lets the save finish.
        const int stopAt = 1 + static_cast<int>(random() % static_cast<unsigned>(ops + 1));
        SCOPED_TRACE("cut " + std::to_string(i) + " at operation " + std::to_string(stopAt));
        const Outcome outcome = saveInChild(what, generation + 1, stopAt);

        ASSERT_EQ(integrity(), "ok");
        const auto now = load();
        const int found = generationOf(now->settings);
        ASSERT_TRUE(found == generation || found == generation + 1) << found;
        Settings expectedSettings = Settings::defaults(env);
        FileTable expectedTable;
        applyGeneration(found, expectedSettings, expectedTable);
        EXPECT_EQ(saved(now->settings, now->table), saved(expectedSettings, expectedTable));

        const std::vector<std::int64_t> after = countersOf(now->counters);
        std::int64_t step = after[0] - before[0];
        for (std::size_t k = 0; k < after.size(); ++k) EXPECT_EQ(after[k] - before[k], step) << "counter " << k;
        EXPECT_TRUE(step == 0 || (what == Save::RunCounters && step == 1)) << step;

        const bool changed = found != generation || step != 0;
        if (!outcome.killed) {
            EXPECT_TRUE(changed) << "a save that ended must be kept";
        }
        changed ? ++replaced : ++kept;
        generation = found;
        before = after;
    }
    // Both outcomes occurred, so the cuts fell inside the saves and not only around them.
    EXPECT_GT(kept, 20);
    EXPECT_GT(replaced, 20);
}

}  // namespace
}  // namespace velora::test
