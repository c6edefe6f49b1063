#pragma once
// Matcher functions: each matching rule of CString256 behind one signature, so a caller
// can choose the rule at run time and hand it to CString256::match:
//
//     float score;
//     name.match(matcher_nocase_partial_256, const_cast<char*>("mov"), &score);
//
// subject is the CString256 match was called on. For the six text matchers data is
// zero-terminated C text, copied into a CString256 first (a longer pattern is matched by
// its first 255 bytes; null is the empty pattern). For the two wildcard matchers data is
// a CList<CString256> of pieces, used in place (its cursor moves); null scores 0.0.
// A null subject is the empty string; nothing is written when score is null.

#include "support/CString256.h"

void matcher_case_exact_256(void* subject, void* data, float* score);
void matcher_nocase_exact_256(void* subject, void* data, float* score);
void matcher_case_partial_256(void* subject, void* data, float* score);
void matcher_nocase_partial_256(void* subject, void* data, float* score);
void matcher_case_approximate_256(void* subject, void* data, float* score);
void matcher_nocase_approximate_256(void* subject, void* data, float* score);
void match_wildcard_case_256(void* subject, void* data, float* score);
void match_wildcard_nocase_256(void* subject, void* data, float* score);
