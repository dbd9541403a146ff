// Product keys live in the 32-bit view in both builds, so that the 64-bit programs find what the
// installer and the 32-bit programs wrote.
#include "RegistryView.h"
#include "ScopedHandle.h"
#include <gtest/gtest.h>

namespace {
const wchar_t kTestKey[] = L"Software\\NolvexConnectViewTest";

LONG OpenKey(const wchar_t *pszKey, REGSAM samView, ScopedRegKey *pKey)
{
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, pszKey, 0, KEY_READ | samView, pKey->Receive());
}
}  // namespace

TEST(RegistryView, AKeyMadeInTheProductViewIsFoundThereAndDeletedThere)
{
    ScopedRegKey hKey;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, kTestKey, 0, nullptr, 0,
                                             KEY_READ | KEY_WRITE | RegistryView::PRODUCT_VIEW, nullptr,
                                             hKey.Receive(), nullptr));
    hKey.Reset();
    EXPECT_EQ(ERROR_SUCCESS, OpenKey(kTestKey, RegistryView::PRODUCT_VIEW, &hKey));
    hKey.Reset();
#if defined(_WIN64)
    // The 64-bit view has it only under the redirection node, where the 32-bit programs write.
    EXPECT_EQ(ERROR_SUCCESS, OpenKey(L"Software\\Wow6432Node\\NolvexConnectViewTest", KEY_WOW64_64KEY, &hKey));
    hKey.Reset();
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, OpenKey(kTestKey, KEY_WOW64_64KEY, &hKey));
#endif
    EXPECT_EQ(ERROR_SUCCESS, RegistryView::DeleteKey(HKEY_LOCAL_MACHINE, kTestKey));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, OpenKey(kTestKey, RegistryView::PRODUCT_VIEW, &hKey));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegistryView::DeleteKey(HKEY_LOCAL_MACHINE, kTestKey));
}
