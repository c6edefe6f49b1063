// Reference lister for the listing benchmark: readdir, then ICU sort keys with the same
// collation settings the program uses, names printed one per line. No filtering, no
// identity checks: the least work that yields the same order.

#include "ReferenceOrder.h"

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
    ReferenceOrder order;
    while (dirent* e = ::readdir(dir)) {
        if (e->d_name[0] == '.')
            continue;
        order.add(e->d_name);
    }
    ::closedir(dir);
    std::string out;
    for (const std::string& name : order.sortedNames()) {
        out += name;
        out += '\n';
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}
