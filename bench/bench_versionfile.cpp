// The version-file reader on what a server may send: an ordinary file, XML and binary, a
// list at the deepest nesting accepted, and hostile lists that are refused before libplist
// reads them. Each case runs 31 times; the table shows the median and the fastest run in
// microseconds. Build in Release or RelWithDebInfo.

#include "update/VersionFile.h"

#include <QByteArray>
#include <QList>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

void be32(QByteArray& out, quint32 v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += char((v >> shift) & 0xff);
}

// A binary list whose product entry is `depth` arrays, each holding the next `fanOut` times.
QByteArray nestedBinary(quint32 depth, quint32 fanOut)
{
    QByteArray body("bplist00");
    QList<quint32> offsets;
    offsets.append(body.size());
    body += char(0xD1);
    be32(body, 1);
    be32(body, 2);
    offsets.append(body.size());
    body += char(0x59);
    body += "Ordinello";
    for (quint32 i = 0; i < depth; ++i) {
        offsets.append(body.size());
        body += char(0xA0 | fanOut);
        for (quint32 k = 0; k < fanOut; ++k)
            be32(body, 3 + i);
    }
    offsets.append(body.size());
    body += QByteArray("\x10\x01", 2);
    const quint32 table = body.size();
    for (quint32 offset : offsets)
        be32(body, offset);
    body += QByteArray(6, '\0') + char(4) + char(4) + QByteArray(4, '\0');
    be32(body, depth + 3);
    body += QByteArray(12, '\0');
    be32(body, table);
    return body;
}

QByteArray xmlFile(int depth)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict><key>Ordinello</key><dict>"
           "<key>CurrentVersion</key><integer>105</integer><key>CurrentVersionString</key><string>1.0.5</string>"
           "</dict><key>Other</key>"
         + QByteArray("<array>").repeated(depth) + QByteArray("</array>").repeated(depth) + "</dict></plist>\n";
}

void run(const char* name, const QByteArray& data)
{
    std::vector<double> us;
    for (int i = 0; i < 31; ++i) {
        const auto start = Clock::now();
        const PublishedVersion read = ReadVersionFile(data);
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        if (i == 0)
            std::printf("%-34s %8lld bytes  %-11s", name, static_cast<long long>(data.size()),
                        read.string.isNull() ? "no version" : "version");
    }
    std::sort(us.begin(), us.end());
    std::printf(" median %10.1f us  best %10.1f us\n", us[us.size() / 2], us.front());
}

} // namespace

int main()
{
    run("xml, ordinary", xmlFile(0));
    run("xml, 60 levels", xmlFile(60));
    run("xml, 100000 levels", xmlFile(100'000));
    run("binary, 64 levels", nestedBinary(63, 1));
    run("binary, 90000 levels", nestedBinary(90'000, 1));
    run("binary, 100000 levels (objects)", nestedBinary(100'000, 1));
    run("binary, 16 levels shared twice", nestedBinary(16, 2));
    run("binary, 60 levels shared twice", nestedBinary(60, 2));
    return 0;
}
