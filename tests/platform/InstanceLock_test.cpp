#include "platform/InstanceLock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/Files.h"
#include "tests/support/TestEnv.h"

using plat::TInstanceLock;

namespace {

// Exit status of a child process that tries the lock: 0 acquired, 1 already held, 2 other failure.
int TryInChild(const char* name) {
  const pid_t pid = fork();
  if (pid == 0) {
    TInstanceLock l;
    const bool got = l.Acquire(name);
    _exit(got ? 0 : (l.AlreadyExists() ? 1 : 2));
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(InstanceLock, OneHolderAtATime) {
  TInstanceLock a;
  ASSERT_TRUE(a.Acquire("Ardovan"));
  EXPECT_FALSE(a.AlreadyExists());
  EXPECT_TRUE(plat::FileExists(plat::RuntimeFolder() + "/Ardovan.lock"));

  TInstanceLock b;  // a second holder in this same process
  EXPECT_FALSE(b.Acquire("Ardovan"));
  EXPECT_TRUE(b.AlreadyExists());
  EXPECT_EQ(TryInChild("Ardovan"), 1);  // and in another process
  EXPECT_EQ(TryInChild("Other"), 0);    // other names are independent

  a.Release();
  EXPECT_TRUE(b.Acquire("Ardovan"));
  EXPECT_FALSE(b.AlreadyExists());
  EXPECT_EQ(TryInChild("Ardovan"), 1);
}

TEST(InstanceLock, ReleasedWhenTheHolderGoes) {
  {
    TInstanceLock a;
    ASSERT_TRUE(a.Acquire("Scoped/Name"));  // a slash cannot escape the folder
  }
  EXPECT_EQ(TryInChild("Scoped/Name"), 0);
}

TEST(InstanceLock, UnusableFolderIsNotAnotherInstance) {
  const std::string old = getenv("XDG_RUNTIME_DIR");
  testenv::SetEnv("XDG_RUNTIME_DIR", testenv::Root() + "/no/such/folder");
  TInstanceLock a;
  EXPECT_FALSE(a.Acquire("Ardovan"));
  EXPECT_FALSE(a.AlreadyExists());
  testenv::SetEnv("XDG_RUNTIME_DIR", old);
}
