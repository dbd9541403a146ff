#include "Log.h"
#include <gtest/gtest.h>

namespace {
struct Widget {
    std::wstring Name() const { return LogFunctionName(__PRETTY_FUNCTION__); }
    template <typename T> std::wstring Tpl(T) { return LogFunctionName(__PRETTY_FUNCTION__); }
};
}  // namespace

TEST(LogFunctionName, GivesClassAndMethodWithoutSignature)
{
    EXPECT_EQ(L"Widget::Name", Widget().Name());
    EXPECT_EQ(L"Foo::Bar", LogFunctionName("long int Foo::Bar(const wchar_t*, int)"));
    EXPECT_EQ(L"wWinMain", LogFunctionName("int wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)"));
    EXPECT_EQ(L"Foo::Get", LogFunctionName("std::map<int, int>* Foo::Get()"));
}

TEST(LogSourceName, KeepsOnlyTheFileName)
{
    EXPECT_EQ(L"TraceLog.cpp", LogSourceName("/work/main/common/TraceLog.cpp"));
    EXPECT_EQ(L"a.cpp", LogSourceName("C:\\src\\a.cpp"));
}
