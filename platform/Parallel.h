#pragma once
// Splits a loop over n independent items across the machine's cores. Used where a folder
// listing does per-item system calls or collation work: on large folders that is most of
// the time, and the items do not depend on each other. Small loops run inline.

#include <QtGlobal>

#include <algorithm>
#include <thread>
#include <vector>

// Calls work(begin, end) on disjoint ranges covering [0, n). work must be safe to run
// concurrently on different ranges.
template <typename Work>
void ParallelFor(qsizetype n, Work&& work, qsizetype minimumPerThread = 2048)
{
    const qsizetype cores = qsizetype(std::max(1u, std::min(std::thread::hardware_concurrency(), 8u)));
    const qsizetype threads = std::min(cores, n / std::max<qsizetype>(1, minimumPerThread));
    if (threads <= 1) {
        work(qsizetype(0), n);
        return;
    }
    std::vector<std::thread> pool;
    pool.reserve(size_t(threads - 1));
    const qsizetype chunk = (n + threads - 1) / threads;
    for (qsizetype t = 1; t < threads; ++t) {
        const qsizetype begin = t * chunk;
        const qsizetype end = std::min(n, begin + chunk);
        if (begin < end)
            pool.emplace_back([&work, begin, end] { work(begin, end); });
    }
    work(qsizetype(0), std::min(n, chunk));
    for (std::thread& thread : pool)
        thread.join();
}
