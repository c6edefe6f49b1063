// The pooled containers and CString256 against their standard-library counterparts, for
// the patterns the support library lives on: appending, clearing and reusing.
//
// Each case runs in batches for about a quarter of a second; the table shows the best
// batch's time per element in nanoseconds (best, not mean: the machine is shared). Build
// in Release or RelWithDebInfo.

#include "support/CList.h"
#include "support/CMap.h"
#include "support/CString256.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <random>
#include <stack>
#include <string>
#include <vector>

namespace {

volatile std::uint64_t gSink;

// Results flow into a volatile so the optimiser cannot drop the work.
void keep(std::uint64_t value)
{
    gSink = gSink + value;
}

using Clock = std::chrono::steady_clock;

// Nanoseconds per element of the fastest batch; body runs one round of `elements`.
double measure(long elements, const std::function<void()>& body)
{
    body(); // warm: pools filled, caches loaded
    int rounds = 1;
    for (;;) { // find a batch of at least 20 ms
        const auto start = Clock::now();
        for (int i = 0; i < rounds; ++i)
            body();
        if (Clock::now() - start >= std::chrono::milliseconds(20))
            break;
        rounds *= 2;
    }
    double best = 1e300;
    for (int batch = 0; batch < 12; ++batch) {
        const auto start = Clock::now();
        for (int i = 0; i < rounds; ++i)
            body();
        const double ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
        best = std::min(best, ns / double(rounds) / double(elements));
    }
    return best;
}

void row(const char* operation, const char* theirs, double ours, double standard)
{
    std::printf("| %-44s | %-28s | %9.2f | %9.2f | %6.2f |\n", operation, theirs, ours, standard,
                standard / ours);
}

const char kPiece[] = "piece-8_";   // 8 bytes
constexpr int kPiecesPerText = 30; // 240 bytes: within CString256's capacity
constexpr long kListSize = 1000;

std::vector<std::uint32_t> shuffledKeys(long n)
{
    std::vector<std::uint32_t> keys(std::size_t(n), 0);
    for (long i = 0; i < n; ++i)
        keys[std::size_t(i)] = std::uint32_t(i * 2654435761u);
    std::shuffle(keys.begin(), keys.end(), std::mt19937(42));
    return keys;
}

std::vector<std::string> suffixTexts(long n)
{
    std::vector<std::string> texts;
    for (long i = 0; i < n; ++i)
        texts.push_back("." + std::to_string(std::uint32_t(i * 2654435761u)));
    return texts;
}

} // namespace

int main()
{
    std::printf("ns per element (lower is better); speed-up = standard / ordinello\n\n");
    std::printf("| %-44s | %-28s | %9s | %9s | %6s |\n", "operation", "standard counterpart",
                "ordinello", "standard", "x");
    std::printf("|%s|%s|%s|%s|%s|\n", std::string(46, '-').c_str(), std::string(30, '-').c_str(),
                std::string(11, '-').c_str(), std::string(11, '-').c_str(), std::string(8, '-').c_str());

    // ---- strings ----
    row("text: new string, 30 appends of 8 bytes", "std::string",
        measure(kPiecesPerText, [] {
            CString256 s;
            for (int i = 0; i < kPiecesPerText; ++i)
                s += kPiece;
            keep(std::uint64_t(s.c_str()[239]));
        }),
        measure(kPiecesPerText, [] {
            std::string s;
            for (int i = 0; i < kPiecesPerText; ++i)
                s += kPiece;
            keep(std::uint64_t(s[239]));
        }));

    {
        CString256 ours;
        std::string standard;
        row("text: clear and reuse, 30 appends", "std::string (capacity kept)",
            measure(kPiecesPerText, [&] {
                ours = "";
                for (int i = 0; i < kPiecesPerText; ++i)
                    ours += kPiece;
                keep(std::uint64_t(ours.c_str()[0]));
            }),
            measure(kPiecesPerText, [&] {
                standard.clear();
                for (int i = 0; i < kPiecesPerText; ++i)
                    standard += kPiece;
                keep(std::uint64_t(standard[0]));
            }));
    }

    row("text: 240 single-byte appends", "std::string push_back",
        measure(240, [] {
            CString256 s;
            for (int i = 0; i < 240; ++i)
                s += char('a' + i % 26);
            keep(std::uint64_t(s.c_str()[0]));
        }),
        measure(240, [] {
            std::string s;
            for (int i = 0; i < 240; ++i)
                s.push_back(char('a' + i % 26));
            keep(std::uint64_t(s[0]));
        }));

    {
        const CString256 ours(std::string(200, 'c').c_str());
        const std::string standard(200, 'c');
        row("text: copy of a 200-byte text", "std::string copy",
            measure(1, [&] {
                CString256 copy(ours);
                keep(std::uint64_t(copy.c_str()[199]));
            }),
            measure(1, [&] {
                std::string copy(standard);
                keep(std::uint64_t(copy[199]));
            }));
    }

    row("text: new/delete on the heap", "std::make_unique<string>",
        measure(1, [] {
            auto* s = new CString256("x");
            keep(std::uint64_t(s->c_str()[0]));
            delete s;
        }),
        measure(1, [] {
            auto s = std::make_unique<std::string>(40, 'x'); // past the small-string buffer
            keep(std::uint64_t((*s)[0]));
        }));

    // ---- lists ----
    row("CList<int>: new list, 1000 appends", "std::list<int>",
        measure(kListSize, [] {
            CList<int> list;
            for (int i = 0; i < kListSize; ++i)
                list.append(i);
            keep(std::uint64_t(list.tail()->value));
        }),
        measure(kListSize, [] {
            std::list<int> list;
            for (int i = 0; i < kListSize; ++i)
                list.push_back(i);
            keep(std::uint64_t(list.back()));
        }));

    row("CList<int>: new list, 1000 appends", "std::vector<int>",
        measure(kListSize, [] {
            CList<int> list;
            for (int i = 0; i < kListSize; ++i)
                list.append(i);
            keep(std::uint64_t(list.tail()->value));
        }),
        measure(kListSize, [] {
            std::vector<int> list;
            for (int i = 0; i < kListSize; ++i)
                list.push_back(i);
            keep(std::uint64_t(list.back()));
        }));

    {
        CList<int> ours;
        std::list<int> standard;
        row("CList<int>: clear and reuse, 1000 appends", "std::list<int>",
            measure(kListSize, [&] {
                ours.clear();
                for (int i = 0; i < kListSize; ++i)
                    ours.append(i);
                keep(std::uint64_t(ours.count()));
            }),
            measure(kListSize, [&] {
                standard.clear();
                for (int i = 0; i < kListSize; ++i)
                    standard.push_back(i);
                keep(std::uint64_t(standard.size()));
            }));
    }

    {
        const CString256 ours("/Users/someone/Movies/Holiday 2009/clip-0001.mov");
        const std::string standard(ours.c_str());
        CList<CString256> list;
        std::list<std::string> stdList;
        row("CList<CString256>: clear, reuse, 1000", "std::list<std::string>",
            measure(kListSize, [&] {
                list.clear();
                for (int i = 0; i < kListSize; ++i)
                    list.append(ours);
                keep(std::uint64_t(list.count()));
            }),
            measure(kListSize, [&] {
                stdList.clear();
                for (int i = 0; i < kListSize; ++i)
                    stdList.push_back(standard);
                keep(std::uint64_t(stdList.size()));
            }));
    }

    {
        CList<int> ours;
        std::list<int> standard;
        for (int i = 0; i < kListSize; ++i) {
            ours.append(i);
            standard.push_back(i);
        }
        row("CList<int>: walk 1000 with the cursor", "std::list<int> iteration",
            measure(kListSize, [&] {
                std::uint64_t sum = 0;
                ours.rewind();
                while (int* v = ours.next())
                    sum += std::uint64_t(*v);
                keep(sum);
            }),
            measure(kListSize, [&] {
                std::uint64_t sum = 0;
                for (int v : standard)
                    sum += std::uint64_t(v);
                keep(sum);
            }));
    }

    row("CStack<int>: push 1000, pop all", "std::stack<int> (deque)",
        measure(kListSize, [] {
            CStack<int> stack;
            for (int i = 0; i < kListSize; ++i)
                stack.push(i);
            int v = 0;
            std::uint64_t sum = 0;
            while (stack.pop(&v))
                sum += std::uint64_t(v);
            keep(sum);
        }),
        measure(kListSize, [] {
            std::stack<int> stack;
            for (int i = 0; i < kListSize; ++i)
                stack.push(i);
            std::uint64_t sum = 0;
            while (!stack.empty()) {
                sum += std::uint64_t(stack.top());
                stack.pop();
            }
            keep(sum);
        }));

    // ---- maps ----
    {
        const std::vector<std::uint32_t> keys = shuffledKeys(kListSize);
        CMap<std::uint32_t, int> ours;
        std::map<std::uint32_t, int> standard;
        row("CMap<uint32,int>: clear, 1000 random inserts", "std::map<uint32,int>",
            measure(kListSize, [&] {
                ours.clear();
                for (std::uint32_t k : keys)
                    ours.insert(k, 1);
                keep(std::uint64_t(ours.count()));
            }),
            measure(kListSize, [&] {
                standard.clear();
                for (std::uint32_t k : keys)
                    standard.emplace(k, 1);
                keep(std::uint64_t(standard.size()));
            }));
        row("CMap<uint32,int>: 1000 random lookups", "std::map<uint32,int>::find",
            measure(kListSize, [&] {
                std::uint64_t sum = 0;
                for (std::uint32_t k : keys)
                    sum += std::uint64_t(ours.lookup(k)->value);
                keep(sum);
            }),
            measure(kListSize, [&] {
                std::uint64_t sum = 0;
                for (std::uint32_t k : keys)
                    sum += std::uint64_t(standard.find(k)->second);
                keep(sum);
            }));
    }

    {
        std::vector<std::uint32_t> keys(kListSize);
        for (long i = 0; i < kListSize; ++i)
            keys[std::size_t(i)] = std::uint32_t(i);
        CMap<std::uint32_t, int> ours;
        std::map<std::uint32_t, int> standard;
        row("CMap<uint32,int>: 1000 ascending inserts", "std::map (balanced)",
            measure(kListSize, [&] {
                ours.clear();
                for (std::uint32_t k : keys)
                    ours.insert(k, 1);
                keep(std::uint64_t(ours.count()));
            }),
            measure(kListSize, [&] {
                standard.clear();
                for (std::uint32_t k : keys)
                    standard.emplace(k, 1);
                keep(std::uint64_t(standard.size()));
            }));
    }

    {
        const std::vector<std::string> texts = suffixTexts(kListSize);
        std::vector<CString256> keys;
        for (const std::string& t : texts)
            keys.emplace_back(t.c_str());
        CMap<CString256, int> ours;
        std::map<std::string, int> standard;
        row("CMap<CString256,int>: clear, 1000 inserts", "std::map<std::string,int>",
            measure(kListSize, [&] {
                ours.clear();
                for (const CString256& k : keys)
                    ours.insert(k, 1);
                keep(std::uint64_t(ours.count()));
            }),
            measure(kListSize, [&] {
                standard.clear();
                for (const std::string& k : texts)
                    standard.emplace(k, 1);
                keep(std::uint64_t(standard.size()));
            }));
    }
    return 0;
}
