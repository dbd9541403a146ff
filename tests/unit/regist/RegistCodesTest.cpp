#include "RegistErrorCodeTable.h"
#include "RegistFormBody.h"
#include "RegistSuccessCodeTable.h"
#include <gtest/gtest.h>

namespace {
const std::wstring kRegist = RegistErrorCodeTable::OP_REGIST;
const std::wstring kNotify = RegistErrorCodeTable::OP_NOTIFY;
const std::wstring kUpdate = RegistErrorCodeTable::OP_UPDATE;

long Id(const std::wstring &strCode, const std::wstring &strOperation, std::wstring *pText = nullptr)
{
    std::wstring strText;
    long lId = RegistErrorCodeTable::LookupText(strCode, strOperation, strText);
    if (pText) *pText = strText;
    return lId;
}
}   // namespace

TEST(RegistErrorCodeTableTest, EachServerCodeShowsItsIdPerOperationWithTheCodeInBrackets)
{
    struct Row {
        const wchar_t *pszCode;
        long lRegist;
        long lNotify;
    } rows[] = {
        {L"1202001", 8740, 5220}, {L"1900001", 8781, 5241}, {L"1901999", 8781, 5241}, {L"2210999", 8781, 5241},
        {L"2310302", 8750, 5210}, {L"2310303", 8751, 5211}, {L"2310304", 8752, 5212}, {L"2310305", 8760, 5220},
        {L"2310999", 8781, 5241}, {L"2203018", 8781, 5241}, {L"2203002", 8741, 5220}, {L"2203025", 8770, 5230},
        {L"2203027", 8771, 5231}, {L"2203028", 8772, 5232}, {L"2203029", 8773, 5233}, {L"2303001", 8775, 5235},
        {L"2303011", 8781, 5241}, {L"2303021", 8780, 5240}, {L"2303031", 8782, 5242}, {L"2303032", 8774, 5234},
        {L"2303035", 8791, 5251}, {L"2902001", 8781, 5241},
    };
    for (const Row &row : rows) {
        std::wstring strText;
        EXPECT_EQ(row.lRegist, Id(row.pszCode, kRegist, &strText)) << row.pszCode;
        EXPECT_EQ(std::wstring(L"[") + row.pszCode + L"]", strText);
        EXPECT_EQ(row.lNotify, Id(row.pszCode, kNotify)) << row.pszCode;
    }
}

TEST(RegistErrorCodeTableTest, UnknownCodesAndTheUpdateOperationsOwnListGiveTheirIds)
{
    EXPECT_EQ(5241, Id(L"1234567", kRegist));
    EXPECT_EQ(5241, Id(L"0", kNotify));
    EXPECT_EQ(8781, Id(L"1202015", kUpdate));
    EXPECT_EQ(8781, Id(L"1401001", kUpdate));
    EXPECT_EQ(8781, Id(L"1900999", kUpdate));
    // Known to registration, not to the update exchange.
    EXPECT_EQ(5241, Id(L"2203025", kUpdate));
    EXPECT_EQ(5241, Id(L"2203025", L"otherOperation"));
    // Leading zeros are still the same number.
    EXPECT_EQ(8770, Id(L"0002203025", kRegist));
}

TEST(RegistErrorCodeTableTest, CodesThatDoNotFitALongAreNoCodeInsteadOfWrappingAround)
{
    long lValue = -1;
    EXPECT_TRUE(RegistErrorCodeTable::ParseCode(L"2147483647", lValue));
    EXPECT_EQ(2147483647L, lValue);
    EXPECT_FALSE(RegistErrorCodeTable::ParseCode(L"2147483648", lValue));
    // 2^32 + 2203025 would wrap to 2203025 (8770) in 32 bits.
    std::wstring strText;
    EXPECT_EQ(5241, Id(L"4297170321", kRegist, &strText));
    EXPECT_EQ(L"[4297170321]", strText);
    EXPECT_EQ(5241, Id(std::wstring(400, L'9'), kRegist));
    EXPECT_FALSE(RegistErrorCodeTable::ParseCode(L"", lValue));
    EXPECT_FALSE(RegistErrorCodeTable::ParseCode(L"-1", lValue));
}

TEST(RegistErrorCodeTableTest, OnlyNonEmptyDecimalTextIsAResultCode)
{
    EXPECT_TRUE(RegistErrorCodeTable::IsResultCode(L"2203025"));
    EXPECT_TRUE(RegistErrorCodeTable::IsResultCode(std::wstring(100, L'1')));
    EXPECT_FALSE(RegistErrorCodeTable::IsResultCode(L"12a"));
    EXPECT_FALSE(RegistErrorCodeTable::IsResultCode(L""));
    EXPECT_FALSE(RegistErrorCodeTable::IsResultCode(L" 12"));
    EXPECT_FALSE(RegistErrorCodeTable::IsResultCode(L"12\r\n"));
    EXPECT_FALSE(RegistErrorCodeTable::IsResultCode(L"\x0661\x0662"));   // Arabic-Indic digits
}

TEST(RegistSuccessCodeTableTest, NoticeValuesMapPerOperationAndWhetherTheProfileIsNew)
{
    EXPECT_EQ(8700, RegistSuccessCodeTable::Lookup(L"0", L"0", kRegist, true));
    EXPECT_EQ(8710, RegistSuccessCodeTable::Lookup(L"1", L"1", kRegist, true));
    EXPECT_EQ(8700, RegistSuccessCodeTable::Lookup(L"2", L"3", kRegist, true));
    EXPECT_EQ(0, RegistSuccessCodeTable::Lookup(L"2", L"1", kRegist, true));
    EXPECT_EQ(8720, RegistSuccessCodeTable::Lookup(L"0", L"0", kRegist, false));
    EXPECT_EQ(8730, RegistSuccessCodeTable::Lookup(L"1", L"1", kRegist, false));
    for (const wchar_t *pszInfo : {L"1", L"2", L"3", L"4"})
        EXPECT_EQ(8720, RegistSuccessCodeTable::Lookup(L"2", pszInfo, kRegist, false)) << pszInfo;
    EXPECT_EQ(0, RegistSuccessCodeTable::Lookup(L"2", L"5", kRegist, false));
    EXPECT_EQ(5200, RegistSuccessCodeTable::Lookup(L"1", L"1", kNotify, true));
    EXPECT_EQ(0, RegistSuccessCodeTable::Lookup(L"1", L"1", kNotify, false));
    EXPECT_EQ(0, RegistSuccessCodeTable::Lookup(L"0", L"0000", kRegist, true));
    EXPECT_EQ(0, RegistSuccessCodeTable::Lookup(L"", L"", kRegist, true));
}

class RegistFormBodyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_values.strComputerName = L"PC-01";
        m_values.strComputerSid = L"S-1-5-21-1";
        m_values.strConnectPassword = L"c0nnect Pw";
        m_values.strNolvexId = L"user@corp";
        m_values.strHddSerialNumber = L"WD123";
        m_values.strInstalledVersion = L"1.2.3.4";
        m_values.vecMacAddresses = {L"001122334455", L"66778899AABB"};
        m_values.strStandardPassword = L"p&ss=w\x00e4rd";
        m_values.strTerminalAuthId = L"T1";
        m_values.strTerminalIdentInfo = L"abc_DEF-ghi";
    }
    RegistFormBody::Values m_values;
};

TEST_F(RegistFormBodyTest, StandardPasswordBodyHasEveryPairInOrderWithTheLastAdapterFirst)
{
    EXPECT_EQ(L"computerName=PC-01&computerSid=S-1-5-21-1&nolvexId=user%40corp&hddSerialNumber=WD123"
              L"&installedVersion=1.2.3.4&macAddress=66778899AABB&macAddress=001122334455"
              L"&standardPassword=p%26ss%3dw%c3%a4rd&terminalAuthId=T1&terminalIdentInfo=abc_DEF-ghi",
              RegistFormBody::Build(m_values));
}

TEST_F(RegistFormBodyTest, ConnectPasswordReplacesTheStandardPassword)
{
    m_values.bSendConnectPassword = true;
    std::wstring strBody = RegistFormBody::Build(m_values);
    const std::wstring strStart = L"computerName=PC-01&computerSid=S-1-5-21-1&connectPassword=c0nnect+Pw&nolvexId=user%40corp&";
    EXPECT_EQ(strStart, strBody.substr(0, strStart.size()));
    EXPECT_EQ(std::wstring::npos, strBody.find(L"standardPassword="));
}

TEST_F(RegistFormBodyTest, MacInvalidDropsEveryMacPairAndAnEmptySerialDropsItsPair)
{
    m_values.bSendMacAddress = false;
    m_values.strHddSerialNumber.clear();
    std::wstring strBody = RegistFormBody::Build(m_values);
    EXPECT_EQ(std::wstring::npos, strBody.find(L"macAddress="));
    EXPECT_EQ(std::wstring::npos, strBody.find(L"hddSerialNumber="));
    EXPECT_NE(std::wstring::npos, strBody.find(L"&nolvexId=user%40corp&installedVersion=1.2.3.4&standardPassword="));
    EXPECT_NE(L'&', strBody.back());   // no "&" after the last pair
    EXPECT_EQ(L"&terminalIdentInfo=abc_DEF-ghi", strBody.substr(strBody.rfind(L'&')));
}

TEST_F(RegistFormBodyTest, EmptyValuesStillSendTheirKeysAndTheSidTakesDashes)
{
    RegistFormBody::Values empty;
    empty.bSendMacAddress = true;
    EXPECT_EQ(L"computerName=&computerSid=&nolvexId=&installedVersion=&standardPassword=&terminalAuthId=&terminalIdentInfo=",
              RegistFormBody::Build(empty));
    EXPECT_EQ(L"a-b--c", RegistFormBody::SidFromTerminalIdInfo(L"a_b__c"));
}
