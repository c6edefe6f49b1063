// Floor program for the round-trip benchmark: the least work a numbering or a prefix
// removal of a folder must do, with no journal. It lists the folder (readdir, names that
// begin with "." left out, the Finder flags read per item), sorts with ICU sort keys under
// the program's collation settings, then per item reads the identity once (fstatat) and
// renames once without replacing (renameat2 RENAME_NOREPLACE).
//
//   bench_reference_floor rename|strip FOLDER

#include "ReferenceOrder.h"

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
    ReferenceOrder order;
    const std::string base = std::string(argv[2]) + '/';
    while (dirent* e = ::readdir(dir)) {
        if (e->d_name[0] == '.')
            continue;
        unsigned char info[32];
        const std::string path = base + e->d_name;
        const ssize_t got = ::lgetxattr(path.c_str(), "user.com.apple.FinderInfo", info, sizeof info);
        if (got == 32 && (info[8] & 0x40) && e->d_type != DT_DIR)
            continue;   // invisible
        order.add(e->d_name);
    }
    ::closedir(dir);
    const std::vector<std::string> names = order.sortedNames();
    const int width = int(std::to_string(names.size()).size());
    int failures = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i];
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
    return failures ? 1 : 0;
}
