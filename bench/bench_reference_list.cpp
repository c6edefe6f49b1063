// Reference lister for the listing benchmark: readdir, then ICU sort keys with the same
// collation settings the program uses, names printed one per line. No filtering, no
// identity checks: the least work that yields the same order.

#include <unicode/ucol.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    DIR* dir = ::opendir(argv[1]);
    if (!dir)
        return 2;
    UErrorCode status = U_ZERO_ERROR;
    UCollator* collator = ucol_open("", &status);
    ucol_setAttribute(collator, UCOL_STRENGTH, UCOL_SECONDARY, &status);
    ucol_setAttribute(collator, UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
    ucol_setAttribute(collator, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
    ucol_setAttribute(collator, UCOL_NORMALIZATION_MODE, UCOL_ON, &status);

    struct Entry {
        std::string key;
        std::string name;
    };
    std::vector<Entry> entries;
    std::vector<UChar> units;
    while (dirent* e = ::readdir(dir)) {
        if (e->d_name[0] == '.')
            continue;
        const int32_t len = int32_t(std::strlen(e->d_name));
        units.resize(size_t(len) + 1);
        int32_t ulen = 0;
        status = U_ZERO_ERROR;
        u_strFromUTF8Lenient(units.data(), int32_t(units.size()), &ulen, e->d_name, len, &status);
        uint8_t key[512];
        const int32_t klen = ucol_getSortKey(collator, units.data(), ulen, key, sizeof key);
        entries.push_back({std::string(reinterpret_cast<char*>(key), size_t(std::min<int32_t>(klen, sizeof key))), e->d_name});
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.key != b.key ? a.key < b.key : a.name < b.name;
    });
    std::string out;
    for (const Entry& e : entries) {
        out += e.name;
        out += '\n';
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    ucol_close(collator);
    return 0;
}
