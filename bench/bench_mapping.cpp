// Building the file-name mapping table from this machine's shared MIME database, against
// the least any such table costs: the list of every type plus one suffixes() call per type
// (each reads the type's definition). The table adds each type's comment, its default
// application from GIO and the entries themselves.
//
// The two alternate for a number of rounds (default 9; pass another count as the argument)
// and the medians are shown, with their ratio. The machine is shared: read the medians.

#include "support/CInternetConfig.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMimeDatabase>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

volatile qsizetype gSink;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double baselineMilliseconds()
{
    QElapsedTimer timer;
    timer.start();
    QMimeDatabase database;
    const QList<QMimeType> types = database.allMimeTypes();
    qsizetype suffixes = 0;
    for (const QMimeType& type : types)
        suffixes += type.suffixes().size();
    gSink = suffixes;
    return double(timer.nsecsElapsed()) / 1e6;
}

double tableMilliseconds(size_t* entries)
{
    QElapsedTimer timer;
    timer.start();
    const std::vector<ICMapEntry> table = ReadMappingTable();
    const double elapsed = double(timer.nsecsElapsed()) / 1e6;
    *entries = table.size();
    return elapsed;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 9;
    size_t entries = 0;
    baselineMilliseconds(); // warm: providers loaded, files in the page cache
    tableMilliseconds(&entries);
    std::vector<double> baseline, table;
    for (int round = 0; round < rounds; ++round) {
        baseline.push_back(baselineMilliseconds());
        table.push_back(tableMilliseconds(&entries));
    }
    const double base = median(baseline);
    const double built = median(table);
    std::printf("mapping table: %zu entries from %lld types\n", entries,
                static_cast<long long>(QMimeDatabase().allMimeTypes().size()));
    std::printf("%-40s %10s\n", "case", "median ms");
    std::printf("%-40s %10.1f\n", "allMimeTypes + suffixes()", base);
    std::printf("%-40s %10.1f\n", "ReadMappingTable", built);
    std::printf("ratio %.2f (limit 1.50)\n", built / base);
    return 0;
}
