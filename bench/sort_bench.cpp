// How long "Sortieren" keeps a user with a large file table waiting.
//
// The program's exchange pass makes n x n key comparisons by design (its unstable
// order is part of the behaviour), so the time grows with the square of the rows.
// For 1 000, 5 000 and 10 000 rows of realistic camera and web paths (long common
// prefixes, which is the slow case for the comparison) it times an ascending sort of
// shuffled rows and the descending sort that follows, against std::stable_sort of the
// same keys in the same run as the floor any sort has to pay.
//
// Usage: sort_bench [max-seconds-for-10000-rows]   (default 5)
// Exit status 2 when the ascending sort of 10 000 rows takes longer than that.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "filetable/FileTable.h"
#include "filetable/SortFileTable.h"

namespace {

using namespace velora;
using Steady = std::chrono::steady_clock;

double secondsOf(const std::function<void()>& work) {
    const auto start = Steady::now();
    work();
    return std::chrono::duration<double>(Steady::now() - start).count();
}

// Rows as a weather-station user keeps them: a few folders, many dated pictures.
FileTable makeTable(int n, std::mt19937& random) {
    static const char* const kFolders[] = {"/home/wetter/kamera_1/archiv/", "/home/wetter/kamera_2/archiv/",
                                           "/mnt/d/Wetter/web/", "//WETTER-PC/d$/Wetter/2010_01_31/"};
    FileTable table;
    table.setRowCount(n);
    for (int r = 1; r <= n; ++r) {
        const unsigned v = random();
        char name[64];
        std::snprintf(name, sizeof name, "20%02u_%02u_%02u/bild_%06u.jpg", v % 25, v % 12 + 1, v % 28 + 1,
                      v % 1000000);
        table.setCell(Quelle, r, std::string(kFolders[v % 4]) + name);
        table.setCell(FtpPfad, r, v % 5 ? "/images" : "");
        table.setCell(FtpName, r, name);
        table.setCell(PsNeu, r, "0");
        table.setCell(PsAlt, r, "0");
        table.setCell(Msg, r, "OK");
    }
    table.renumberRows();
    return table;
}

bool isSorted(const FileTable& table, bool ascending) {
    for (int r = 2; r <= table.rowCount(); ++r) {
        const std::string a = table.cell(Quelle, r - 1), b = table.cell(Quelle, r);
        if (ascending ? sortKeyLess(b, a) : sortKeyLess(a, b)) return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const double limit = argc > 1 ? std::atof(argv[1]) : 5.0;
    std::mt19937 random(20100131);
    double tenThousand = 0;
    std::printf("%8s %14s %14s %16s\n", "rows", "ascending s", "descending s", "stable_sort s");
    for (int n : {1000, 5000, 10000}) {
        FileTable table = makeTable(n, random);
        std::vector<std::string> keys;
        for (int r = 1; r <= n; ++r) keys.push_back(table.cell(Quelle, r));

        const double up = secondsOf([&] { SortFileTable(table, Quelle, true); });
        const bool upOk = isSorted(table, true);
        const double down = secondsOf([&] { SortFileTable(table, Quelle, false); });
        const bool downOk = isSorted(table, false);
        const double floor = secondsOf([&] {
            std::stable_sort(keys.begin(), keys.end(),
                             [](const std::string& a, const std::string& b) { return sortKeyLess(a, b); });
        });
        if (!upOk || !downOk) {
            std::printf("%8d: the table is not in order after the sort\n", n);
            return 1;
        }
        std::printf("%8d %14.3f %14.3f %16.5f\n", n, up, down, floor);
        if (n == 10000) tenThousand = up;
    }
    std::printf("10 000 rows: %.2f s ascending (limit %.1f s); the window shows the busy cursor meanwhile\n",
                tenThousand, limit);
    return tenThousand > limit ? 2 : 0;
}
