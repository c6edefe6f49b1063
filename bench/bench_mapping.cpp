// Building the file-name mapping table from this machine's shared MIME database, against
// the least any such table costs: the list of every type plus one suffixes() call per type.
// The table adds each type's default application (GIO) and classic file type; walking it
// makes the 1302-byte records, with each type's comment, one at a time.
//
// Two situations: "cold", the first build in a process (Qt reads every type's definition
// file, GIO every default application's .desktop file), measured in fresh child processes;
// and "warm", later builds in the same process. Baseline and table alternate for a number of
// rounds (default 9; pass another count as the argument) and the medians are shown with
// their ratio. The machine is shared: read the medians.

#include "support/CInternetConfig.h"

#include <QCoreApplication>
#include <QProcess>
#include <QElapsedTimer>
#include <QMimeDatabase>

#include <algorithm>
#include <cstdio>
#include <cstring>
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

double tableMilliseconds(std::int32_t* entries)
{
    QElapsedTimer timer;
    timer.start();
    const MappingTable table = MappingTable::read();
    const double elapsed = double(timer.nsecsElapsed()) / 1e6;
    *entries = table.count();
    return elapsed;
}

double walkMilliseconds(const MappingTable& table)
{
    QElapsedTimer timer;
    timer.start();
    ICMapEntry entry;
    qsizetype bytes = 0;
    for (std::int32_t i = 0; i < table.count(); ++i) {
        table.entry(i, &entry);
        bytes += entry.totalLength;
    }
    gSink = bytes;
    return double(timer.nsecsElapsed()) / 1e6;
}

// One cold measurement in a fresh process: "--cold-baseline" or "--cold-table" prints ms.
double coldMilliseconds(const char* which)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(which)});
    child.waitForFinished(-1);
    return child.readAllStandardOutput().trimmed().toDouble();
}

void report(const char* situation, const std::vector<double>& baseline, const std::vector<double>& table)
{
    const double base = median(baseline);
    const double built = median(table);
    std::printf("%-6s %-32s %10.1f\n", situation, "allMimeTypes + suffixes()", base);
    std::printf("%-6s %-32s %10.1f   ratio %.2f (limit 1.50)\n", situation, "MappingTable::read", built, built / base);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    std::int32_t entries = 0;
    if (argc > 1 && std::strcmp(argv[1], "--cold-baseline") == 0) {
        std::printf("%f\n", baselineMilliseconds());
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--cold-table") == 0) {
        std::printf("%f\n", tableMilliseconds(&entries));
        return 0;
    }
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 9;

    std::vector<double> baseline, table, walk;
    for (int round = 0; round < rounds; ++round) {
        baseline.push_back(coldMilliseconds("--cold-baseline"));
        table.push_back(coldMilliseconds("--cold-table"));
    }
    std::printf("%-6s %-32s %10s\n", "", "case", "median ms");
    report("cold", baseline, table);

    baseline.clear();
    table.clear();
    baselineMilliseconds(); // warm: definitions and default applications read once
    tableMilliseconds(&entries);
    const MappingTable read = MappingTable::read();
    for (int round = 0; round < rounds; ++round) {
        baseline.push_back(baselineMilliseconds());
        table.push_back(tableMilliseconds(&entries));
        walk.push_back(walkMilliseconds(read));
    }
    report("warm", baseline, table);
    std::printf("%-6s %-32s %10.1f\n", "warm", "walk: every record made", median(walk));
    std::printf("mapping table: %d entries from %lld types\n", entries,
                static_cast<long long>(QMimeDatabase().allMimeTypes().size()));
    return 0;
}
