// "On_Error_Command": when it fires, what its environment holds, and the bounds on a
// command that fails, is missing, prints megabytes or never ends. The commands are real
// programs started by full path.
#include <gtest/gtest.h>

#include <signal.h>

#include "cli/FailureHook.h"
#include "platform/BoundedCommand.h"
#include "support/LogHarness.h"
#include "support/TempDir.h"

using namespace velora;

namespace {

// Three rows of which rows 2 onwards fail, `failed` of them.
cli::RunRecord recordWithFailures(int failed) {
    cli::RunRecord r{"2026-12-08 14:05:09", "", "", failed ? "Zeile 2: Error /data/b.jpg" : ""};
    for (int i = 1; i <= 3; ++i)
        r.rows.push_back({i, std::string("/data/") + char('a' + i - 1) + ".jpg", "/cam/" + std::to_string(i) + ".jpg",
                          "", -1, "", i > 1 && i <= failed + 1});
    return r;
}

const std::string kPython = "/usr/bin/python3 -I -c ";

}  // namespace

// Once when failures begin and once when they end; never again while they go on.
TEST(FailureHook, FiresOnTheChangeBetweenFailingAndNot) {
    using C = cli::FailureHook::Change;
    struct Case {
        std::optional<int> before;   // failed rows of the previous run; none: no previous run
        int now;
        C change;
    };
    for (const Case& c : {Case{std::nullopt, 0, C::None}, Case{std::nullopt, 1, C::Failed}, Case{0, 2, C::Failed},
                          Case{1, 2, C::None}, Case{2, 0, C::Recovered}, Case{0, 0, C::None}}) {
        std::optional<cli::RunRecord> previous;
        if (c.before) previous = recordWithFailures(*c.before);
        EXPECT_EQ(cli::FailureHook::changeOf(previous, recordWithFailures(c.now)), c.change)
            << (c.before ? *c.before : -1) << " -> " << c.now;
    }
}

TEST(FailureHook, CommandGetsTheOutcomeInItsEnvironmentAndItsLineIsLogged) {
    test::LogHarness h;
    cli::FailureHook hook(h.log, {"PATH=/usr/bin:/bin", "HOME=/home/wetter", "VELORA_STATE=outside"});
    const std::string printAll =
        "\"import os; print('|'.join(os.environ.get(n, '-') for n in ['VELORA_STATE', 'VELORA_ROWS_FAILED', "
        "'VELORA_SOURCES', 'VELORA_REMOTE_NAMES', 'VELORA_FIRST_ERROR', 'VELORA_TIME', 'HOME']).replace(chr(10), "
        "'+'))\"";
    hook.fire(kPython + printAll, recordWithFailures(2), false);
    hook.fire(kPython + printAll, recordWithFailures(0), true);
    EXPECT_EQ(h.lines, (std::vector<std::string>{
                           "On_Error_Command (failed): /usr/bin/python3 exit code 0: failed|2|/data/b.jpg+/data/c.jpg|"
                           "/cam/2.jpg+/cam/3.jpg|Zeile 2: Error /data/b.jpg|2026-12-08 14:05:09|/home/wetter",
                           "On_Error_Command (recovered): /usr/bin/python3 exit code 0: recovered|0||||"
                           "2026-12-08 14:05:09|/home/wetter"}));
}

// Whatever the command does, the hook returns within its bound and logs one line. The
// bound is 3 s here: ample for a quick command on a busy machine, far from the 60 s sleeps.
TEST(FailureHook, BadCommandsEndInOneLogLineWithinTheBound) {
    test::TempDir dir;
    struct Case {
        std::string command;
        std::string line;   // how the log line goes on after its label
    };
    const Case cases[] = {
        {dir.file("no-such-hook"), "not run: " + dir.file("no-such-hook") + ": No such"},
        {"no-such-hook-anywhere", "not run: no-such-hook-anywhere: not found in PATH"},
        {dir.path(), "not run: " + dir.path() + ": not an executable file"},
        {"/usr/bin/python3 \"-I", "not run: unclosed quote"},
        {kPython + "\"import sys; print('mail failed'); sys.exit(3)\"", "/usr/bin/python3 exit code 3: mail failed"},
        {kPython + "\"import os; os.kill(os.getpid(), 9)\"", "/usr/bin/python3 ended by signal 9"},
        {kPython + "\"import sys; sys.stdout.write('first\\n' + 'x' * 50000000)\"",
         "/usr/bin/python3 exit code 0: first (50000006 bytes of output"},
        {"/usr/bin/sleep 60", "/usr/bin/sleep did not end within 3 s and was killed"},
        // It ends at once, but what it left running keeps the output open: killed with it.
        {kPython + "\"import subprocess; subprocess.Popen(['/usr/bin/sleep', '60']); print('left one')\"",
         "/usr/bin/python3 did not end within 3 s and was killed: left one"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        test::LogHarness h;
        cli::FailureHook hook(h.log, {"PATH=/usr/bin:/bin"}, {3000, 400});
        hook.fire(c.command, recordWithFailures(1), false);
        ASSERT_EQ(h.lines.size(), 1u);
        EXPECT_EQ(h.lines[0].rfind("On_Error_Command (failed): " + c.line, 0), 0u) << h.lines[0];
    }
}

TEST(BoundedCommand, SplitsOnBlanksWithDoubleQuotesAroundBlanks) {
    struct Case {
        std::string line;
        std::vector<std::string> words;
    };
    for (const Case& c : {Case{"  /bin/x  a\tb ", {"/bin/x", "a", "b"}},
                          Case{"/bin/x \"two words\" end", {"/bin/x", "two words", "end"}},
                          Case{"/bin/x pre\"quoted part\"post \"\"", {"/bin/x", "prequoted partpost", ""}},
                          Case{"/bin/x it's", {"/bin/x", "it's"}}, Case{"", {}}}) {
        std::string error;
        EXPECT_EQ(splitCommandLine(c.line, error), c.words) << c.line;
        EXPECT_EQ(error, "");
    }
}
