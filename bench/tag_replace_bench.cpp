// Tag replacement of the preparation pass against the rule applied literally (each tag
// row over the whole text, one after another), same text, same run.
//
//  (a) a page of N MiB (default 32) holding 2 000 different tags, 2 000 tag rows: the
//      one-pass replacement against the row-by-row loop; the outputs must be equal.
//  (b) 40 rows "[X];[X][X]" over a page holding "[X]": how soon the limit refuses it.
//
// Usage: tag_replace_bench [MiB]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "transfer/PreparationPass.h"
#include "transfer/detail/TagReplacer.h"

namespace {

using namespace velora;
using Steady = std::chrono::steady_clock;

constexpr int kTags = 2000;

double secondsOf(const std::function<void()>& work) {
    const auto start = Steady::now();
    work();
    return std::chrono::duration<double>(Steady::now() - start).count();
}

// Table rows of a weather page, every tag used in turn, as a station's page holds them.
std::string page(std::size_t bytes) {
    std::string text;
    text.reserve(bytes + 128);
    for (int i = 0; text.size() < bytes; i = (i + 1) % kTags)
        text += "<tr><td class=\"name\">Sensor " + std::to_string(i) + "</td><td>[T" + std::to_string(i) +
                "]</td><td>aktualisiert [SYS_TIME]</td></tr>\r\n";
    return text;
}

std::vector<TagRow> rows() {
    std::vector<TagRow> out{{"[SYS_DATE]", "08.12.2026"}, {"[SYS_TIME]", "14:05:09"}};
    for (int i = 0; i < kTags; ++i) out.push_back({"[T" + std::to_string(i) + "]", std::to_string(i * 7 % 1000) + ",5"});
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 32;
    const std::string text = page(mib * 1024 * 1024);
    const std::vector<TagRow> tags = rows();

    std::string fast = text;
    bool replaced = false;
    const double onePass = secondsOf([&] { replaced = TagReplacer(tags).replaceAll(fast); });
    std::string literal = text;
    const double rowByRow = secondsOf([&] {
        for (const TagRow& tag : tags) PreparationPass::ReplaceTagInView(literal, tag.name, tag.value);
    });
    if (!replaced || fast != literal) {
        std::fprintf(stderr, "the one-pass result differs from the row-by-row result\n");
        return 1;
    }
    std::printf("(a) page of %zu MiB, %zu tag rows\n", mib, tags.size());
    std::printf("    one pass      : %8.2f s\n", onePass);
    std::printf("    row by row    : %8.2f s\n", rowByRow);
    std::printf("    ratio         : %8.1f x faster\n", rowByRow / onePass);

    std::string small = "<p>[X]</p>";
    const std::vector<TagRow> doubling(40, TagRow{"[X]", "[X][X]"});
    bool refused = false;
    const double limit = secondsOf([&] { refused = !TagReplacer(doubling).replaceAll(small); });
    std::printf("(b) 40 doubling rows: %s after %.2f s (limit %zu MiB)\n", refused ? "refused" : "NOT refused", limit,
                kTagGrowthLimit / (1024 * 1024));
    std::printf("RESULT tag_speedup=%.1f limit_seconds=%.2f\n", rowByRow / onePass, limit);
    return refused ? 0 : 2;
}
