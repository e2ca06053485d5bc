// A save cut short by SIGKILL at any write, sync, truncation or removal the store
// makes must leave a store that opens, passes SQLite's integrity check and holds the
// whole old or the whole new save. The child stops itself at the chosen file
// operation through a VFS that wraps the usual one and tells the parent, which kills
// it there: the moments are drawn from a fixed seed, so every run cuts at the same
// places.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "SettingsStoreFixture.h"
#include "support/DieWithParent.h"

namespace velora::test {
namespace {

// --- a VFS that counts the operations that change files ---------------------------

struct Counting {
    sqlite3_vfs vfs{};
    sqlite3_vfs* real = nullptr;
    int count = 0;
    int stopAt = 0;  // 0: never
    int reportFd = -1;
} g_counting;

struct Report {
    int finished;  // 0: stopped at `count`; 1: the save ended after `count` operations
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

// The usual VFS's file sits right behind the wrapper's own sqlite3_file.
sqlite3_file* realOf(sqlite3_file* f) { return f + 1; }

// Each method passes its call on to the usual one; the counted ones count it first.
#define VELORA_PASS(method, counted)                         \
    m.method = [](sqlite3_file* f, auto... a) {              \
        if (counted) countOperation();                       \
        return realOf(f)->pMethods->method(realOf(f), a...); \
    }
#define VELORA_PASS_VFS(method) \
    c.vfs.method = [](sqlite3_vfs*, auto... a) { return g_counting.real->method(g_counting.real, a...); }

// Assigned field by field: the struct grows with each SQLite version.
const sqlite3_io_methods kMethods = [] {
    sqlite3_io_methods m{};
    m.iVersion = 2;  // shared memory for the WAL, no memory mapping
    VELORA_PASS(xWrite, true);
    VELORA_PASS(xTruncate, true);
    // A killed process loses nothing it has handed to the kernel; only a power cut needs
    // the sync, and none is cut here. Skipping it keeps the test quick on a real disk.
    m.xSync = [](sqlite3_file*, int) {
        countOperation();
        return SQLITE_OK;
    };
    VELORA_PASS(xClose, false); VELORA_PASS(xRead, false); VELORA_PASS(xFileSize, false);
    VELORA_PASS(xLock, false); VELORA_PASS(xUnlock, false); VELORA_PASS(xCheckReservedLock, false);
    VELORA_PASS(xFileControl, false); VELORA_PASS(xSectorSize, false); VELORA_PASS(xDeviceCharacteristics, false);
    VELORA_PASS(xShmMap, false); VELORA_PASS(xShmLock, false); VELORA_PASS(xShmBarrier, false);
    VELORA_PASS(xShmUnmap, false);
    return m;
}();

// Makes the counting VFS the default of this (child) process.
void installCountingVfs(int stopAt, int reportFd) {
    Counting& c = g_counting;
    c.real = sqlite3_vfs_find(nullptr);
    c.stopAt = stopAt;
    c.reportFd = reportFd;
    c.vfs = sqlite3_vfs{};
    c.vfs.iVersion = 2;
    c.vfs.szOsFile = static_cast<int>(sizeof(sqlite3_file)) + c.real->szOsFile;
    c.vfs.mxPathname = c.real->mxPathname;
    c.vfs.zName = "velora-counting";
    c.vfs.xOpen = [](sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags) {
        const int rc = g_counting.real->xOpen(g_counting.real, name, realOf(f), flags, outFlags);
        // Without methods of its own, sqlite does not close the file again.
        f->pMethods = realOf(f)->pMethods != nullptr ? &kMethods : nullptr;
        return rc;
    };
    c.vfs.xDelete = [](sqlite3_vfs*, const char* name, int syncDir) {
        countOperation();
        return g_counting.real->xDelete(g_counting.real, name, syncDir);
    };
    VELORA_PASS_VFS(xAccess); VELORA_PASS_VFS(xFullPathname); VELORA_PASS_VFS(xRandomness);
    VELORA_PASS_VFS(xSleep); VELORA_PASS_VFS(xCurrentTime); VELORA_PASS_VFS(xGetLastError);
    VELORA_PASS_VFS(xCurrentTimeInt64);
    sqlite3_vfs_register(&c.vfs, 1);
}
#undef VELORA_PASS
#undef VELORA_PASS_VFS

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

// The totals and the seven days' counts, each raised by `by`.
std::vector<std::int64_t> countersOf(RunCounters& c, int by = 0) {
    std::vector<std::int64_t> all{static_cast<std::int64_t>(c.Send_Files_ges += by),
                                  static_cast<std::int64_t>(c.Send_Bytes_ges += by)};
    for (std::size_t d = 1; d <= 7; ++d) {
        all.push_back(c.filesPerWeekday[d] += by);
        all.push_back(c.bytesPerWeekday[d] += by);
    }
    return all;
}

class StoreCrashTest : public SettingsStoreTest {
protected:
    enum class Save { Config, RunCounters };

    // Runs one save of generation `g` (or of one more of every counter) in a child that
    // stops at operation `stopAt` (0: never) and is killed there. Returns the
    // operation it was stopped at, or minus the number the whole save made.
    int saveInChild(Save what, int g, int stopAt) {
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
                    countersOf(counters, 1);  // one more of everything, on top of what the store holds
                    store.SaveRunCounters();
                }
            } catch (...) {
                ::_exit(3);
            }
            const Report done{1, g_counting.count};
            ::_exit(::write(fds[1], &done, sizeof done) == sizeof done ? 0 : 4);
        }
        ::close(fds[1]);
        Report report{-1, 0};
        pollfd pfd{fds[0], POLLIN, 0};
        // Bounded: a child that hangs fails the test instead of stalling it.
        const bool told = ::poll(&pfd, 1, 20000) == 1 && ::read(fds[0], &report, sizeof report) == sizeof report;
        if (report.finished != 1) ::kill(pid, SIGKILL);
        EXPECT_TRUE(told) << "the child neither stopped nor finished";
        ::close(fds[0]);
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (report.finished == 0) {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
            return report.count;
        }
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
        return -report.count;
    }

    std::string integrity() {
        std::string result;
        Sqlite(registry.filePath()).query("PRAGMA integrity_check", {}, [&](sqlite3_stmt* st) {
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
        SettingsStore(registry, l->settings, l->table, l->counters, temp, log, ui).LoadConfig();
        return l;
    }
};

TEST_F(StoreCrashTest, KilledSavesLeaveTheWholeOldOrTheWholeNewValues) {
    applyGeneration(0, settings, table);
    store.SaveConfig();
    // How many file operations a whole save of each kind makes, so the cuts cover all.
    const int ops[] = {-saveInChild(Save::Config, 1, 0), -saveInChild(Save::RunCounters, 0, 0)};
    ASSERT_GT(ops[0], 2);
    ASSERT_GT(ops[1], 2);

    std::mt19937 random(20260401u);
    int generation = 1;
    std::vector<std::int64_t> before = countersOf(load()->counters);
    int kept = 0, replaced = 0;
    for (int i = 0; i < 200; ++i) {
        const Save what = i % 2 == 0 ? Save::Config : Save::RunCounters;
        // One past the last operation lets the save finish.
        const int stopAt = 1 + static_cast<int>(random() % static_cast<unsigned>(ops[i % 2] + 1));
        SCOPED_TRACE("cut " + std::to_string(i) + " at operation " + std::to_string(stopAt));
        const bool killed = saveInChild(what, generation + 1, stopAt) > 0;

        ASSERT_EQ(integrity(), "ok");
        const auto now = load();
        const int found = std::stoi(now->settings.E_Host.substr(std::string("proxy").size()));
        ASSERT_TRUE(found == generation || found == generation + 1) << found;
        Settings expected = Settings::defaults(env);
        FileTable expectedTable;
        applyGeneration(found, expected, expectedTable);
        EXPECT_EQ(saved(now->settings, now->table), saved(expected, expectedTable));

        const std::vector<std::int64_t> after = countersOf(now->counters);
        const std::int64_t step = after[0] - before[0];
        for (std::size_t k = 0; k < after.size(); ++k) EXPECT_EQ(after[k] - before[k], step) << "counter " << k;
        EXPECT_TRUE(step == 0 || (what == Save::RunCounters && step == 1)) << step;

        const bool changed = found != generation || step != 0;
        EXPECT_TRUE(changed || killed) << "a save that ended must be kept";
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
