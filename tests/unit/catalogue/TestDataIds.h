#pragma once
// Resource ids of the test data in TestData.rc (RCDATA, outside the string table's ids).
#define IDR_CATALOGUE_TSV 101
#define IDR_MESSAGE_IDS_H 102
