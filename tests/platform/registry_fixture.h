// A registry folder of its own for every test, under the folder the test runner made.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/registry.h"

namespace ketra::platform::testing {

class RegistryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        static const std::string base = std::getenv("KETRA_REGISTRY");
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = base + "/" + info->test_suite_name() + "." + info->name();
        std::filesystem::remove_all(dir_);
        saved_ = base;
        setenv("KETRA_REGISTRY", dir_.c_str(), 1);
    }
    void TearDown() override { setenv("KETRA_REGISTRY", saved_.c_str(), 1); }

    std::string file_text(Hive hive = Hive::CurrentUser) const {
        std::ifstream in(hive_file(hive), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    void write_file(const std::string& text, Hive hive = Hive::CurrentUser) const {
        std::filesystem::create_directories(dir_);
        std::ofstream out(hive_file(hive), std::ios::binary);
        out << text;
    }

    std::string dir_;
    std::string saved_;
};

}  // namespace ketra::platform::testing
