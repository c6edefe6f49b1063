#pragma once
// What the reference programs share: the file manager's order made with plain ICU, with the
// same collation settings the program uses (case and accents secondary, numbers by value).

#include <unicode/ucol.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class ReferenceOrder
{
public:
    ReferenceOrder()
    {
        UErrorCode status = U_ZERO_ERROR;
        m_collator = ucol_open("", &status);
        ucol_setAttribute(m_collator, UCOL_STRENGTH, UCOL_SECONDARY, &status);
        ucol_setAttribute(m_collator, UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
        ucol_setAttribute(m_collator, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
        ucol_setAttribute(m_collator, UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
    }
    ~ReferenceOrder() { ucol_close(m_collator); }
    ReferenceOrder(const ReferenceOrder&) = delete;
    ReferenceOrder& operator=(const ReferenceOrder&) = delete;

    void add(const char* name)
    {
        const int32_t len = int32_t(std::strlen(name));
        m_units.resize(size_t(len) + 1);
        int32_t ulen = 0;
        UErrorCode status = U_ZERO_ERROR;
        u_strFromUTF8Lenient(m_units.data(), int32_t(m_units.size()), &ulen, name, len, &status);
        uint8_t key[512];
        const int32_t klen = ucol_getSortKey(m_collator, m_units.data(), ulen, key, sizeof key);
        m_entries.push_back({std::string(reinterpret_cast<char*>(key), size_t(std::min<int32_t>(klen, sizeof key))), name});
    }

    // The names added, in order; equal keys fall back to the bytes.
    std::vector<std::string> sortedNames()
    {
        std::sort(m_entries.begin(), m_entries.end(), [](const Entry& a, const Entry& b) {
            return a.key != b.key ? a.key < b.key : a.name < b.name;
        });
        std::vector<std::string> names;
        names.reserve(m_entries.size());
        for (Entry& e : m_entries)
            names.push_back(std::move(e.name));
        m_entries.clear();
        return names;
    }

private:
    struct Entry {
        std::string key;
        std::string name;
    };
    UCollator* m_collator = nullptr;
    std::vector<UChar> m_units;
    std::vector<Entry> m_entries;
};
