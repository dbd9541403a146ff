// Whole-file reads and writes of FileIO and the encrypted file envelope.
#include "CoderRun.h"
#include "Coding.h"
#include "FileIOFixture.h"
#include <cstring>
#include <memory>

namespace {

const wchar_t kKey[] = L"k3y-of-the-setting-file";

// One byte value per UTF-16 unit: the input form of the Base64 coders.
std::string ByteUnits(const std::string &strBytes)
{
    std::string strUnits;
    for (char ch : strBytes) {
        strUnits.push_back(ch);
        strUnits.push_back('\0');
    }
    return strUnits;
}

std::string Utf16Bytes(const std::wstring &strText)
{
    return std::string(reinterpret_cast<const char *>(strText.data()), strText.size() * sizeof(wchar_t));
}

// Bytes 0..255 repeated: zeros and high bytes included.
std::string AllByteValues(size_t nSize)
{
    std::string str;
    for (size_t i = 0; i < nSize; ++i) str.push_back(static_cast<char>(i * 7 % 256));
    return str;
}

// What the coding itself makes of the bytes (size asked first), in bytes of output.
struct CodingOutput {
    long lNeeded = -1;
    std::string strBytes;
};

CodingOutput EncodeDirectly(int iCodeType, const std::string &strInput, const std::wstring &strKey)
{
    CodingOutput out;
    std::unique_ptr<Coding> pCoding = MakeCoder(iCodeType);
    if (!pCoding) return out;
    CoderRun run = RunCoder(*pCoding, true, BytesOf(strInput), strKey);
    out.lNeeded = run.lNeeded < 1 ? -1 : run.lNeeded;
    if (run.lNeeded < 1 || run.lResult < 1) return out;
    out.strBytes.assign(run.output.begin(), run.output.begin() + run.lResult);
    return out;
}

bool IsBase64Text(const std::string &strUtf16)
{
    if (strUtf16.empty() || strUtf16.size() % 2 != 0) return false;
    std::wstring strText(strUtf16.size() / 2, L'\0');
    memcpy(&strText[0], strUtf16.data(), strUtf16.size());
    return strText.size() % 4 == 0 &&
           strText.find_first_not_of(L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=") ==
               std::wstring::npos;
}

}  // namespace

// ---- plaintext ----

TEST_F(FileIOTest, CodeType99StoresTheBytesAsTheyAreAndReadsThemBack)
{
    FileIO file;
    const std::string strData = AllByteValues(600);
    ASSERT_TRUE(Write(file, PathOf(L"plain.dat"), strData, kKey, FileIO::CODE_PLAIN));
    EXPECT_EQ(strData, ReadBytes(PathOf(L"plain.dat")));
    EXPECT_EQ(600u, file.ReadFile_Decode(PathOf(L"plain.dat"), kKey, FileIO::CODE_PLAIN));
    EXPECT_EQ(strData, DataOf(file));
}

TEST_F(FileIOTest, AesWithAnEmptyKeyStoresAndReadsPlaintext)
{
    FileIO file;
    const std::string strXml = Utf16Bytes(L"<?xml version=\"1.0\"?>\r<NolvexID>user01</NolvexID>\r");
    ASSERT_TRUE(Write(file, PathOf(L"UserSetting.xml"), strXml, L"", Coding::CODE_AES));
    EXPECT_EQ(strXml, ReadBytes(PathOf(L"UserSetting.xml")));
    EXPECT_EQ(strXml.size(), file.ReadFile_Decode(PathOf(L"UserSetting.xml"), L"", Coding::CODE_AES));
    EXPECT_EQ(strXml, DataOf(file));
}

TEST_F(FileIOTest, WritingReplacesTheWholeFile)
{
    FileIO file;
    ASSERT_TRUE(Write(file, PathOf(L"a.dat"), "a much longer first content", L"", FileIO::CODE_PLAIN));
    ASSERT_TRUE(Write(file, PathOf(L"a.dat"), "short", L"", FileIO::CODE_PLAIN));
    EXPECT_EQ("short", ReadBytes(PathOf(L"a.dat")));
    ASSERT_TRUE(Write(file, PathOf(L"a.dat"), "", L"", FileIO::CODE_PLAIN));
    EXPECT_TRUE(PathExists(PathOf(L"a.dat")));
    EXPECT_EQ("", ReadBytes(PathOf(L"a.dat")));
}

TEST_F(FileIOTest, WriteFailsWhereTheFileCannotBeMade)
{
    FileIO file;
    EXPECT_FALSE(Write(file, PathOf(L"missing\\a.dat"), "abc", L"", FileIO::CODE_PLAIN));
    EXPECT_FALSE(Write(file, PathOf(L"missing\\a.dat"), "abc", kKey, Coding::CODE_AES));
    LockedFile locked(PathOf(L"locked.dat"));
    ASSERT_TRUE(locked.IsLocked());
    EXPECT_FALSE(Write(file, PathOf(L"locked.dat"), "abc", L"", FileIO::CODE_PLAIN));
    EXPECT_FALSE(file.WriteData_Encode(PathOf(L"b.dat"), nullptr, 5, L"", FileIO::CODE_PLAIN));
    EXPECT_FALSE(PathExists(PathOf(L"b.dat")));
}

// ---- encoded envelopes: the file holds exactly the coding's output ----

TEST_F(FileIOTest, AesEnvelopeIsTheRawCiphertextAndRoundTrips)
{
    FileIO file;
    const std::string strData = AllByteValues(333);
    ASSERT_TRUE(Write(file, PathOf(L"aes.dat"), strData, kKey, Coding::CODE_AES));
    const std::string strFile = ReadBytes(PathOf(L"aes.dat"));
    EXPECT_EQ(EncodeDirectly(Coding::CODE_AES, strData, kKey).strBytes, strFile);
    EXPECT_EQ(0u, strFile.size() % 16);
    EXPECT_GT(strFile.size(), strData.size());
    EXPECT_EQ(strData.size(), file.ReadFile_Decode(PathOf(L"aes.dat"), kKey, Coding::CODE_AES));
    EXPECT_EQ(strData, DataOf(file));
}

TEST_F(FileIOTest, AesTextEnvelopeIsBase64OfTheCiphertextAndRoundTrips)
{
    FileIO file;
    const std::string strData = Utf16Bytes(L"<Common><authTerminalID>T-1</authTerminalID></Common>");
    ASSERT_TRUE(Write(file, PathOf(L"aestext.dat"), strData, kKey, Coding::CODE_AES_STR));
    const std::string strFile = ReadBytes(PathOf(L"aestext.dat"));
    EXPECT_TRUE(IsBase64Text(strFile));
    EXPECT_EQ(EncodeDirectly(Coding::CODE_AES_STR, strData, kKey).strBytes, strFile);
    EXPECT_EQ(strData.size(), file.ReadFile_Decode(PathOf(L"aestext.dat"), kKey, Coding::CODE_AES_STR));
    EXPECT_EQ(strData, DataOf(file));
}

// The Base64 coder reads one byte value per UTF-16 unit and decodes to the bytes themselves.
TEST_F(FileIOTest, Base64EnvelopeHoldsTheWholeTextAndDecodesToTheByteValues)
{
    FileIO file;
    ASSERT_TRUE(Write(file, PathOf(L"b64.dat"), ByteUnits("hello"), L"", Coding::CODE_BASE64));
    EXPECT_EQ(Utf16Bytes(L"aGVsbG8="), ReadBytes(PathOf(L"b64.dat")));
    EXPECT_EQ(5u, file.ReadFile_Decode(PathOf(L"b64.dat"), L"", Coding::CODE_BASE64));
    EXPECT_EQ("hello", DataOf(file));
}

TEST_F(FileIOTest, DataBufferEndsWithTwoZeroBytesAfterEveryRead)
{
    FileIO file;
    ASSERT_TRUE(Write(file, PathOf(L"aes.dat"), "abcdefghijklmnopqrstu", kKey, Coding::CODE_AES));
    ASSERT_EQ(21u, file.ReadFile_Decode(PathOf(L"aes.dat"), kKey, Coding::CODE_AES));
    EXPECT_EQ(0, file.GetData()[21]);
    EXPECT_EQ(0, file.GetData()[22]);
    WriteBytes(PathOf(L"odd.dat"), "xyz");
    ASSERT_EQ(3u, file.ReadFile(PathOf(L"odd.dat")));
    EXPECT_EQ(0, file.GetData()[3]);
    EXPECT_EQ(0, file.GetData()[4]);
}

// Text envelopes grow beyond the input: AES as Base64 text needs more than twice the input in
// bytes, which a work buffer of input + 100 bytes cannot hold.
TEST_F(FileIOTest, LargeTextEnvelopesThatOutgrowInputPlus100AreWrittenWhole)
{
    FileIO file;
    const std::string strData = AllByteValues(3000);
    const CodingOutput aesText = EncodeDirectly(Coding::CODE_AES_STR, strData, kKey);
    ASSERT_GT(aesText.lNeeded, (long)strData.size() + 100);
    ASSERT_TRUE(Write(file, PathOf(L"big8.dat"), strData, kKey, Coding::CODE_AES_STR));
    EXPECT_EQ(aesText.strBytes, ReadBytes(PathOf(L"big8.dat")));
    EXPECT_EQ(strData.size(), file.ReadFile_Decode(PathOf(L"big8.dat"), kKey, Coding::CODE_AES_STR));
    EXPECT_EQ(strData, DataOf(file));

    const std::string strBytes = AllByteValues(1500);
    const std::string strUnits = ByteUnits(strBytes);
    ASSERT_GT(EncodeDirectly(Coding::CODE_BASE64, strUnits, L"").lNeeded, (long)strUnits.size() + 100);
    ASSERT_TRUE(Write(file, PathOf(L"big1.dat"), strUnits, L"", Coding::CODE_BASE64));
    const std::string strFile = ReadBytes(PathOf(L"big1.dat"));
    EXPECT_EQ(2000u * 2, strFile.size());
    EXPECT_TRUE(IsBase64Text(strFile));
    EXPECT_EQ(strBytes.size(), file.ReadFile_Decode(PathOf(L"big1.dat"), L"", Coding::CODE_BASE64));
    EXPECT_EQ(strBytes, DataOf(file));
}

TEST_F(FileIOTest, DataTheCodingRefusesWritesNothing)
{
    FileIO file;
    // Not one byte value per unit: the Base64 coder refuses it.
    EXPECT_FALSE(Write(file, PathOf(L"b64.dat"), "\x01\x02\x03\x04", L"", Coding::CODE_BASE64));
    EXPECT_FALSE(PathExists(PathOf(L"b64.dat")));
    EXPECT_FALSE(Write(file, PathOf(L"none.dat"), "abcd", kKey, 2));
    EXPECT_FALSE(PathExists(PathOf(L"none.dat")));
}

// ---- reads that must fail cleanly ----

TEST_F(FileIOTest, ReadOfAMissingOrEmptyFileGivesNothing)
{
    FileIO file;
    WriteBytes(PathOf(L"full.dat"), "data");
    ASSERT_EQ(4u, file.ReadFile(PathOf(L"full.dat")));
    EXPECT_EQ(0u, file.ReadFile(PathOf(L"missing.dat")));
    EXPECT_EQ(nullptr, file.GetData());
    EXPECT_EQ(0u, file.GetLength());
    WriteBytes(PathOf(L"empty.dat"), "");
    EXPECT_EQ(0u, file.ReadFile(PathOf(L"empty.dat")));
    EXPECT_EQ(0u, file.ReadFile_Decode(PathOf(L"empty.dat"), kKey, Coding::CODE_AES));
    EXPECT_EQ(0u, file.ReadFile_Utf8ToUtf16(PathOf(L"empty.dat")));
}

TEST_F(FileIOTest, ReadSharesTheFileWithItsWriter)
{
    WriteBytes(PathOf(L"shared.dat"), "shared");
    HANDLE hWriter = CreateFileW(PathOf(L"shared.dat").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hWriter);
    FileIO file;
    EXPECT_EQ(6u, file.ReadFile(PathOf(L"shared.dat")));
    CloseHandle(hWriter);
}

TEST_F(FileIOTest, TruncatedOrForeignEncryptedFilesDecodeToNothing)
{
    FileIO file;
    ASSERT_TRUE(Write(file, PathOf(L"aes.dat"), AllByteValues(100), kKey, Coding::CODE_AES));
    const std::string strCipher = ReadBytes(PathOf(L"aes.dat"));

    WriteBytes(PathOf(L"truncated.dat"), strCipher.substr(0, strCipher.size() - 5));
    EXPECT_EQ(0u, file.ReadFile_Decode(PathOf(L"truncated.dat"), kKey, Coding::CODE_AES));
    EXPECT_EQ(nullptr, file.GetData());
    EXPECT_EQ(0u, file.GetLength());

    EXPECT_EQ(0u, file.ReadFile_Decode(PathOf(L"aes.dat"), L"another key", Coding::CODE_AES));
    EXPECT_EQ(nullptr, file.GetData());

    WriteBytes(PathOf(L"foreign.dat"), "<?xml version=\"1.0\"?><a>plain, not ours</a>");
    EXPECT_EQ(0u, file.ReadFile_Decode(PathOf(L"foreign.dat"), kKey, Coding::CODE_AES));
    EXPECT_EQ(0u, file.ReadFile_Decode(PathOf(L"foreign.dat"), kKey, Coding::CODE_AES_STR));

    ASSERT_TRUE(Write(file, PathOf(L"text.dat"), AllByteValues(100), kKey, Coding::CODE_AES_STR));
    const std::string strText = ReadBytes(PathOf(L"text.dat"));
    WriteBytes(PathOf(L"text-cut.dat"), strText.substr(0, strText.size() / 2));
    EXPECT_EQ(0u, file.ReadFile_Decode(PathOf(L"text-cut.dat"), kKey, Coding::CODE_AES_STR));
    EXPECT_EQ(0u, file.ReadFile_Decode(PathOf(L"text.dat"), kKey, 9));
    EXPECT_EQ(0u, file.GetLength());
}

// ---- UTF-8 files ----

TEST_F(FileIOTest, Utf8ReadGivesTwiceTheFileLengthOfUtf16)
{
    FileIO file;
    WriteBytes(PathOf(L"ascii.txt"), "abcdefghij");
    ASSERT_EQ(20u, file.ReadFile_Utf8ToUtf16(PathOf(L"ascii.txt")));
    EXPECT_EQ(L"abcdefghij", std::wstring(reinterpret_cast<const wchar_t *>(file.GetData())));

    // 'a', e acute (2 bytes), euro sign (3 bytes): 6 bytes, 3 characters, then zeros.
    WriteBytes(PathOf(L"multi.txt"), "a\xC3\xA9\xE2\x82\xAC");
    ASSERT_EQ(12u, file.ReadFile_Utf8ToUtf16(PathOf(L"multi.txt")));
    EXPECT_EQ(L"a\u00E9\u20AC", std::wstring(reinterpret_cast<const wchar_t *>(file.GetData())));

    // A byte-order mark is a character like any other.
    WriteBytes(PathOf(L"bom.txt"), "\xEF\xBB\xBFx");
    ASSERT_EQ(8u, file.ReadFile_Utf8ToUtf16(PathOf(L"bom.txt")));
    EXPECT_EQ(L"\uFEFFx", std::wstring(reinterpret_cast<const wchar_t *>(file.GetData())));

    EXPECT_EQ(0u, file.ReadFile_Utf8ToUtf16(PathOf(L"missing.txt")));
    EXPECT_EQ(nullptr, file.GetData());
}
