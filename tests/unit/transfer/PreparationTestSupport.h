#pragma once
// Scaffolding shared by the checksum, tag and preparation tests: file stamps set to
// chosen local times, and one object that wires the passes to a real event log on a
// scratch folder, a fixed environment and a registry whose machine keys are fixed.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/EventLog.h"
#include "app/TempFolder.h"
#include "app/TextView.h"
#include "app/UiHost.h"
#include "filetable/FileTable.h"
#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/FileIo.h"
#include "platform/Locale.h"
#include "platform/Registry.h"
#include "settings/Settings.h"
#include "support/FileTimes.h"
#include "support/LogHarness.h"
#include "support/SampleSystemInfo.h"
#include "support/TempDir.h"
#include "transfer/ExternalIpSource.h"
#include "transfer/PreparationPass.h"
#include "transfer/SettledSnapshot.h"
#include "transfer/TagBuilder.h"
#include "transfer/TagTable.h"

namespace velora::test {

// Sets the last-write time to a local calendar time (plus nanoseconds).
inline void setLocalMtime(const std::string& path, const DateTime& t, long nanoseconds = 0) {
    test::setFileTime(path, test::epochOfLocal(t), nanoseconds);
}

// Stands in for the page lookup: answers what the test sets and counts the calls.
struct ScriptedExternalIp final : ExternalIpSource {
    std::function<std::string()> answer = [] { return std::string("203.0.113.9"); };
    int calls = 0;
    std::string LookupExternalIp() override {
        ++calls;
        return answer();
    }
};

// The file system as it is, on a clock the test moves: now is the real time the rig
// was made plus what the test clock has moved since, so a test sets a file's age by
// its stamp. `beforeStatus` runs before every status query: a writer at work.
struct ClockedFileFacts final : FileFacts {
    explicit ClockedFileFacts(const Clock& c) : clock(c), zeroNs(SystemFileFacts().nowNs() - c.tickMs() * 1000000) {}
    std::optional<fileio::FileStatus> statusOf(const std::string& path) const override {
        if (beforeStatus) beforeStatus(path);
        return fileio::statusOf(path);
    }
    std::int64_t nowNs() const override { return zeroNs + clock.tickMs() * 1000000; }
    // A last write `ageMs` before now.
    void setAge(const std::string& path, std::int64_t ageMs) const {
        const std::int64_t ns = nowNs() - ageMs * 1000000;
        test::setFileTime(path, static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000));
    }

    const Clock& clock;
    const std::int64_t zeroNs;   // now when the clock's tick was 0
    std::function<void(const std::string&)> beforeStatus;
};

// Everything a preparation pass talks to; the log lines are collected without their
// date and time.
// The rig counts the updates the scratch view and the tag page would show.
struct PassRig : test::LogHarness, TextView::Listener, TagTable::Listener {
    explicit PassRig(SystemInfo info = test::sampleSystemInfo())
        : env({{"temp", dir.path()}, {"COMPUTERNAME", "KESTA-PC"}, {"OS", "Windows_NT"}}),
          temp(env, log),
          registry(dir.file("registry.sqlite3"), std::move(info)),
          builder(tags, settings, registry, env, clock, locale, log, externalIp),
          pass(files, tags, builder, mTemp, temp, sources, snapshots, log, ui) {
        mTemp.setListener(this);
        tags.setListener(this);
        files.setScratchFolder(temp.path());
    }

    // Appends a data row: Aktiv, TAG, Quelle; fingerprints "0", MSG "No".
    int addRow(const std::string& aktiv, const std::string& tag, const std::string& quelle) {
        const int r = files.rowCount() + 1;
        files.setRowCount(r);
        files.setCell(Nr, r, std::to_string(r));
        files.setCell(Aktiv, r, aktiv);
        files.setCell(Tag, r, tag);
        files.setCell(Quelle, r, quelle);
        files.setCell(PsNeu, r, "0");
        files.setCell(PsAlt, r, "0");
        files.setCell(Msg, r, "No");
        return r;
    }
    std::string cell(FileColumn c, int r) const { return files.cell(c, r); }
    std::string scratch() const { return temp.path(); }

    FixedEnvironment env;
    TextView mTemp;
    TempFolder temp;
    Settings settings;
    Registry registry;
    TagTable tags;
    FileTable files;
    ResolvedSources sources;
    ClockedFileFacts facts{clock};
    SettledSnapshots snapshots{facts, clock, ui, settings};
    ScriptedExternalIp externalIp;
    TagBuilder builder;
    PreparationPass pass;
    int mTempUpdates = 0;
    int tagRefreshes = 0;
    void textViewChanged(TextView::Change) override { ++mTempUpdates; }
    void tagTableChanged() override { ++tagRefreshes; }
};

}  // namespace velora::test
