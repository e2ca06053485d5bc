// Counters, the status display and the transfer log, with the German formats and a
// manual clock at Tuesday 08.12.2026 14:05:09.
#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <string>
#include <vector>

#include "platform/Errors.h"
#include "platform/FileIo.h"
#include "support/ErrorOf.h"
#include "unit/schedule/RunWorld.h"

#include <sys/stat.h>

namespace velora {
namespace {

using test::RunWorld;

// The run flags and the scheduler's values as a test sets them.
struct SetSources final : StatusSources {
    bool working = false, online = false;
    int counter = 0;
    std::string lastStart = kNeverStarted;
    bool inWork() const override { return working; }
    bool ftpOpen() const override { return online; }
    int intervalCounter() const override { return counter; }
    std::string lastFixedStart() const override { return lastStart; }
};

class RunStatisticsTest : public ::testing::Test {
protected:
    RunWorld w;
    SetSources sources;
    RunStatistics stats{w.counters, w.status, sources, w.settings, w.env, w.clock, w.locale, w.ui, w.store};

    const std::array<std::string, 9>& panels() const { return w.status.panels; }
};

// --- status display ----------------------------------------------------------------------

TEST_F(RunStatisticsTest, PanelsColoursAndButtonBarFollowTheState) {
    struct Case {
        bool activ, working, online, interval;
        const char *p0, *p1, *p2, *p3, *p4;
        PanelColour button;
        ProgressColour progress;
    };
    const std::vector<Case> cases{
        {true, false, false, true, "Timer ON", "", "Offline", "Soll : 60", "Ist : 17", PanelColour::ButtonFace,
         ProgressColour::Lime},
        {false, false, false, true, "Timer OFF", "", "Offline", "Soll : 60", "Ist : 17", PanelColour::ButtonFace,
         ProgressColour::Red},
        {false, true, true, true, "Timer OFF", "Work", "Online", "Soll : 60", "Ist : 17", PanelColour::Lime,
         ProgressColour::Yellow},
        {true, true, false, false, "Timer ON", "Work", "Offline", "", "", PanelColour::ButtonFace,
         ProgressColour::Yellow},
        {true, false, true, false, "Timer ON", "", "Online", "", "", PanelColour::Lime, ProgressColour::Lime},
    };
    sources.counter = 17;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.p0) + "/" + c.p1 + "/" + c.p2 + "/" + c.p3);
        w.settings.cb_activ = c.activ;
        w.settings.rb_intervall = c.interval;
        w.settings.rb_feste_zeiten = !c.interval;
        sources.working = c.working;
        sources.online = c.online;
        w.status.panels[3] = w.status.panels[4] = "stale";

        stats.UpdateStatusDisplay();

        EXPECT_EQ(panels()[0], c.p0);
        EXPECT_EQ(panels()[1], c.p1);
        EXPECT_EQ(panels()[2], c.p2);
        EXPECT_EQ(panels()[3], c.p3);
        EXPECT_EQ(panels()[4], c.p4);
        EXPECT_EQ(w.status.buttonPanel, c.button);
        EXPECT_EQ(w.status.progress, c.progress);
    }
}

TEST_F(RunStatisticsTest, TotalsAreShownUnsignedAndInWholeKilobytesWithThousandsSeparators) {
    struct Case {
        std::int32_t files;
        std::uint64_t bytes;
        const char *p7, *p8;
    };
    const std::vector<Case> cases{
        {0, 0, "Dat.ges. = 0", "ges. =  0 KB"},
        {3, 1023, "Dat.ges. = 3", "ges. =  0 KB"},
        {12, 1024, "Dat.ges. = 12", "ges. =  1 KB"},
        {1234, 1264197631, "Dat.ges. = 1234", "ges. =  1.234.567 KB"},
        {-1, 4294967295u, "Dat.ges. = 4294967295", "ges. =  4.194.303 KB"},
        {7, 5497558138880u, "Dat.ges. = 7", "ges. =  5.368.709.120 KB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.p8);
        w.counters.Send_Files_ges = c.files;
        w.counters.Send_Bytes_ges = c.bytes;
        stats.UpdateStatusDisplay();
        EXPECT_EQ(panels()[7], c.p7);
        EXPECT_EQ(panels()[8], c.p8);
    }
}

TEST_F(RunStatisticsTest, LabelsShowLastFixedStartAndLongestPass) {
    stats.UpdateStatusDisplay();
    EXPECT_EQ(w.status.l_zeit_start_alt, "noch nie");
    EXPECT_EQ(w.status.l_dauer_max, "00:00:00");

    sources.lastStart = "Montag den 07.12.2026 um 9:5";
    stats.noteUploadDuration(7000);
    stats.noteUploadDuration(3000);   // a shorter pass does not lower the record
    stats.UpdateStatusDisplay();
    EXPECT_EQ(w.status.l_zeit_start_alt, "Montag den 07.12.2026 um 9:5");
    EXPECT_EQ(w.status.l_dauer_max, "00:00:07");
    EXPECT_EQ(stats.MaxUploadDuration(), 7000);
}

TEST_F(RunStatisticsTest, LoescheClearsTheLongestPassAndRefreshesAtOnce) {
    std::vector<std::string> events;
    // The window's repaint, in order with the pumped events.
    struct Painter : StatusDisplay::Listener {
        Painter(const StatusDisplay& status, std::vector<std::string>& events) : status(status), events(events) {}
        void statusChanged() override { events.push_back("paint " + status.l_dauer_max); }
        const StatusDisplay& status;
        std::vector<std::string>& events;
    } painter(w.status, events);
    w.status.setListener(&painter);
    w.ui.onPump = [&] { events.push_back("pump"); };
    stats.noteUploadDuration(3723000);
    stats.UpdateStatusDisplay();

    stats.b_dauer_max_clrClick();

    EXPECT_EQ(stats.MaxUploadDuration(), 0);
    EXPECT_EQ(events, (std::vector<std::string>{"paint 01:02:03", "pump", "paint 00:00:00", "pump"}));
}

// --- counters ------------------------------------------------------------------------------

TEST_F(RunStatisticsTest, CountFileRaisesTotalsAndTheWeekdayOfTheMomentOfCounting) {
    stats.countFile(100);           // Tuesday = 3
    w.clock.advanceMs(10LL * 3600 * 1000);   // Wednesday 00:05:09
    stats.countFile(50);
    stats.countFile(1);

    EXPECT_EQ(w.counters.Send_Files_ges, 3);
    EXPECT_EQ(w.counters.Send_Bytes_ges, 151u);
    EXPECT_EQ(w.counters.filesPerWeekday[3], 1);
    EXPECT_EQ(w.counters.bytesPerWeekday[3], 100);
    EXPECT_EQ(w.counters.filesPerWeekday[4], 2);
    EXPECT_EQ(w.counters.bytesPerWeekday[4], 51);
    for (int d : {1, 2, 5, 6, 7}) EXPECT_EQ(w.counters.filesPerWeekday[static_cast<std::size_t>(d)], 0) << d;
}

// A store written before the byte total had 64 bits holds it in 32 bits, near 4 GiB
// after a few days of a webcam: read as unsigned, it grows past 4 GiB without wrapping,
// is shown so, and is stored whole from then on.
TEST_F(RunStatisticsTest, AnOldThirtyTwoBitByteTotalGrowsPastFourGiBAndIsKeptWhole) {
    w.store.LoadConfig();
    w.registry.openKey(kSettingsKey).writeInteger("Send_Bytes_ges", static_cast<std::int32_t>(4294966296u));
    w.store.LoadConfig();
    ASSERT_EQ(w.counters.Send_Bytes_ges, 4294966296u);

    stats.countFile(205026);
    EXPECT_EQ(w.counters.Send_Bytes_ges, 4295171322u);
    stats.UpdateStatusDisplay();
    EXPECT_EQ(panels()[8], "ges. =  4.194.503 KB");

    stats.SaveRunCounters();
    w.counters.Send_Bytes_ges = 0;
    w.store.LoadConfig();
    EXPECT_EQ(w.counters.Send_Bytes_ges, 4295171322u);
    w.store.SaveConfig();
    EXPECT_EQ(w.registry.openKeyReadOnly(kSettingsKey).readQword("Send_Bytes_ges"), 4295171322u);
}

TEST_F(RunStatisticsTest, SaveRunCountersWritesTotalsAndEveryWeekday) {
    w.counters.Send_Files_ges = 42;
    w.counters.Send_Bytes_ges = 5000000000;
    for (int d = 1; d <= 7; ++d) {
        w.counters.filesPerWeekday[static_cast<std::size_t>(d)] = d;
        w.counters.bytesPerWeekday[static_cast<std::size_t>(d)] = 1000 * d;
    }
    stats.SaveRunCounters();

    auto key = w.registry.openKeyReadOnly(kSettingsKey);
    EXPECT_EQ(key.readInteger("Send_Files_ges"), 42);
    EXPECT_EQ(key.readQword("Send_Bytes_ges"), 5000000000u);
    for (int d = 1; d <= 7; ++d) {
        EXPECT_EQ(key.readInteger("Send_Files_" + std::to_string(d)), d);
        EXPECT_EQ(key.readInteger("Send_Bytes_" + std::to_string(d)), 1000 * d);
    }
}

// --- transfer log ----------------------------------------------------------------------------

TEST_F(RunStatisticsTest, TransferLogIsCreatedWithItsHeaderOnceAndThenOnlyGrows) {
    const std::string path = w.settings.e_Transfer_Log;
    stats.AppendTransferLog(3, 1234, 7000);
    EXPECT_EQ(fileio::readAll(path), "Datum;Zeit;Dauer;Anzahl;Bytes\r\n08.12.2026;14:05:09;00:00:07;3;1234;\r\n");

    w.clock.advanceMs(61000);
    stats.AppendTransferLog(0, 0, 0);
    EXPECT_EQ(fileio::readAll(path),
              "Datum;Zeit;Dauer;Anzahl;Bytes\r\n08.12.2026;14:05:09;00:00:07;3;1234;\r\n"
              "08.12.2026;14:06:10;00:00:00;0;0;\r\n");
}

TEST_F(RunStatisticsTest, ExistingTransferLogGetsNoHeaderAndKeepsItsContent) {
    const std::string path = w.settings.e_Transfer_Log;
    fileio::writeAll(path, "eigene Zeile ohne Umbruch");
    stats.AppendTransferLog(1, -7, 3723000);
    EXPECT_EQ(fileio::readAll(path), "eigene Zeile ohne Umbruch08.12.2026;14:05:09;01:02:03;1;-7;\r\n");
}

// "Log_Rotate_KB" counts for the transfer log too: a full one is moved aside and the
// next line starts a new one under its header; a move that fails is told to the
// caller, the line is written all the same.
TEST_F(RunStatisticsTest, FullTransferLogIsMovedAsideUnderTheRotationSetting) {
    const std::string path = w.settings.e_Transfer_Log;
    const std::string header = "Datum;Zeit;Dauer;Anzahl;Bytes\r\n";
    const std::string line = "08.12.2026;14:05:09;00:00:07;3;1234;\r\n";
    fileio::writeAll(path, header + std::string(1024 - header.size(), 'x'));
    w.settings.se_log_rotate.text = "1";
    EXPECT_EQ(stats.AppendTransferLog(3, 1234, 7000), "");
    EXPECT_EQ(fileio::readAll(path), header + line);
    EXPECT_EQ(fileio::querySize(path + ".1"), 1024);

    fileio::writeAll(path, std::string(1024, 'y'));
    ASSERT_EQ(::mkdir((path + ".2").c_str(), 0700), 0);
    EXPECT_EQ(stats.AppendTransferLog(3, 1234, 7000),
              "Transfer Log " + path + " kann nicht rotiert werden: " + IoError::textFor(EPERM));
    EXPECT_EQ(fileio::readAll(path), std::string(1024, 'y') + line);
}

TEST_F(RunStatisticsTest, TransferLogThatCannotBeOpenedRaisesTheIoError) {
    w.settings.e_Transfer_Log = w.dir.file("no-such-folder/Transfer_Log.csv");
    EXPECT_EQ(test::errorOf<IoError>([&] { stats.AppendTransferLog(1, 1, 1); }), "Datei nicht gefunden");
    EXPECT_FALSE(fileio::exists(w.dir.file("no-such-folder")));
}

}  // namespace
}  // namespace velora
