#include "Params.h"
#include <gtest/gtest.h>
#include <oleauto.h>
#include <string>

namespace {
// The bytes of a VT_ARRAY | VT_UI1 variant.
std::string BytesOf(const VARIANT &var)
{
    if (var.vt != (VT_ARRAY | VT_UI1) || var.parray == nullptr) return "<no bytes>";
    LONG lLower = 0;
    LONG lUpper = -1;
    SafeArrayGetLBound(var.parray, 1, &lLower);
    SafeArrayGetUBound(var.parray, 1, &lUpper);
    void *pData = nullptr;
    if (FAILED(SafeArrayAccessData(var.parray, &pData))) return "<locked>";
    std::string str(static_cast<const char *>(pData), (size_t)(lUpper - lLower + 1));
    SafeArrayUnaccessData(var.parray);
    return str;
}

VARIANT TextVariant(const wchar_t *psz)
{
    VARIANT var;
    VariantInit(&var);
    var.vt = VT_BSTR;
    var.bstrVal = SysAllocString(psz);
    return var;
}
}  // namespace

TEST(ParamsTest, LogOnBodyEncodesItsValuesAndCountsTheKey)
{
    Params params;
    params.SetUserName(L"j.doe user");
    params.SetPassword(L"p&ss=w%rd+?");
    EXPECT_EQ("userName=j.doe+user&password=p%26ss%3Dw%25rd%2B%3F&login_key=1&chgpw=false",
              BytesOf(params.GetLoginPostData()));
    EXPECT_EQ("userName=j.doe+user&password=p%26ss%3Dw%25rd%2B%3F&login_key=2&chgpw=false",
              BytesOf(params.GetLoginPostData()));
    EXPECT_EQ(std::string("Content-Type: application/x-www-form-urlencoded\r\n"),
              std::string(params.GetHeader(), params.GetHeader() + wcslen(params.GetHeader())));
}

TEST(ParamsTest, NonAsciiValuesAreSentAsTheirCodePageBytes)
{
    Params params;
    std::string strExpected;
    // U+00E9 is one byte in every Western code page; in others it cannot be carried at all.
    BOOL bDefault = FALSE;
    char szByte[4] = {};
    int iLen = WideCharToMultiByte(CP_ACP, 0, L"\u00E9", 1, szByte, sizeof(szByte), nullptr, &bDefault);
    params.SetUserName(L"ren\u00E9");
    params.SetPassword(L"x");
    const VARIANT &var = params.GetLoginPostData();
    if (iLen == 1 && !bDefault) {
        char szHex[8];
        snprintf(szHex, sizeof(szHex), "%%%02X", (unsigned char)szByte[0]);
        EXPECT_EQ(std::string("userName=ren") + szHex + "&password=x&login_key=1&chgpw=false", BytesOf(var));
    } else {
        EXPECT_EQ(VT_EMPTY, var.vt);
    }
    // A character no ANSI code page of the test prefix carries: nothing is sent, the key moves on.
    params.SetUserName(L"\U0001F600");
    EXPECT_EQ(VT_EMPTY, params.GetLoginPostData().vt);
    params.SetUserName(L"a");
    EXPECT_EQ("userName=a&password=x&login_key=3&chgpw=false", BytesOf(params.GetLoginPostData()));
}

TEST(ParamsTest, StatusTextsAndLogOffNeeds)
{
    Params params;
    const wchar_t *const apszTexts[] = {L"none", L"login progress", L"logged in", L"logout progress",
                                        L"logged out", L"control progress", L"running", L"logout error"};
    const bool abNeedLogout[] = {false, true, true, false, false, true, true, true};
    for (int i = 0; i < 8; ++i) {
        params.SetStatus(i);
        EXPECT_EQ(apszTexts[i], params.GetStatusMessage());
        EXPECT_EQ(abNeedLogout[i], params.isNeedLogout()) << i;
        EXPECT_EQ(i == 4, params.isLogout());
    }
}

TEST(ParamsTest, CookieIsTakenOnlyDuringTheLogOn)
{
    Params params;
    VARIANT varCookie = TextVariant(L"SID=abc");
    VARIANT varEmpty = TextVariant(L"");

    params.SetStatus(Params::STATUS_LOGGED_IN);
    EXPECT_FALSE(params.SetCookie(varCookie));
    EXPECT_EQ(Params::STATUS_LOGGED_IN, params.GetStatus());
    EXPECT_EQ(L"", params.GetCookieHeader());

    params.SetStatus(Params::STATUS_LOGIN_PROGRESS);
    EXPECT_FALSE(params.SetCookie(varEmpty));
    EXPECT_EQ(Params::STATUS_LOGIN_PROGRESS, params.GetStatus());
    EXPECT_TRUE(params.SetCookie(varCookie));
    EXPECT_EQ(Params::STATUS_CONTROL_PROGRESS, params.GetStatus());
    EXPECT_EQ(L"cookie: SID=abc", params.GetCookieHeader());

    params.SetStatus(Params::STATUS_LOGOUT_PROGRESS);
    EXPECT_FALSE(params.SetCookie(varCookie));
    EXPECT_EQ(Params::STATUS_LOGGED_OUT, params.GetStatus());
    EXPECT_EQ(L"", params.GetCookieHeader());
    VariantClear(&varCookie);
    VariantClear(&varEmpty);
}
