#include "Platform/Win32/Host.h"

#include <gtest/gtest.h>

namespace {

LONG_PTR WINAPI answer() { return 42; }

TEST(ModuleTest, RegisteredModuleLoadsByFileNameWhateverItsCaseOrFolder)
{
    Win32Host::registerModule("fmod.dll", {{"_FSOUND_Init@12", &answer}});
    HMODULE module = LoadLibraryA("C:\\Demo\\FMOD.DLL");
    ASSERT_NE(module, nullptr);
    FARPROC entry = GetProcAddress(module, "_FSOUND_Init@12");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry(), 42);
    EXPECT_EQ(GetProcAddress(module, "_FSOUND_Init@8"), nullptr) << "entry names are exact";
    EXPECT_TRUE(FreeLibrary(module));
    Win32Host::unregisterModule("fmod.dll");
    EXPECT_EQ(LoadLibraryA("fmod.dll"), nullptr);
}

TEST(ModuleTest, ProcessHandleExistsAndExportsNothing)
{
    HMODULE self = GetModuleHandleA(nullptr);
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(GetProcAddress(self, "main"), nullptr);
    EXPECT_EQ(LoadLibraryA("missing.dll"), nullptr);
}

} // namespace
