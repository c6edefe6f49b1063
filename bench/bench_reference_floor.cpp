// Floor program for the round-trip benchmark: the least work a numbering or a prefix
// removal of a folder must do, with no journal. It lists the folder (readdir, names that
// begin with "." left out, the Finder flags read per item), sorts with ICU sort keys under
// the program's collation settings, then per item reads the identity once (fstatat) and
// renames once without replacing (renameat2 RENAME_NOREPLACE).
//
//   bench_reference_floor rename|strip FOLDER

#include <unicode/ucol.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 3 || (std::strcmp(argv[1], "rename") != 0 && std::strcmp(argv[1], "strip") != 0)) {
        std::fprintf(stderr, "usage: %s rename|strip FOLDER\n", argv[0]);
        return 2;
    }
    const bool numbering = std::strcmp(argv[1], "rename") == 0;
    const int dirfd = ::open(argv[2], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = ::fdopendir(::dup(dirfd));
    if (dirfd < 0 || !dir)
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
    const std::string base = std::string(argv[2]) + '/';
    while (dirent* e = ::readdir(dir)) {
        if (e->d_name[0] == '.')
            continue;
        unsigned char info[32];
        const std::string path = base + e->d_name;
        const ssize_t got = ::lgetxattr(path.c_str(), "user.com.apple.FinderInfo", info, sizeof info);
        if (got == 32 && (info[8] & 0x40) && e->d_type != DT_DIR)
            continue;   // invisible
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
    const int width = int(std::to_string(entries.size()).size());
    int failures = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string& name = entries[i].name;
        std::string to;
        if (numbering) {
            std::string number = std::to_string(i + 1);
            to = std::string(size_t(std::max(0, width - int(number.size()))), '0') + number + ' ' + name;
        } else {
            const size_t blank = name.find(' ');
            if (blank == std::string::npos)
                continue;
            to = name.substr(blank + 1);
        }
        struct stat st;
        if (::fstatat(dirfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0
            || ::renameat2(dirfd, name.c_str(), dirfd, to.c_str(), RENAME_NOREPLACE) != 0)
            ++failures;
    }
    ::close(dirfd);
    ucol_close(collator);
    return failures ? 1 : 0;
}
