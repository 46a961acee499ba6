// The test harness: a fresh program on the fake platform in a temporary directory.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/fake/fake_platform.h"

class KelmorTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the program as WinMain does (the start-up notice is answered when enabled).
    void startProgram(bool answerNotice = true);
    // Writes a file with the given bytes below the test directory; returns its path.
    std::string makeFile(const std::string &name, const std::vector<uint8_t> &bytes);
    // A file of `size` bytes, holes included, with `pattern` written at the given offsets.
    std::string makeSparse(const std::string &name, uint64_t size);
    void writeAt(const std::string &path, uint64_t pos, const std::vector<uint8_t> &bytes);
    std::vector<uint8_t> readAll(const std::string &path);
    // Opens a file through the open dialog (Ctrl+O).
    void openThroughDialog(const std::string &path, bool readOnly = true);
    // Expects the next message box.
    void expectBox(const std::string &caption, int answer, const std::string &textContains = "");
    // Bytes 0..n-1 with value (i * 7 + 3) & 255.
    static std::vector<uint8_t> pattern(size_t n);

    FakePlatform fake;
    std::string dir; // the test's own directory (also the working directory)
    std::string oldCwd;
};
