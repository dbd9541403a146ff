#pragma once
// What both pattern server answers share: the enclosing element and the decimal result code.
#include <string>

namespace PatternAnswer {
extern const wchar_t RESPONSE[];
// The decimal code text as a number; 0 for an empty or malformed text (logged).
long CodeOf(const std::wstring &strCode);
}   // namespace PatternAnswer
