#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/InstanceLock.h"

namespace fs = std::filesystem;
using namespace quelt;

TEST(InstanceLock, ASecondProcessIsRefusedUntilTheFirstEnds) {
    fs::path file = fs::temp_directory_path() / ("quelt-lock-" + std::to_string(::getpid()));
    {
        InstanceLock first(file.string());
        ASSERT_TRUE(first.acquire());
        pid_t child = ::fork();
        if (child == 0) {
            InstanceLock second(file.string());
            ::_exit(second.acquire() ? 1 : 0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "second process got the lock";
    }
    InstanceLock again(file.string());
    EXPECT_TRUE(again.acquire());
    fs::remove(file);
}

TEST(InstanceLock, OperatingSystemHasAName) {
    EXPECT_FALSE(operatingSystemName().empty());
}
