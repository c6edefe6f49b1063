// Sorting lists of strings in the file manager's order and of date strings as dates,
// against the fastest plain ways to do the same work on the same data: the reference for
// strings makes one ICU sort key per string and sorts the keys; the reference for dates
// parses each string once with one formatter and sorts the numbers. Both references
// include that preparation; the table also shows the bare sort of ready keys / dates.
//
// Each case runs 9 times on fresh copies of the input; the medians are reported, in
// milliseconds. Build in Release or RelWithDebInfo.

#include "fsobjects/FilePredicates.h"
#include "platform/Collation.h"

#include <QVariantList>

#include <unicode/udat.h>
#include <unicode/uloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double medianMs(const std::function<void()>& prepare, const std::function<void()>& body)
{
    std::vector<double> runs;
    for (int run = 0; run < 9; ++run) {
        prepare();
        const auto start = Clock::now();
        body();
        runs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

void row(const char* what, double ours, double reference, double bare)
{
    std::printf("| %-40s | %9.1f | %9.1f | %9.1f | %5.2f |\n", what, ours, reference, bare, ours / reference);
}

} // namespace

int main()
{
    UErrorCode localeStatus = U_ZERO_ERROR;
    uloc_setDefault("en_US", &localeStatus);
    std::mt19937 random(20240601);
    std::printf("medians of 9 runs, ms; ratio = ours / reference (target <= 1.5)\n\n");
    std::printf("| %-40s | %9s | %9s | %9s | %5s |\n", "case", "ours", "reference", "bare sort", "ratio");
    std::printf("|%s|%s|%s|%s|%s|\n", std::string(42, '-').c_str(), std::string(11, '-').c_str(),
                std::string(11, '-').c_str(), std::string(11, '-').c_str(), std::string(7, '-').c_str());

    // 100,000 names like a photo folder's: words, mixed case, numbers.
    const char* words[] = {"Beach", "photo", "IMG", "Città", "report", "Zoo", "élan", "file"};
    QVariantList names;
    for (int i = 0; i < 100000; ++i)
        names.append(QStringLiteral("%1 %2 %3.jpg").arg(QString::fromUtf8(words[random() % 8]))
                         .arg(random() % 5000).arg(QChar(u'a' + int(random() % 26))));
    QVariantList work;
    std::vector<QByteArray> keys;
    const double ours = medianMs([&] { work = names; }, [&] { SortArrayOnKey(work); });
    const double reference = medianMs([&] { work = names; keys.clear(); }, [&] {
        keys.reserve(size_t(work.size()));
        for (const QVariant& v : std::as_const(work))
            keys.push_back(FinderOrder::sortKey(v.toString()));
        std::stable_sort(keys.begin(), keys.end());
    });
    const double bare = medianMs([&] {
        keys.clear();
        for (const QVariant& v : std::as_const(names))
            keys.push_back(FinderOrder::sortKey(v.toString()));
    }, [&] { std::stable_sort(keys.begin(), keys.end()); });
    row("SortArrayOnKey, 100,000 strings", ours, reference, bare);

    // 10,000 dates over ten years, as the locale's short date and time write them.
    UErrorCode status = U_ZERO_ERROR;
    UDateFormat* format = udat_open(UDAT_SHORT, UDAT_SHORT, nullptr, nullptr, 0, nullptr, 0, &status);
    udat_setLenient(format, false);
    QVariantList dates;
    for (int i = 0; i < 10000; ++i) {
        UChar buffer[64];
        UErrorCode s = U_ZERO_ERROR;
        const double when = 1.0e12 + double(random() % (3650u * 24 * 60)) * 60000.0;
        const int32_t n = udat_format(format, when, buffer, 64, nullptr, &s);
        dates.append(QString(reinterpret_cast<const QChar*>(buffer), n));
    }
    std::vector<UDate> parsed;
    const double oursDates = medianMs([&] { work = dates; }, [&] { SortArrayNumericallyAsDateOnKey(work); });
    const double referenceDates = medianMs([&] { work = dates; parsed.clear(); }, [&] {
        for (const QVariant& v : std::as_const(work)) {
            const QString text = v.toString();
            int32_t position = 0;
            UErrorCode s = U_ZERO_ERROR;
            parsed.push_back(udat_parse(format, reinterpret_cast<const UChar*>(text.utf16()), int32_t(text.size()), &position, &s));
        }
        std::stable_sort(parsed.begin(), parsed.end());
    });
    std::vector<UDate> ready;
    for (const QVariant& v : std::as_const(dates)) {
        const QString text = v.toString();
        int32_t position = 0;
        UErrorCode s = U_ZERO_ERROR;
        ready.push_back(udat_parse(format, reinterpret_cast<const UChar*>(text.utf16()), int32_t(text.size()), &position, &s));
    }
    const double bareDates = medianMs([&] { parsed = ready; }, [&] { std::stable_sort(parsed.begin(), parsed.end()); });
    row("SortArrayNumericallyAsDateOnKey, 10,000", oursDates, referenceDates, bareDates);
    udat_close(format);
    return 0;
}
