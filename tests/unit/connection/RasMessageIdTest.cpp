// Error code to message id: every row of the designed table, and the two fallbacks.
#include "ConnectionAdapter.h"
#include "RasMessageTable.h"
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <string>

namespace {
// The designed table as written down for people: message id, then its codes and code runs.
const char *const kDesignedRows[] = {
    "6200: 664",
    "6201: 813, 901, 908, 910, 911, 915",
    "6202: 757",
    "6203: 800, 906, 907, 912-914, 916, 927-929, 933-937",
    "6204: 603, 610, 614, 632",
    "6205: 817",
    "6206: 763",
    "6207: 611, 612",
    "6208: 606, 773",
    "6209: 620",
    "6210: 781",
    "6211: 797",
    "6212: 723",
    "6213: 830-832",
    "6214: 628-631, 668",
    "6215: 741-743, 768",
    "6216: 753",
    "6217: 692, 694-697, 777, 778, 814",
    "6218: 600, 607, 613, 616, 635, 644, 682-689, 693, 704, 706, 707, 709-711, 727, 730, 744-746, 759-762, 780, "
    "825, 836-839, 844, 946, 948",
    "6219: 713, 714",
    "6220: 646-649, 708, 739, 812, 919-924",
    "6221: 841",
    "6222: 645, 705, 803-805, 810, 826, 835, 845, 909, 930, 955",
    "6223: 751",
    "6224: 626, 637, 722, 822-824, 939, 949-954",
    "6225: 608, 609",
    "6226: 840",
    "6227: 747",
    "6228: 666, 677, 829",
    "6229: 621-623, 625, 659, 663, 669-675, 740, 749, 752, 755, 756, 816",
    "6230: 601, 604, 605, 615, 617, 618, 633, 636, 665, 925, 926, 931",
    "6231: 784, 785, 847",
    "6232: 716, 717",
    "6233: 827",
    "6234: 726",
    "6235: 676",
    "6236: 737",
    "6237: 843",
    "6238: 640",
    "6239: 754, 782",
    "6240: 715, 771, 807",
    "6241: 766, 786, 790, 798, 801",
    "6242: 728",
    "6243: 791",
    "6244: 720",
    "6245: 764",
    "6246: 799, 818-821, 943, 956",
    "6247: 769, 783, 787-789, 793",
    "6248: 627",
    "6249: 779, 802",
    "6250: 650, 678-680, 721, 809, 811, 815",
    "6251: 732, 733, 794-796",
    "6252: 734",
    "6253: 602",
    "6254: 731",
    "6255: 719",
    "6256: 712, 774",
    "6257: 651-658, 660-662, 667, 681, 690, 698-703, 750, 772",
    "6258: 634, 641-643, 735, 736, 738, 770, 775, 776, 808, 917, 918, 940-942",
    "6259: 900",
    "6260: 639, 724, 725, 806, 842, 846, 902-905, 938, 944, 945",
    "6261: 758, 765",
    "6262: 767",
    "6263: 729",
    "6264: 833, 834",
    "6265: 638, 718, 748, 792, 828, 932",
    "6266: 624",
    "6267: 868",
    "6268: 691",
    "6269: 55",
    "6270: 64",
    "6271: 121",
    "6272: 1231",
    "6274: 619",
};

struct Pair {
    DWORD dwCode;
    long lMessageId;
};

std::vector<Pair> DesignedPairs()
{
    std::vector<Pair> vecPairs;
    for (const char *pszRow : kDesignedRows) {
        std::string strRow(pszRow);
        long lMessageId = std::stol(strRow.substr(0, strRow.find(':')));
        std::stringstream items(strRow.substr(strRow.find(':') + 1));
        std::string strItem;
        while (std::getline(items, strItem, ',')) {
            size_t nDash = strItem.find('-');
            DWORD dwFirst = std::stoul(strItem.substr(0, nDash));
            DWORD dwLast = nDash == std::string::npos ? dwFirst : std::stoul(strItem.substr(nDash + 1));
            for (DWORD dwCode = dwFirst; dwCode <= dwLast; ++dwCode) vecPairs.push_back({dwCode, lMessageId});
        }
    }
    return vecPairs;
}
}  // namespace

TEST(RasMessageId, EveryDesignedCodeMapsToItsMessageId)
{
    std::vector<Pair> vecPairs = DesignedPairs();
    ASSERT_EQ(309u, vecPairs.size());
    for (const Pair &pair : vecPairs)
        EXPECT_EQ(pair.lMessageId, ConnectionAdapter::GetRasMessageId(pair.dwCode)) << "code " << pair.dwCode;
}

TEST(RasMessageId, TableHoldsNoCodeTwiceAndNothingBeyondTheDesign)
{
    size_t nCount = 0;
    const RasMessageRange *pRows = RasMessageTable::Rows(nCount);
    std::set<DWORD> setCodes;
    size_t nPairs = 0;
    for (size_t i = 0; i < nCount; ++i) {
        ASSERT_LE(pRows[i].dwFirst, pRows[i].dwLast);
        for (DWORD dwCode = pRows[i].dwFirst; dwCode <= pRows[i].dwLast; ++dwCode, ++nPairs)
            EXPECT_TRUE(setCodes.insert(dwCode).second) << "code " << dwCode << " twice";
    }
    EXPECT_EQ(309u, nPairs);
}

TEST(RasMessageId, CodesOutsideTheTableFallBackBySystemText)
{
    // The system has a text for "access denied" and for "file not found": an OS error.
    EXPECT_EQ(6273, ConnectionAdapter::GetRasMessageId(ERROR_ACCESS_DENIED));
    EXPECT_EQ(6273, ConnectionAdapter::GetRasMessageId(ERROR_FILE_NOT_FOUND));
    // Nothing anywhere knows this code.
    EXPECT_EQ(6060, ConnectionAdapter::GetRasMessageId(0x2FFFFFF0));
}
