#include "tests/support/harness.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/commands.h"
#include "app/settings.h"
#include "app/startup.h"
#include "res/resource.h"
#include "tests/support/journal_check.h"

void KelmorTest::SetUp() {
    char tmpl[] = "/tmp/kelmor-test-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = tmpl;
    char cwd[4096];
    oldCwd = getcwd(cwd, sizeof cwd) ? cwd : "/";
    ASSERT_EQ(chdir(dir.c_str()), 0);
    mkdir((dir + "/C").c_str(), 0755);
    mkdir((dir + "/D").c_str(), 0755);
    fake.drives[2] = {kDriveFixed, dir + "/C"};
    fake.drives[3] = {kDriveFixed, dir + "/D"};
    fake.onUnexpected = [](const std::string &what) { ADD_FAILURE() << what; };
    setPlatform(&fake);
}

void KelmorTest::TearDown() {
    fake.onUnexpected = nullptr;
    if (chdir(oldCwd.c_str()) != 0) ADD_FAILURE() << "cannot go back to " << oldCwd;
    std::string cmd = "rm -rf '" + dir + "'";
    if (std::system(cmd.c_str()) != 0) ADD_FAILURE() << "cannot remove " << dir;
}

void KelmorTest::startProgram(bool answerNotice) {
    appInitialize(30, 60);
    if (answerNotice && (g_settings.MsgOptions & kMsgStartNotice)) expectBox("HINWEIS", kIdOk);
    appShown();
}

std::string KelmorTest::makeFile(const std::string &name, const std::vector<uint8_t> &bytes) {
    std::string path = dir + "/" + name;
    FILE *f = std::fopen(path.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    if (!f) return path;
    if (!bytes.empty()) EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);
    return path;
}

std::string KelmorTest::makeSparse(const std::string &name, uint64_t size) {
    std::string path = dir + "/" + name;
    int fd = open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(ftruncate(fd, off_t(size)), 0);
    close(fd);
    return path;
}

void KelmorTest::writeAt(const std::string &path, uint64_t pos, const std::vector<uint8_t> &b) {
    int fd = open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(pwrite(fd, b.data(), b.size(), off_t(pos)), ssize_t(b.size()));
    close(fd);
}

std::vector<uint8_t> KelmorTest::readAll(const std::string &path) {
    JFile f(path);
    return f.bytes(0, f.length);
}

void KelmorTest::openThroughDialog(const std::string &path, bool readOnly) {
    fake.fileDialogAnswers.push_back({true, path, readOnly});
    dispatchCommand(IDM_OPEN_FILE, 0);
}

void KelmorTest::expectBox(const std::string &caption, int answer, const std::string &text) {
    fake.boxAnswers.push_back({caption, answer, text});
}

std::vector<uint8_t> KelmorTest::pattern(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = uint8_t((i * 7 + 3) & 255);
    return v;
}
