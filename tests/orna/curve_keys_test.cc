// Key files of the CURVE security: what keygen writes reads back; a pair whose halves
// don't belong together, a bad line and a secret others may read are refused, each
// with its reason.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <string>
#include <vector>

#include "orna/curve_keys.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(CurveKeys, WrittenPairReadsBackAndBrokenFilesAreRefused) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(OrnaWriteNewKeyPair(dir.Join("a"), "alice", &error)) << error;
  ASSERT_TRUE(OrnaWriteNewKeyPair(dir.Join("b"), "bob", &error)) << error;
  EXPECT_FALSE(OrnaWriteNewKeyPair(dir.Join("a"), "again", &error));  // never overwrites

  OrnaCurveKeyPair a, b;
  ASSERT_TRUE(OrnaReadKeyPair(dir.Join("a.key"), &a, &error)) << error;
  ASSERT_TRUE(OrnaReadKeyPair(dir.Join("b.key"), &b, &error)) << error;
  EXPECT_NE(a.publicKey, b.publicKey);

  // Two .pub files put together make a list of clients.
  std::ofstream(dir.Join("clients")) << "# admitted\n"
                                     << std::ifstream(dir.Join("a.pub")).rdbuf() << "\n"
                                     << std::ifstream(dir.Join("b.pub")).rdbuf();
  std::vector<std::string> keys;
  ASSERT_TRUE(OrnaReadPublicKeys(dir.Join("clients"), &keys, &error)) << error;
  EXPECT_EQ((std::vector<std::string>{a.publicKey, b.publicKey}), keys);

  std::ofstream(dir.Join("bad-list")) << a.publicKey << "\n" << a.publicKey.substr(1) << "\n";
  EXPECT_FALSE(OrnaReadPublicKeys(dir.Join("bad-list"), &keys, &error));
  EXPECT_NE(std::string::npos, error.find("line 2")) << error;

  // A's public key with B's secret: not a pair.
  std::string mixed = dir.Join("mixed.key");
  std::ofstream(mixed) << "public " << a.publicKey << "\nsecret " << b.secretKey << "\n";
  ASSERT_EQ(0, chmod(mixed.c_str(), 0600));
  EXPECT_FALSE(OrnaReadKeyPair(mixed, &a, &error));
  EXPECT_NE(std::string::npos, error.find("belong together")) << error;

  ASSERT_EQ(0, chmod(dir.Join("b.key").c_str(), 0640));
  EXPECT_FALSE(OrnaReadKeyPair(dir.Join("b.key"), &b, &error));
  EXPECT_NE(std::string::npos, error.find("bad owner or permissions")) << error;
}

}  // namespace
