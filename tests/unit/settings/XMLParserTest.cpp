#include "FileIO.h"
#include "TestFiles.h"
#include "XMLParser.h"
#include <gtest/gtest.h>
#include <atomic>
#include <string>
#include <thread>

namespace {
std::string Utf16Bytes(const std::wstring &str)
{
    return std::string(reinterpret_cast<const char *>(str.data()), str.size() * sizeof(wchar_t));
}

// A map name of its own per test, so that no section outlives into another case.
std::wstring UniqueMapName(const wchar_t *pszPurpose)
{
    static int s_iCounter = 0;
    return std::wstring(L"NcTest_") + pszPurpose + L"_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
           std::to_wstring(++s_iCounter);
}
}  // namespace

class XMLParserTest : public ::testing::Test {
protected:
    // Writes the text as the plaintext envelope (UTF-16LE) and reads it back into the parser.
    DWORD Load(const std::wstring &strText, const std::wstring &strMapName = UniqueMapName(L"Load"))
    {
        std::wstring strPath = m_folder.Path() + L"doc.xml";
        WriteBytes(strPath, Utf16Bytes(strText));
        return m_parser.XMLRead(strPath, strMapName, L"", FileIO::CODE_PLAIN);
    }

    TestFolder m_folder;
    XMLParser m_parser;
};

TEST_F(XMLParserTest, WriterProducesOneElementPerLineEndedByCarriageReturnOnly)
{
    m_parser.StartXML();
    m_parser.OutOneLine(L"Root", 0);
    m_parser.OutElement(L"Name", L"a<b&c", 2);
    m_parser.OutStartElement(L"Item kind=\"x\"", 4);
    m_parser.OutValue(L"v1");
    m_parser.OutValue(L"v2");
    m_parser.OutEndElement();
    m_parser.OutOneLine(L"/Root", 0);
    EXPECT_EQ(L"<Root>\r  <Name>a<b&c</Name>\r    <Item kind=\"x\">v1v2</Item>\r</Root>\r", m_parser.GetDocument());

    std::wstring strPath = m_folder.Path() + L"out.xml";
    ASSERT_TRUE(m_parser.EndXML(strPath, L"", FileIO::CODE_PLAIN));
    EXPECT_EQ(Utf16Bytes(m_parser.GetDocument()), ReadBytes(strPath));

    m_parser.StartXML();
    EXPECT_FALSE(m_parser.EndXML(m_folder.Path() + L"empty.xml", L"", FileIO::CODE_PLAIN));
    EXPECT_FALSE(PathExists(m_folder.Path() + L"empty.xml"));
}

TEST_F(XMLParserTest, SearchTakesTheFirstOccurrenceInTextOrder)
{
    ASSERT_NE(0u, Load(L"<A><B>inner</B></A><B>outer</B>"));
    XMLNode node;
    ASSERT_EQ(XMLParser::NODE_FOUND, m_parser.GetNextNode(nullptr, L"B", node));
    EXPECT_EQ(L"inner", node.Value());
    // From behind the first match the next one is found.
    ASSERT_EQ(XMLParser::NODE_FOUND, m_parser.GetNextNode(node.pEnd, L"B", node));
    EXPECT_EQ(L"outer", node.Value());
    // A prefix of another name is not that element.
    EXPECT_EQ(XMLParser::NODE_NOT_FOUND, m_parser.GetNextNode(nullptr, L"", node));
    EXPECT_EQ(XMLParser::NODE_NOT_FOUND, m_parser.GetNextNode(nullptr, L"C", node));
}

TEST_F(XMLParserTest, OneAttributeIsReadAndTheResultCodesTellWhatIsMissing)
{
    ASSERT_NE(0u, Load(L"<Entry type=\"dial\">x</Entry><Open>never closed<Tag=1>y</Tag=1><Late x"));
    XMLNode node;
    ASSERT_EQ(XMLParser::NODE_FOUND, m_parser.GetNextNode(nullptr, L"Entry", node));
    EXPECT_EQ(L"type", node.strAttrName);
    EXPECT_EQ(L"dial", node.strAttrValue);
    EXPECT_EQ(L"x", node.Value());
    EXPECT_EQ(XMLParser::NODE_NO_CLOSING_TAG, m_parser.GetNextNode(nullptr, L"Open", node));
    EXPECT_EQ(nullptr, node.pValue);
    // "<Tag=1>": no blank after the name.
    EXPECT_EQ(XMLParser::NODE_NOT_FOUND, m_parser.GetNextNode(nullptr, L"Tag", node));
    // "<Late x": no greater-than sign after it.
    EXPECT_EQ(XMLParser::NODE_NOT_FOUND, m_parser.GetNextNode(nullptr, L"Late", node));
}

TEST_F(XMLParserTest, SubNodeMustStartInsideTheParent)
{
    ASSERT_NE(0u, Load(L"<P><A>1</A></P><Q><B>2</B></Q>"));
    XMLNode parent;
    XMLNode child;
    ASSERT_EQ(XMLParser::NODE_FOUND, m_parser.GetNextNode(nullptr, L"P", parent));
    ASSERT_EQ(XMLParser::NODE_FOUND, m_parser.GetSubNode(parent, L"A", child));
    EXPECT_EQ(L"1", child.Value());
    EXPECT_EQ(XMLParser::NODE_NOT_FOUND, m_parser.GetSubNode(parent, L"B", child));
    EXPECT_EQ(XMLParser::NODE_NOT_FOUND, m_parser.GetSubNode(XMLNode(), L"A", child));
}

TEST_F(XMLParserTest, ReadFailsForMissingEmptyOrUndecodableFiles)
{
    std::wstring strMap = UniqueMapName(L"Fail");
    EXPECT_EQ(0u, m_parser.XMLRead(m_folder.Path() + L"missing.xml", strMap, L"", FileIO::CODE_PLAIN));
    WriteBytes(m_folder.Path() + L"empty.xml", "");
    EXPECT_EQ(0u, m_parser.XMLRead(m_folder.Path() + L"empty.xml", strMap, L"", FileIO::CODE_PLAIN));
    // Plain bytes read as AES: not a whole number of blocks, nothing comes back.
    WriteBytes(m_folder.Path() + L"plain.xml", Utf16Bytes(L"<A>1</A>x"));
    EXPECT_EQ(0u, m_parser.XMLRead(m_folder.Path() + L"plain.xml", strMap, L"key", 0));
    XMLNode node;
    EXPECT_EQ(XMLParser::NODE_NOT_FOUND, m_parser.GetNextNode(nullptr, L"A", node));
}

TEST_F(XMLParserTest, Utf8FilesAreReadWithTheirOwnKey)
{
    std::wstring strPath = m_folder.Path() + L"changelist.xml";
    WriteBytes(strPath, "<File>caf\xC3\xA9</File>");
    ASSERT_NE(0u, m_parser.XMLRead(strPath, UniqueMapName(L"Utf8"), XMLParser::KEY_UTF8, 0));
    XMLNode node;
    ASSERT_EQ(XMLParser::NODE_FOUND, m_parser.GetNextNode(nullptr, L"File", node));
    EXPECT_EQ(L"caf\u00E9", node.Value());
}

TEST_F(XMLParserTest, EncryptedFileRoundTripsThroughTheWriter)
{
    std::wstring strPath = m_folder.Path() + L"secret.xml";
    m_parser.StartXML();
    m_parser.OutElement(L"Secret", L"x&y<z", 0);
    ASSERT_TRUE(m_parser.EndXML(strPath, L"some key", 0));
    EXPECT_EQ(std::string::npos, ReadBytes(strPath).find(Utf16Bytes(L"Secret")));
    ASSERT_NE(0u, m_parser.XMLRead(strPath, UniqueMapName(L"Aes"), L"some key", 0));
    XMLNode node;
    ASSERT_EQ(XMLParser::NODE_FOUND, m_parser.GetNextNode(nullptr, L"Secret", node));
    EXPECT_EQ(L"x&y<z", node.Value());
}

// The section of a map name that another holder keeps open keeps its first size: a larger text
// must not be written past it, and the search still sees the whole new text.
TEST_F(XMLParserTest, LargerTextThanAnExistingSectionIsNeverWrittenPastIt)
{
    std::wstring strMap = UniqueMapName(L"Grow");
    ASSERT_NE(0u, Load(L"<A>1</A>", strMap));
    HANDLE hOther = OpenFileMappingW(FILE_MAP_READ, FALSE, strMap.c_str());
    ASSERT_NE(nullptr, hOther) << "error " << GetLastError();
    ScopedHandle hKeep(hOther);
    ScopedMapView pOther(MapViewOfFile(hOther, FILE_MAP_READ, 0, 0, 0));
    ASSERT_TRUE(pOther.IsValid());
    EXPECT_STREQ(L"<A>1</A>", static_cast<const wchar_t *>(pOther.Get()));

    std::wstring strLarge = L"<A>" + std::wstring(20000, L'x') + L"</A><B>end</B>";
    ASSERT_NE(0u, Load(strLarge, strMap));
    XMLNode node;
    ASSERT_EQ(XMLParser::NODE_FOUND, m_parser.GetNextNode(nullptr, L"B", node));
    EXPECT_EQ(L"end", node.Value());
    // The small section still holds the old text, whole.
    EXPECT_STREQ(L"<A>1</A>", static_cast<const wchar_t *>(pOther.Get()));

    // With no other holder left, the next read makes a section of the right size and publishes.
    pOther.Reset();
    hKeep.Reset();
    ASSERT_NE(0u, Load(strLarge, strMap));
    ScopedHandle hAgain(OpenFileMappingW(FILE_MAP_READ, FALSE, strMap.c_str()));
    ASSERT_TRUE(hAgain.IsValid());
    ScopedMapView pAgain(MapViewOfFile(hAgain.Get(), FILE_MAP_READ, 0, 0, 0));
    ASSERT_TRUE(pAgain.IsValid());
    EXPECT_EQ(strLarge, std::wstring(static_cast<const wchar_t *>(pAgain.Get())));
}

// Someone who made and holds the mutex first makes the read fail after the bounded wait, instead
// of hanging the reader.
TEST_F(XMLParserTest, AHeldMutexEndsTheReadAfterTheBoundedWait)
{
    std::wstring strMap = UniqueMapName(L"Held");
    std::atomic<bool> bHeld(false);
    HANDLE hRelease = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(nullptr, hRelease);
    ScopedHandle hReleaseOwner(hRelease);
    std::thread holder([&]() {
        ScopedHandle hMutex(CreateMutexW(nullptr, TRUE, (strMap + L"Mutex").c_str()));
        bHeld = hMutex.IsValid();
        WaitForSingleObject(hRelease, 60000);
        ReleaseMutex(hMutex.Get());
    });
    while (!bHeld) Sleep(10);
    DWORD dwStart = GetTickCount();
    DWORD dwRead = Load(L"<A>1</A>", strMap);
    DWORD dwElapsed = GetTickCount() - dwStart;
    SetEvent(hRelease);
    holder.join();
    EXPECT_EQ(0u, dwRead);
    EXPECT_GE(dwElapsed + 100, XMLParser::SECTION_MUTEX_WAIT_MS);
    // Free again: the same read succeeds.
    EXPECT_NE(0u, Load(L"<A>1</A>", strMap));
}

TEST_F(XMLParserTest, AFailedWriteKeepsTheOldFileAndLeavesNoTemporaryFile)
{
    std::wstring strPath = m_folder.Path() + L"kept.xml";
    m_parser.StartXML();
    m_parser.OutElement(L"V", L"old", 0);
    ASSERT_TRUE(m_parser.EndXML(strPath, L"", FileIO::CODE_PLAIN));
    std::string strOld = ReadBytes(strPath);
    // A reader that does not let the file be replaced (no delete sharing) while it has it open.
    ScopedFileHandle hReader(CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(hReader.IsValid());

    m_parser.StartXML();
    m_parser.OutElement(L"V", L"new", 0);
    EXPECT_FALSE(m_parser.EndXML(strPath, L"", FileIO::CODE_PLAIN));
    EXPECT_EQ(strOld, ReadBytes(strPath));
    std::vector<FileEntryInfo> vecFiles;
    FileIO io;
    io.GetFileListSubFolder(m_folder.Path(), L"*", vecFiles, false);
    EXPECT_EQ(1u, vecFiles.size());
}
