#include "platform/DynLib.h"

#include <gtest/gtest.h>

#include <cstdint>

using namespace plat;

TEST(LibraryNames, WindowsNamesMapToSharedObjects) {
  EXPECT_EQ(LibraryFileName("WNASPI32.DLL"), "libwnaspi32.so");
  EXPECT_EQ(LibraryFileName("wnaspi32.dll"), "libwnaspi32.so");
  EXPECT_EQ(LibraryFileName("Helper"), "libhelper.so");
  EXPECT_EQ(LibraryFileName("libfoo.so"), "libfoo.so");
  EXPECT_EQ(LibraryFileName("libfoo.so.1"), "libfoo.so.1");
  EXPECT_EQ(LibraryFileName("/opt/x/ASPI.DLL"), "/opt/x/libaspi.so");
}

TEST(Library, LoadsNextToTheExecutableAndFindsEntryPoints) {
  TLibrary lib;
  ASSERT_TRUE(lib.Load("ARDTESTLIB.DLL")) << lib.Error();
  EXPECT_TRUE(lib.IsLoaded());
  auto info = reinterpret_cast<uint32_t (*)()>(lib.Symbol("GetASPI32SupportInfo"));
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info(), 0x0401u);
  auto add = reinterpret_cast<int (*)(int, int)>(lib.Symbol("ArdTestAdd"));
  ASSERT_NE(add, nullptr);
  EXPECT_EQ(add(40, 2), 42);
  EXPECT_EQ(lib.Symbol("SendASPI32Command"), nullptr);

  TLibrary missing;
  EXPECT_FALSE(missing.Load("NOSUCHLIBRARY.DLL"));
  EXPECT_FALSE(missing.IsLoaded());
  EXPECT_FALSE(missing.Error().empty());
  EXPECT_EQ(missing.Symbol("ArdTestAdd"), nullptr);
}
