#include "support/StringMatching.h"

#include "support/CList.h"

#include <cmath>
#include <cstring>

namespace {

bool sameByte(char a, char b, bool nocase)
{
    if (!nocase)
        return a == b;
    return AsciiToLower(static_cast<unsigned char>(a)) == AsciiToLower(static_cast<unsigned char>(b));
}

float exactScore(const char* s, const char* p, bool nocase)
{
    if (!*s || !*p)
        return 0.0f;
    for (; *s && *p; ++s, ++p) {
        if (!sameByte(*s, *p, nocase))
            return 0.0f;
    }
    return (!*s && !*p) ? 1.0f : 0.0f;
}

float partialScore(const char* s, const char* p, bool nocase)
{
    if (!*p)
        return 0.0f;
    if (!nocase)
        return std::strstr(s, p) ? 1.0f : 0.0f;
    return STRSTR(s, p) ? 1.0f : 0.0f;
}

float approximateScore(const char* s, const char* p, bool nocase)
{
    const long S = long(std::strlen(s));
    const long P = long(std::strlen(p));
    // Both empty: nothing to compare, and the ratio below would be 0/0.
    if (S + P == 0)
        return 0.0f;
    long C = 0;
    const char* cursor = s;
    for (const char* q = p; *q && *cursor; ++q) {
        for (const char* t = cursor; *t; ++t) {
            if (sameByte(*t, *q, nocase)) {
                ++C;
                cursor = t + 1;
                break;
            }
        }
    }
    // 1 - (|S - C| + |P - C|) / (S + P), which is 2C / (S + P) since C <= S, P. The
    // differences are single precision, the ratio double, the result rounded to float
    // once: 'ace' in 'abcdef' is exactly 0.6666667f.
    const float sumOfDifferences = std::fabs(float(S - C)) + std::fabs(float(P - C));
    return float(1.0 - double(sumOfDifferences) / double(S + P));
}

float wildcardScore(const char* s, CList<CString256>& pieces, bool nocase)
{
    const char* position = s;
    pieces.rewind();
    while (const CString256* piece = pieces.next()) {
        const char* found = nocase ? STRSTR(position, piece->c_str())
                                   : std::strstr(position, piece->c_str());
        if (!found)
            return 0.0f;
        position = found + piece->length();
    }
    return 1.0f;
}

void store(float* score, float value)
{
    if (score)
        *score = value;
}

const CString256& subjectOf(void* subject)
{
    static const CString256 empty;
    return subject ? *static_cast<const CString256*>(subject) : empty;
}

CString256 patternOf(void* data)
{
    return CString256(static_cast<const char*>(data));
}

} // namespace

void CString256::match_case_exact(const CString256& pattern, float* score) const noexcept
{
    store(score, exactScore(m_text, pattern.m_text, false));
}

void CString256::match_nocase_exact(const CString256& pattern, float* score) const noexcept
{
    store(score, exactScore(m_text, pattern.m_text, true));
}

void CString256::match_case_partial(const CString256& pattern, float* score) const noexcept
{
    store(score, partialScore(m_text, pattern.m_text, false));
}

void CString256::match_nocase_partial(const CString256& pattern, float* score) const noexcept
{
    store(score, partialScore(m_text, pattern.m_text, true));
}

void CString256::match_case_approximate(const CString256& pattern, float* score) const noexcept
{
    store(score, approximateScore(m_text, pattern.m_text, false));
}

void CString256::match_nocase_approximate(const CString256& pattern, float* score) const noexcept
{
    store(score, approximateScore(m_text, pattern.m_text, true));
}

void CString256::match_wildcard_case(CList<CString256>& pieces, float* score) const noexcept
{
    store(score, wildcardScore(m_text, pieces, false));
}

void CString256::match_wildcard_nocase(CList<CString256>& pieces, float* score) const noexcept
{
    store(score, wildcardScore(m_text, pieces, true));
}

void CString256::match(void (*matcher)(void*, void*, float*), void* data, float* score)
{
    if (matcher)
        matcher(this, data, score);
}

void matcher_case_exact_256(void* subject, void* data, float* score)
{
    subjectOf(subject).match_case_exact(patternOf(data), score);
}

void matcher_nocase_exact_256(void* subject, void* data, float* score)
{
    subjectOf(subject).match_nocase_exact(patternOf(data), score);
}

void matcher_case_partial_256(void* subject, void* data, float* score)
{
    subjectOf(subject).match_case_partial(patternOf(data), score);
}

void matcher_nocase_partial_256(void* subject, void* data, float* score)
{
    subjectOf(subject).match_nocase_partial(patternOf(data), score);
}

void matcher_case_approximate_256(void* subject, void* data, float* score)
{
    subjectOf(subject).match_case_approximate(patternOf(data), score);
}

void matcher_nocase_approximate_256(void* subject, void* data, float* score)
{
    subjectOf(subject).match_nocase_approximate(patternOf(data), score);
}

void match_wildcard_case_256(void* subject, void* data, float* score)
{
    if (!data) {
        store(score, 0.0f);
        return;
    }
    const CString256 copy = subjectOf(subject);
    copy.match_wildcard_case(*static_cast<CList<CString256>*>(data), score);
}

void match_wildcard_nocase_256(void* subject, void* data, float* score)
{
    if (!data) {
        store(score, 0.0f);
        return;
    }
    const CString256 copy = subjectOf(subject);
    copy.match_wildcard_nocase(*static_cast<CList<CString256>*>(data), score);
}
