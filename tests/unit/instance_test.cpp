// Instance numbers through lock files, held by real child processes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

using kaplo::platform::claim_instance_number;

class InstanceLocks : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/kaplo-locks-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override {
        for (pid_t pid : children_) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        std::system(("rm -rf " + dir_).c_str());
    }
    // Starts a child that claims a number, reports it and stays alive.
    int spawn_instance(pid_t* out = nullptr) {
        int fds[2];
        if (pipe(fds) != 0) return -2;
        const pid_t pid = fork();
        if (pid == 0) {
            close(fds[0]);
            const int n = claim_instance_number("kaplo_mw", 10, dir_);
            if (write(fds[1], &n, sizeof n) != sizeof n) _exit(2);
            pause();
            _exit(0);
        }
        close(fds[1]);
        int n = -3;
        if (read(fds[0], &n, sizeof n) != sizeof n) n = -4;
        close(fds[0]);
        children_.push_back(pid);
        if (out) *out = pid;
        return n;
    }
    void kill_instance(pid_t pid) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        std::erase(children_, pid);
    }
    std::string dir_;
    std::vector<pid_t> children_;
};

TEST_F(InstanceLocks, NumbersAreTakenInOrderAndTheLowestFreeOneIsReused) {
    pid_t p0, p1, p2;
    EXPECT_EQ(spawn_instance(&p0), 0);
    EXPECT_EQ(spawn_instance(&p1), 1);
    EXPECT_EQ(spawn_instance(&p2), 2);
    // Instance 1 crashes: its number is free again while 0 and 2 run on.
    kill_instance(p1);
    EXPECT_EQ(spawn_instance(), 1);
    EXPECT_EQ(spawn_instance(), 3);
}

TEST_F(InstanceLocks, TheEleventhInstanceGetsNoNumber) {
    for (int i = 0; i < 10; ++i) ASSERT_EQ(spawn_instance(), i);
    EXPECT_EQ(spawn_instance(), -1);
}

TEST_F(InstanceLocks, AnUnusableFolderGivesNoNumber) {
    EXPECT_EQ(claim_instance_number("kaplo_mw", 10, dir_ + "/missing"), -1);
}

}  // namespace
