#pragma once
// The pipe message format: keyword before the first "=", then fields separated by ","; each field
// but the last ends at the next ","; the last field is the whole remainder, commas included.
#include <string>

class PipeMessageFields {
public:
    explicit PipeMessageFields(const std::wstring &strMessage);

    const std::wstring &Keyword() const { return m_strKeyword; }
    // The text after the first "=" (the whole message when there is none).
    const std::wstring &Rest() const { return m_strRest; }

    // Reads the fields of Rest() in order.
    class Cursor {
    public:
        explicit Cursor(const std::wstring &strFields) : m_strFields(strFields), m_nPos(0) {}
        std::wstring NextField();
        long NextNumber() { return ToNumber(NextField()); }
        std::wstring Remainder();
        long LastNumber() { return ToNumber(Remainder()); }

    private:
        std::wstring m_strFields;
        size_t m_nPos;
    };

    // Decimal digits at the start of the text; a text that does not start with one gives 0.
    static long ToNumber(const std::wstring &strText);

private:
    std::wstring m_strKeyword;
    std::wstring m_strRest;
};
