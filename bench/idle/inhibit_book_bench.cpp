// What the inhibits cost as callers pile them up: many callers each at their bound of cookies, every
// Inhibit, UnInhibit and departure timed over the whole book (CPU of this thread, median of 5 rounds).
//   inhibit_book_bench
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "idle/daemon/inhibit_book.h"
#include "bench/harness/bench_numbers.h"

using namespace mirevo;

namespace {

double threadMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

struct Round {
    double add, release, drop;
};

Round round(size_t callers, size_t each) {
    InhibitBook book;
    std::vector<std::string> owners;
    for (size_t c = 0; c < callers; ++c)
        owners.push_back(":1." + std::to_string(c + 100));
    std::vector<uint32_t> cookies(callers * each);
    double start = threadMs();
    for (size_t i = 0; i < each; ++i)
        for (size_t c = 0; c < callers; ++c)
            cookies[i * callers + c] = *book.add({owners[c], "player", "Playing video", {}});
    Round r{threadMs() - start, 0, 0};
    start = threadMs();
    for (size_t c = 0; c < callers; c += 2) // every other caller gives its cookies back one by one
        for (size_t i = 0; i < each; ++i)
            book.release(owners[c], cookies[i * callers + c]);
    r.release = threadMs() - start;
    start = threadMs();
    for (size_t c = 1; c < callers; c += 2) // the others leave the bus
        book.dropOwner(owners[c]);
    r.drop = threadMs() - start;
    return r;
}

} // namespace

int main() {
    std::printf("Inhibit book: every caller at its bound, then half release one by one and half leave\n");
    std::printf("%-8s %-8s %-10s %-12s %-12s %-12s %-10s\n", "callers", "each", "cookies", "add ms",
                "release ms", "leave ms", "ns/call");
    for (size_t callers : {1, 30, 300}) {
        const size_t each = InhibitBook::kMaxPerOwner;
        std::vector<double> add, release, drop;
        for (int i = 0; i < 5; ++i) {
            const Round r = round(callers, each);
            add.push_back(r.add), release.push_back(r.release), drop.push_back(r.drop);
        }
        const double calls = double(callers * each) + double((callers + 1) / 2 * each) + double(callers / 2);
        const double total = test::median(add) + test::median(release) + test::median(drop);
        std::printf("%-8zu %-8zu %-10zu %-12.2f %-12.2f %-12.2f %-10.0f\n", callers, each, callers * each,
                    test::median(add), test::median(release), test::median(drop), total * 1e6 / calls);
    }
    return 0;
}
