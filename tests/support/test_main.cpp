// Test entry point: every test binary points the registry at a private temporary folder before
// any test runs, so no test can read or write the user's real registry.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

int main(int argc, char** argv) {
    std::string dir = (std::filesystem::temp_directory_path() /
                       ("ketra-test-registry-" + std::to_string(getpid())))
                          .string();
    std::filesystem::create_directories(dir);
    setenv("KETRA_REGISTRY", dir.c_str(), 1);
    std::string rt = dir + "-run";
    std::filesystem::create_directories(rt);
    setenv("KETRA_RUNTIME_DIR", rt.c_str(), 1);
    ::testing::InitGoogleTest(&argc, argv);
    int rc = RUN_ALL_TESTS();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    std::filesystem::remove_all(rt, ec);
    return rc;
}
