// quelt simulate --pty across a real file descriptor.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(SimulatePty, ServesTheLoggerOnAPseudoTerminal) {
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        dup2(out[1], 1);
        ::close(out[0]);
        int devnull = ::open("/dev/null", O_WRONLY);
        dup2(devnull, 2);
        execl(QUELT_BIN, QUELT_BIN, "simulate", "--pty", static_cast<char*>(nullptr));
        _exit(127);
    }
    ::close(out[1]);
    std::string path;
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n')
        path += c;
    ASSERT_FALSE(path.empty());
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0) << path;
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    const unsigned char f1[] = {0x01, 0x20, 0xDC, 0x05, 0x00, 0x50, 0x5A, 0xAC};
    ASSERT_EQ(::write(fd, f1, sizeof f1), static_cast<ssize_t>(sizeof f1));
    // Read for at most two seconds until a logger frame reads back 1500.
    std::vector<unsigned char> got;
    bool echoed = false;
    for (int k = 0; k < 200 && !echoed; ++k) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 10) > 0) {
            unsigned char buf[512];
            ssize_t n = ::read(fd, buf, sizeof buf);
            if (n > 0) got.insert(got.end(), buf, buf + n);
        }
        for (size_t i = 0; i + 27 <= got.size() && !echoed; ++i)
            echoed = got[i] == 0x55 && got[i + 1] == 0xAA && got[i + 2] == 0x5A && got[i + 3] == 0xA5 &&
                     got[i + 5] == 28 && got[i + 8] == 0xDC && got[i + 9] == 0x05;
    }
    EXPECT_TRUE(echoed);
    ::close(fd);
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    ::close(out[0]);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
}

}  // namespace
