#pragma once
// CString256: the support library's text value. At most 255 bytes, held inside the object
// (no heap storage for the text), always zero-terminated. Text is bytes; only the
// conversions from and to QString interpret them, as UTF-8.
//
// Capacity rule: room is 255 minus the current length. No operation lets the text grow
// past 255 bytes; excess input is cut off silently. Conversions from QString cut at the
// last whole UTF-8 sequence that fits. A null C-text argument counts as empty.
//
// length() is strlen: linear, not cached. Objects made with `new` come from a pool of
// 256-object blocks that is never given back (see CPool.h); main thread only.
//
// Case-insensitive operations fold ASCII letters only (a-z, A-Z), whatever the process
// locale: every other byte, 0x80-0xFF included, compares exactly.

#include "platform/MacErrors.h"
#include "platform/MemoryManager.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <new>

template <class T>
class CList;

class CString256 final {
public:
    static constexpr int kCapacity = 255;

    CString256() noexcept = default;
    CString256(const CString256&) noexcept = default;
    CString256& operator=(const CString256&) noexcept = default;
    explicit CString256(const char* text) noexcept;          // first 255 bytes
    explicit CString256(const unsigned char* pascal) noexcept; // length-prefixed

    CString256& operator=(const char* text) noexcept;
    // Length-prefixed string (a length byte, then that many bytes); the content ends
    // early at an embedded zero byte. Null empties the string.
    CString256& operator=(const unsigned char* pascal) noexcept;
    CString256& operator=(const QString& text);
    // The first min(GetHandleSize, 255) bytes of the handle's data (to an embedded zero).
    CString256& operator=(Handle handle) noexcept;
    // Decimal text: '-' for negative values, no leading zeros, blanks or grouping.
    CString256& operator=(std::int32_t value) noexcept;
    CString256& operator=(unsigned long long value) noexcept;

    // Appends what fits in the room; the rest is dropped.
    CString256& operator+=(const char* text) noexcept;
    CString256& operator+=(const CString256& text) noexcept;
    CString256& operator+=(const unsigned char* pascal) noexcept;
    CString256& operator+=(std::int32_t value) noexcept;
    CString256& operator+=(const QString& text);
    // One byte, appended only while the length is at most 253: single-byte appends stop
    // at 254 bytes, one short of the capacity.
    CString256& operator+=(char c) noexcept;

    const char* c_str() const noexcept { return m_text; }
    int length() const noexcept;
    bool isEmpty() const noexcept { return m_text[0] == 0; }

    // Byte access, index 0..255. Byte 255 is the terminator of a full string and can
    // only be read: writing through an index outside 0..254 goes to a scratch byte and
    // is lost, so the text can never lose its terminator.
    char& operator[](int index) noexcept;
    char operator[](int index) const noexcept;

    void to_lower() noexcept; // A-Z become a-z

    // True when the text starts (ends) with the given bytes; nocase folds ASCII letters.
    // An empty or null prefix (suffix) always matches; a suffix longer than the text never.
    bool beginsWith(const CString256* prefix, bool nocase) const noexcept;
    bool beginsWith(const char* prefix, bool nocase) const noexcept;
    bool endsWith(const CString256* suffix, bool nocase) const noexcept;
    bool endsWith(const char* suffix, bool nocase) const noexcept;
    bool beginsWith_nocase(const CString256& prefix) const noexcept;
    bool beginsWith_nocase(const char* prefix) const noexcept;
    bool endsWith_nocase(const CString256& suffix) const noexcept;
    bool endsWith_nocase(const char* suffix) const noexcept;

    // Keeps only the bytes 0x21-0x7E (ASCII letters, digits and punctuation).
    void filter_to_alnum_or_punct() noexcept;

    // Replaces what follows the last dot with suffix (given without its dot); a text
    // without a dot gains a dot and the suffix. A null suffix leaves a bare trailing dot.
    void change_suffix(const char* suffix) noexcept;

    // Appends the text and a line feed to the zero-terminated text in buffer, a buffer of
    // bufferSize bytes in all; what does not fit is cut, and the buffer stays terminated.
    // A buffer without a terminator within bufferSize bytes is left alone.
    void print(char* buffer, std::size_t bufferSize) const noexcept;
    // Writes the text and a line feed to an open file descriptor. noErr, or the classic
    // code of the write's errno.
    OSErr print(int fileDescriptor) const noexcept;

    // The text as a QString, decoded as UTF-8. A null QString when the bytes are not
    // valid UTF-8; an empty text gives an empty, non-null QString.
    QString MakeCFString() const;

    // Splits the text at every run of bytes from separators into list (emptied first):
    // no empty pieces. The string is unchanged. Holds no process-wide state, so it is
    // safe while another scan (strtok or a nested split) is in progress.
    void parse_into_list(const char* separators, CList<CString256>& list) const;
    // Replaces the text with the elements joined by separator (each separator a
    // single-byte append). Walks with the list's own cursor, leaving it past the end.
    void flatten_list(char separator, CList<CString256>& list) noexcept;

    // Matching: each writes a score in [0.0, 1.0] to *score (nothing when score is null).
    // Exact and partial score 1.0 for a non-empty pattern equal to (found in) the text.
    void match_case_exact(const CString256& pattern, float* score) const noexcept;
    void match_nocase_exact(const CString256& pattern, float* score) const noexcept;
    void match_case_partial(const CString256& pattern, float* score) const noexcept;
    void match_nocase_partial(const CString256& pattern, float* score) const noexcept;
    // 2C / (S + P): C counts the pattern's bytes found in the text left to right, greedy
    // (not the longest common subsequence). Two empty strings score 0.0.
    void match_case_approximate(const CString256& pattern, float* score) const noexcept;
    void match_nocase_approximate(const CString256& pattern, float* score) const noexcept;
    // 1.0 when every piece occurs in the text, in list order, without overlapping; any
    // text may come before, between and after them. An empty list scores 1.0. Walks with
    // the list's cursor, so one list serves one match at a time.
    void match_wildcard_case(CList<CString256>& pieces, float* score) const noexcept;
    void match_wildcard_nocase(CList<CString256>& pieces, float* score) const noexcept;
    // Calls matcher(this, data, score) and nothing else (see StringMatching.h).
    void match(void (*matcher)(void* subject, void* data, float* score), void* data,
               float* score);

    friend bool operator==(const CString256& a, const CString256& b) noexcept;

    // Pooled storage: one slot, whatever the requested size (the class is final, so the
    // size is always its own). May throw std::bad_alloc when a new block is needed.
    static void* operator new(std::size_t size);
    static void operator delete(void* storage, std::size_t size) noexcept;
    // Placement forms stay usable (containers construct in place).
    static void* operator new(std::size_t, void* where) noexcept { return where; }
    static void operator delete(void*, void*) noexcept {}

private:
    void assign(const char* bytes, std::size_t count) noexcept;
    void append(const char* bytes, std::size_t count) noexcept;

    // Every byte starts as zero; byte 255 stays zero for the object's life.
    char m_text[kCapacity + 1] = {};
};

// Case-insensitive comparison of at most n bytes: 0 when equal, else the difference of
// the first bytes that differ after folding, taken on the unfolded bytes as unsigned
// (so 'abc' vs 'ABD' is 'c' - 'D' = 31). Null counts as empty.
int STRNCMP(const char* a, const char* b, int n) noexcept;

// First position in haystack where needle occurs ignoring case, or null. An empty (or
// null) needle yields haystack itself.
const char* STRSTR(const char* haystack, const char* needle) noexcept;
char* STRSTR(char* haystack, const char* needle) noexcept;

// ASCII-only case folding used by all case-insensitive text operations.
constexpr unsigned char AsciiToUpper(unsigned char c) noexcept
{
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - ('a' - 'A')) : c;
}
constexpr unsigned char AsciiToLower(unsigned char c) noexcept
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}
